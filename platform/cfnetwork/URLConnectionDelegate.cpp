#include "platform/cfnetwork/URLConnectionDelegate.h"

namespace clipora::platform {

URLConnectionDelegate::~URLConnectionDelegate() = default;

std::shared_ptr<URLRequest> URLConnectionDelegate::connectionWillSendRequestRedirectResponse(
    const std::shared_ptr<URLConnection>&, const std::shared_ptr<URLRequest>& request,
    const std::shared_ptr<HTTPURLResponse>&) {
    return request;
}

void URLConnectionDelegate::connectionWillSendRequestForAuthenticationChallenge(
    const std::shared_ptr<URLConnection>& connection, const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
    if (connectionCanAuthenticateAgainstProtectionSpace(connection, challenge->protectionSpace()))
        connectionDidReceiveAuthenticationChallenge(connection, challenge);
    else
        challenge->sender()->performDefaultHandlingForAuthenticationChallenge(challenge);
}

bool URLConnectionDelegate::connectionCanAuthenticateAgainstProtectionSpace(const std::shared_ptr<URLConnection>&,
                                                                            const URLProtectionSpace& space) {
    return URLProtectionSpace::isPasswordMethod(space.authenticationMethod());
}

void URLConnectionDelegate::connectionDidReceiveAuthenticationChallenge(
    const std::shared_ptr<URLConnection>&, const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
    challenge->sender()->performDefaultHandlingForAuthenticationChallenge(challenge);
}

void URLConnectionDelegate::connectionDidCancelAuthenticationChallenge(
    const std::shared_ptr<URLConnection>&, const std::shared_ptr<URLAuthenticationChallenge>&) {}

void URLConnectionDelegate::connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(
    const std::shared_ptr<URLConnection>&, std::int64_t, std::int64_t, std::int64_t) {}

void URLConnectionDelegate::connectionDidReceiveResponse(const std::shared_ptr<URLConnection>&,
                                                         const std::shared_ptr<HTTPURLResponse>&) {}

void URLConnectionDelegate::connectionDidReceiveData(const std::shared_ptr<URLConnection>&, const Data&) {}

std::shared_ptr<CachedURLResponse> URLConnectionDelegate::connectionWillCacheResponse(
    const std::shared_ptr<URLConnection>&, const std::shared_ptr<CachedURLResponse>& cachedResponse) {
    return cachedResponse;
}

void URLConnectionDelegate::connectionDidFinishLoading(const std::shared_ptr<URLConnection>&) {}

void URLConnectionDelegate::connectionDidFailWithError(const std::shared_ptr<URLConnection>&, const Error&) {}

}  // namespace clipora::platform
