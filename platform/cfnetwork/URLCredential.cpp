#include "platform/cfnetwork/URLCredential.h"

#include <utility>

namespace clipora::platform {

URLCredential::URLCredential(std::string user, std::string password, Persistence persistence)
    : user_(std::move(user)), password_(std::move(password)), persistence_(persistence) {}

URLCredential URLCredential::credentialForTrust(std::shared_ptr<ServerTrust> trust) {
    URLCredential credential;
    credential.trust_ = std::move(trust);
    credential.persistence_ = Persistence::None;
    return credential;
}

URLCredential URLCredential::credentialWithIdentityCertificatesPersistence(std::shared_ptr<TLSIdentity> identity,
                                                                           std::vector<Data> certificates,
                                                                           Persistence persistence) {
    URLCredential credential;
    credential.identity_ = std::move(identity);
    credential.certificates_ = std::move(certificates);
    credential.persistence_ = persistence;
    return credential;
}

bool operator==(const URLCredential& a, const URLCredential& b) {
    return a.user_ == b.user_ && a.password_ == b.password_ && a.persistence_ == b.persistence_ &&
           a.trust_ == b.trust_ && a.identity_ == b.identity_ && a.certificates_ == b.certificates_;
}

std::string URLCredential::description() const {
    std::string text = "<URLCredential";
    if (trust_) text += " trust host=" + trust_->host();
    if (identity_) text += " identity=" + identity_->subjectName();
    if (!trust_ && !identity_) text += " user=" + user_;
    text += " persistence=" + std::to_string(static_cast<int>(persistence_)) + ">";
    return text;
}

}  // namespace clipora::platform
