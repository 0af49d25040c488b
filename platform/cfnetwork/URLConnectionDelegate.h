#pragma once

#include <cstdint>
#include <memory>

#include "platform/cfnetwork/CachedURLResponse.h"
#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/cfnetwork/URLAuthenticationChallenge.h"
#include "platform/cfnetwork/URLProtectionSpace.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

class URLConnection;

// What a URL connection tells its delegate, on the run loop it is scheduled
// on, in this order: connectionWillSendRequestRedirectResponse (once before
// the first request with no redirect response, then for each redirect),
// authentication challenges (a server's trust before any request byte is
// sent; 401/407 after the response head), connectionDidSendBodyData...
// while the body goes out, connectionDidReceiveResponse (once per final
// response), connectionDidReceiveData (body chunks, content coding
// removed), connectionWillCacheResponse, then connectionDidFinishLoading or
// connectionDidFailWithError. Nothing follows the last one or a cancel.
//
// Every operation has a default body that does what the connection does
// when a delegate does not answer, so a delegate overrides only what it
// needs.
class URLConnectionDelegate {
public:
    virtual ~URLConnectionDelegate();

    // The request to send instead of `request` (a redirect's target when
    // `redirectResponse` is set), or null to stop following: the redirect
    // response is then delivered as the final response. Default: `request`.
    virtual std::shared_ptr<URLRequest> connectionWillSendRequestRedirectResponse(
        const std::shared_ptr<URLConnection>& connection, const std::shared_ptr<URLRequest>& request,
        const std::shared_ptr<HTTPURLResponse>& redirectResponse);

    // Must answer the challenge through its sender, now or later. Default:
    // when connectionCanAuthenticateAgainstProtectionSpace says yes,
    // connectionDidReceiveAuthenticationChallenge; otherwise the sender's
    // default handling.
    virtual void connectionWillSendRequestForAuthenticationChallenge(
        const std::shared_ptr<URLConnection>& connection, const std::shared_ptr<URLAuthenticationChallenge>& challenge);
    // Default: yes for the methods answered with a user name and password.
    virtual bool connectionCanAuthenticateAgainstProtectionSpace(const std::shared_ptr<URLConnection>& connection,
                                                                 const URLProtectionSpace& protectionSpace);
    // Default: the sender's default handling.
    virtual void connectionDidReceiveAuthenticationChallenge(
        const std::shared_ptr<URLConnection>& connection, const std::shared_ptr<URLAuthenticationChallenge>& challenge);
    // The connection gave up on a challenge it had asked about (the load was
    // stopped meanwhile). Default: nothing.
    virtual void connectionDidCancelAuthenticationChallenge(
        const std::shared_ptr<URLConnection>& connection, const std::shared_ptr<URLAuthenticationChallenge>& challenge);

    // Upload progress: bytes written since the last call, in all, and the
    // body's length (-1 for a body stream). Default: nothing.
    virtual void connectionDidSendBodyDataTotalBytesWrittenTotalBytesExpectedToWrite(
        const std::shared_ptr<URLConnection>& connection, std::int64_t bytesWritten, std::int64_t totalBytesWritten,
        std::int64_t totalBytesExpectedToWrite);
    virtual void connectionDidReceiveResponse(const std::shared_ptr<URLConnection>& connection,
                                              const std::shared_ptr<HTTPURLResponse>& response);
    virtual void connectionDidReceiveData(const std::shared_ptr<URLConnection>& connection, const Data& data);
    // The response that would be cached, or null for "do not cache".
    // Default: `cachedResponse`. Offered for successful GET responses of at
    // most URLConnection::kCacheableBodyLimit bytes.
    virtual std::shared_ptr<CachedURLResponse> connectionWillCacheResponse(
        const std::shared_ptr<URLConnection>& connection, const std::shared_ptr<CachedURLResponse>& cachedResponse);
    virtual void connectionDidFinishLoading(const std::shared_ptr<URLConnection>& connection);
    virtual void connectionDidFailWithError(const std::shared_ptr<URLConnection>& connection, const Error& error);
};

}  // namespace clipora::platform
