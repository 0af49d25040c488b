#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace clipora {

// A request or access token: key, secret and an optional session handle.
// (Tokens are kept only in the keychain through the OAuth sharer; there is
// no user-defaults storage of tokens.)
class OAToken {
public:
    // Key and secret empty, session handle empty.
    OAToken() : sessionHandle_(std::string()) {}
    OAToken(std::string key, std::string secret) : key_(std::move(key)), secret_(std::move(secret)) {}
    static OAToken initWithKeySecret(std::string key, std::string secret) {
        return OAToken(std::move(key), std::move(secret));
    }
    // Reads "oauth_token", "oauth_token_secret" and "oauth_session_handle"
    // from a form-encoded reply body (values percent-decoded).
    static OAToken initWithHTTPResponseBody(std::string_view body);

    const std::string& key() const { return key_; }
    void setKey(std::string key) { key_ = std::move(key); }
    const std::string& secret() const { return secret_; }
    void setSecret(std::string secret) { secret_ = std::move(secret); }
    const std::optional<std::string>& sessionHandle() const { return sessionHandle_; }
    void setSessionHandle(std::optional<std::string> handle) { sessionHandle_ = std::move(handle); }

private:
    std::string key_;
    std::string secret_;
    std::optional<std::string> sessionHandle_;
};

}  // namespace clipora
