#include "analytics/TallyConnectionDelegate.h"

#include "analytics/TallyUtil.h"
#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLAuthenticationChallenge.h"
#include "platform/cfnetwork/URLAuthenticationChallengeSender.h"

namespace clipora {

using namespace platform;

std::shared_ptr<URLRequest> TallyConnectionDelegate::connectionWillSendRequestRedirectResponse(
    const std::shared_ptr<URLConnection>&, const std::shared_ptr<URLRequest>& request,
    const std::shared_ptr<HTTPURLResponse>&) {
    return request;
}

void TallyConnectionDelegate::connectionDidReceiveAuthenticationChallenge(
    const std::shared_ptr<URLConnection>&, const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
    if (!challenge->sender()) return;
    if (challenge->proposedCredential())
        challenge->sender()->useCredentialForAuthenticationChallenge(*challenge->proposedCredential(), challenge);
    else
        challenge->sender()->continueWithoutCredentialForAuthenticationChallenge(challenge);
}

void TallyConnectionDelegate::connectionDidCancelAuthenticationChallenge(
    const std::shared_ptr<URLConnection>&, const std::shared_ptr<URLAuthenticationChallenge>&) {
    done_ = true;
}

void TallyConnectionDelegate::connectionDidReceiveResponse(const std::shared_ptr<URLConnection>&,
                                                           const std::shared_ptr<HTTPURLResponse>& response) {
    TallyUtil::debugLog("TallyAnalytics: HTTP connection delegate received response[%d]", response->statusCode());
    response_ = response;
}

void TallyConnectionDelegate::connectionDidReceiveData(const std::shared_ptr<URLConnection>&, const Data& data) {
    body_.insert(body_.end(), data.begin(), data.end());
}

std::shared_ptr<CachedURLResponse> TallyConnectionDelegate::connectionWillCacheResponse(
    const std::shared_ptr<URLConnection>&, const std::shared_ptr<CachedURLResponse>&) {
    return nullptr;
}

void TallyConnectionDelegate::connectionDidFinishLoading(const std::shared_ptr<URLConnection>&) { done_ = true; }

void TallyConnectionDelegate::connectionDidFailWithError(const std::shared_ptr<URLConnection>&, const Error& error) {
    error_ = error;
    done_ = true;
}

void TallyConnectionDelegate::failWithError(const Error& error) {
    if (done_) return;
    error_ = error;
    done_ = true;
}

}  // namespace clipora
