#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cfnetwork/ServerTrust.h"
#include "platform/cfnetwork/TLSIdentity.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// An answer to an authentication challenge: a user name and password, the
// acceptance of a server's trust, or a client identity (certificate and key)
// with further certificates. A plain value type. description() never shows
// the password.
class URLCredential {
public:
    // Published values of the platform's persistence enumeration.
    enum class Persistence {
        None = 0,        // used for this one request, never stored
        ForSession = 1,  // kept in memory for the life of the process
        Permanent = 2,   // kept in the credential file of the home folder
    };

    URLCredential(std::string user, std::string password, Persistence persistence);
    static URLCredential credentialWithUserPasswordPersistence(std::string user, std::string password,
                                                               Persistence persistence) {
        return URLCredential(std::move(user), std::move(password), persistence);
    }
    // Accepts the trust a server-trust challenge asked about.
    static URLCredential credentialForTrust(std::shared_ptr<ServerTrust> trust);
    // A client identity; `certificates` (DER) go along after the identity's
    // own chain.
    static URLCredential credentialWithIdentityCertificatesPersistence(std::shared_ptr<TLSIdentity> identity,
                                                                       std::vector<Data> certificates,
                                                                       Persistence persistence);

    // Empty for trust and identity credentials.
    const std::string& user() const { return user_; }
    const std::optional<std::string>& password() const { return password_; }
    bool hasPassword() const { return password_.has_value(); }
    Persistence persistence() const { return persistence_; }

    const std::shared_ptr<ServerTrust>& serverTrust() const { return trust_; }
    const std::shared_ptr<TLSIdentity>& identity() const { return identity_; }
    const std::vector<Data>& certificates() const { return certificates_; }

    // User, password, persistence, trust and identity (by object) equal.
    friend bool operator==(const URLCredential& a, const URLCredential& b);
    friend bool operator!=(const URLCredential& a, const URLCredential& b) { return !(a == b); }

    // "<URLCredential user=... persistence=...>": no password.
    std::string description() const;

private:
    URLCredential() = default;

    std::string user_;
    std::optional<std::string> password_;
    Persistence persistence_ = Persistence::None;
    std::shared_ptr<ServerTrust> trust_;
    std::shared_ptr<TLSIdentity> identity_;
    std::vector<Data> certificates_;
};

}  // namespace clipora::platform
