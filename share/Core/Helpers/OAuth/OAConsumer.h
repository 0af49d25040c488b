#pragma once

#include <string>

namespace clipora {

// The application's consumer key and secret at a service.
class OAConsumer {
public:
    OAConsumer(std::string key, std::string secret) : key_(std::move(key)), secret_(std::move(secret)) {}
    static OAConsumer initWithKeySecret(std::string key, std::string secret) {
        return OAConsumer(std::move(key), std::move(secret));
    }

    const std::string& key() const { return key_; }
    void setKey(std::string key) { key_ = std::move(key); }
    const std::string& secret() const { return secret_; }
    void setSecret(std::string secret) { secret_ = std::move(secret); }

private:
    std::string key_;
    std::string secret_;
};

}  // namespace clipora
