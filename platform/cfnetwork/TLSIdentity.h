#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <openssl/evp.h>
#include <openssl/x509.h>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// A client identity for TLS: a certificate with its private key, plus the
// further certificates of its chain that are sent along. Immutable once
// made, so it can be shared between connections; connections made with
// different identities are never shared.
class TLSIdentity : public Object {
public:
    // From a PKCS #12 archive (DER bytes) and its password; null when the
    // archive cannot be opened or holds no certificate with a key.
    static std::shared_ptr<TLSIdentity> fromPKCS12(const Data& archive, const std::string& password);
    // From PEM text: the certificate (optionally followed by chain
    // certificates) and the private key.
    static std::shared_ptr<TLSIdentity> fromPEM(std::string_view certificatesPEM, std::string_view privateKeyPEM);

    ~TLSIdentity() override;
    TLSIdentity(const TLSIdentity&) = delete;
    TLSIdentity& operator=(const TLSIdentity&) = delete;

    // A copy with further chain certificates (DER) appended; null when one
    // does not parse.
    std::shared_ptr<TLSIdentity> withChainCertificates(const std::vector<Data>& certificatesDER) const;

    Data certificateDER() const;
    std::string subjectName() const;
    // Distinct for every identity made; part of the connection-sharing key.
    std::uint64_t serial() const { return serial_; }

    // For the TLS layer: borrowed pointers, valid while the identity lives.
    X509* certificate() const { return certificate_.get(); }
    EVP_PKEY* privateKey() const { return key_.get(); }
    std::vector<X509*> chain() const;
    // The DER bytes of any certificate; empty when it cannot be written.
    static Data derOf(X509* certificate);

    std::string description() const override;

private:
    struct X509Free {
        void operator()(X509* p) const { X509_free(p); }
    };
    struct KeyFree {
        void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    };
    using X509Ptr = std::unique_ptr<X509, X509Free>;
    using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;

    TLSIdentity(X509Ptr certificate, KeyPtr key, std::vector<X509Ptr> chain);

    X509Ptr certificate_;
    KeyPtr key_;
    std::vector<X509Ptr> chain_;
    std::uint64_t serial_;
};

}  // namespace clipora::platform
