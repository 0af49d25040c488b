#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "share/Core/Helpers/OAuth/OAMutableURLRequest.h"

namespace clipora {

// The professional network's signed request: it carries the application's
// callback as "oauth_callback", signed and in the "Authorization" header
// right after the realm; an empty callback adds nothing. Everything else is
// the plain signed request's.
class SXLinkedInOAMutableURLRequest : public OAMutableURLRequest {
public:
    SXLinkedInOAMutableURLRequest(const platform::URL& url, OAConsumer consumer, std::optional<OAToken> token,
                                  std::optional<std::string> realm, std::shared_ptr<OASignatureProviding> provider,
                                  std::string callback);
    SXLinkedInOAMutableURLRequest(const platform::URL& url, OAConsumer consumer, std::optional<OAToken> token,
                                  std::optional<std::string> realm, std::shared_ptr<OASignatureProviding> provider,
                                  std::string nonce, std::string timestamp, std::string callback);

    static std::shared_ptr<SXLinkedInOAMutableURLRequest> initWithURLConsumerTokenRealmSignatureProviderCallback(
        const platform::URL& url, OAConsumer consumer, std::optional<OAToken> token, std::optional<std::string> realm,
        std::shared_ptr<OASignatureProviding> provider, std::string callback) {
        return std::make_shared<SXLinkedInOAMutableURLRequest>(
            url, std::move(consumer), std::move(token), std::move(realm), std::move(provider), std::move(callback));
    }

    const std::string& callback() const { return callback_; }

protected:
    std::vector<std::pair<std::string, std::string>> leadingOAuthParameters() const override;

private:
    std::string callback_;
};

}  // namespace clipora
