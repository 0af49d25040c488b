#include "share/Sharers/SXLinkedInOAMutableURLRequest.h"

namespace clipora {

SXLinkedInOAMutableURLRequest::SXLinkedInOAMutableURLRequest(const platform::URL& url, OAConsumer consumer,
                                                             std::optional<OAToken> token,
                                                             std::optional<std::string> realm,
                                                             std::shared_ptr<OASignatureProviding> provider,
                                                             std::string callback)
    : OAMutableURLRequest(url, std::move(consumer), std::move(token), std::move(realm), std::move(provider)),
      callback_(std::move(callback)) {}

SXLinkedInOAMutableURLRequest::SXLinkedInOAMutableURLRequest(
    const platform::URL& url, OAConsumer consumer, std::optional<OAToken> token, std::optional<std::string> realm,
    std::shared_ptr<OASignatureProviding> provider, std::string nonce, std::string timestamp, std::string callback)
    : OAMutableURLRequest(url, std::move(consumer), std::move(token), std::move(realm), std::move(provider),
                          std::move(nonce), std::move(timestamp)),
      callback_(std::move(callback)) {}

std::vector<std::pair<std::string, std::string>> SXLinkedInOAMutableURLRequest::leadingOAuthParameters() const {
    if (callback_.empty()) return {};
    return {{"oauth_callback", callback_}};
}

}  // namespace clipora
