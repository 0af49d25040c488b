#pragma once

#include <memory>
#include <optional>

#include "platform/cfnetwork/URLConnectionDelegate.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Collects one reply of the URL connection: the response, every body byte,
// the failure, and whether the exchange is over. Used on the one thread that
// runs the exchange.
class TallyConnectionDelegate : public platform::URLConnectionDelegate {
public:
    std::shared_ptr<platform::URLRequest> connectionWillSendRequestRedirectResponse(
        const std::shared_ptr<platform::URLConnection>& connection,
        const std::shared_ptr<platform::URLRequest>& request,
        const std::shared_ptr<platform::HTTPURLResponse>& redirectResponse) override;
    void connectionDidReceiveAuthenticationChallenge(
        const std::shared_ptr<platform::URLConnection>& connection,
        const std::shared_ptr<platform::URLAuthenticationChallenge>& challenge) override;
    void connectionDidCancelAuthenticationChallenge(
        const std::shared_ptr<platform::URLConnection>& connection,
        const std::shared_ptr<platform::URLAuthenticationChallenge>& challenge) override;
    void connectionDidReceiveResponse(const std::shared_ptr<platform::URLConnection>& connection,
                                      const std::shared_ptr<platform::HTTPURLResponse>& response) override;
    void connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection,
                                  const platform::Data& data) override;
    std::shared_ptr<platform::CachedURLResponse> connectionWillCacheResponse(
        const std::shared_ptr<platform::URLConnection>& connection,
        const std::shared_ptr<platform::CachedURLResponse>& cachedResponse) override;
    void connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>& connection) override;
    void connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>& connection,
                                    const platform::Error& error) override;

    // Ends the exchange from outside (a deadline passed) with this error.
    void failWithError(const platform::Error& error);

    bool isDone() const { return done_; }
    const std::shared_ptr<platform::HTTPURLResponse>& response() const { return response_; }
    const platform::Data& body() const { return body_; }
    const std::optional<platform::Error>& error() const { return error_; }

private:
    platform::Data body_;
    std::shared_ptr<platform::HTTPURLResponse> response_;
    std::optional<platform::Error> error_;
    bool done_ = false;
};

}  // namespace clipora
