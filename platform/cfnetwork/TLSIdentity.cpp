#include "platform/cfnetwork/TLSIdentity.h"

#include <atomic>

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

namespace clipora::platform {

namespace {

std::atomic<std::uint64_t> nextSerial{1};

struct BioFree {
    void operator()(BIO* p) const { BIO_free(p); }
};

}  // namespace

TLSIdentity::TLSIdentity(X509Ptr certificate, KeyPtr key, std::vector<X509Ptr> chain)
    : certificate_(std::move(certificate)), key_(std::move(key)), chain_(std::move(chain)), serial_(nextSerial++) {}

TLSIdentity::~TLSIdentity() = default;

std::shared_ptr<TLSIdentity> TLSIdentity::fromPKCS12(const Data& archive, const std::string& password) {
    const unsigned char* p = archive.data();
    PKCS12* p12 = d2i_PKCS12(nullptr, &p, static_cast<long>(archive.size()));
    if (!p12) return nullptr;
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    STACK_OF(X509)* ca = nullptr;
    int ok = PKCS12_parse(p12, password.c_str(), &key, &cert, &ca);
    PKCS12_free(p12);
    if (!ok || !key || !cert) {
        EVP_PKEY_free(key);
        X509_free(cert);
        sk_X509_pop_free(ca, X509_free);
        return nullptr;
    }
    std::vector<X509Ptr> chain;
    if (ca) {
        while (sk_X509_num(ca) > 0) chain.emplace_back(sk_X509_shift(ca));
        sk_X509_free(ca);
    }
    return std::shared_ptr<TLSIdentity>(new TLSIdentity(X509Ptr(cert), KeyPtr(key), std::move(chain)));
}

std::shared_ptr<TLSIdentity> TLSIdentity::fromPEM(std::string_view certificatesPEM, std::string_view privateKeyPEM) {
    std::unique_ptr<BIO, BioFree> certBio(
        BIO_new_mem_buf(certificatesPEM.data(), static_cast<int>(certificatesPEM.size())));
    std::unique_ptr<BIO, BioFree> keyBio(BIO_new_mem_buf(privateKeyPEM.data(), static_cast<int>(privateKeyPEM.size())));
    if (!certBio || !keyBio) return nullptr;
    X509Ptr cert(PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr));
    KeyPtr key(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
    if (!cert || !key || X509_check_private_key(cert.get(), key.get()) != 1) return nullptr;
    std::vector<X509Ptr> chain;
    while (X509* extra = PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr)) chain.emplace_back(extra);
    return std::shared_ptr<TLSIdentity>(new TLSIdentity(std::move(cert), std::move(key), std::move(chain)));
}

std::shared_ptr<TLSIdentity> TLSIdentity::withChainCertificates(const std::vector<Data>& certificatesDER) const {
    X509_up_ref(certificate_.get());
    EVP_PKEY_up_ref(key_.get());
    std::vector<X509Ptr> chain;
    for (const auto& c : chain_) {
        X509_up_ref(c.get());
        chain.emplace_back(c.get());
    }
    X509Ptr cert(certificate_.get());
    KeyPtr key(key_.get());
    for (const auto& der : certificatesDER) {
        const unsigned char* p = der.data();
        X509* extra = d2i_X509(nullptr, &p, static_cast<long>(der.size()));
        if (!extra) return nullptr;
        chain.emplace_back(extra);
    }
    return std::shared_ptr<TLSIdentity>(new TLSIdentity(std::move(cert), std::move(key), std::move(chain)));
}

Data TLSIdentity::certificateDER() const { return derOf(certificate_.get()); }

Data TLSIdentity::derOf(X509* certificate) {
    int len = i2d_X509(certificate, nullptr);
    if (len <= 0) return {};
    Data out(static_cast<std::size_t>(len));
    unsigned char* p = out.data();
    i2d_X509(certificate, &p);
    return out;
}

std::string TLSIdentity::subjectName() const {
    char buf[512];
    X509_NAME_oneline(X509_get_subject_name(certificate_.get()), buf, sizeof buf);
    return buf;
}

std::vector<X509*> TLSIdentity::chain() const {
    std::vector<X509*> out;
    for (const auto& c : chain_) out.push_back(c.get());
    return out;
}

std::string TLSIdentity::description() const { return "<TLSIdentity " + subjectName() + ">"; }

}  // namespace clipora::platform
