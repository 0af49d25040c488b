#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

#include "platform/cfnetwork/URLConnectionDelegate.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "share/Core/Helpers/OAuth/OAServiceTicket.h"

namespace clipora {

namespace platform {
class HTTPURLResponse;
class URLConnection;
}  // namespace platform

class OAMutableURLRequest;

// Signs a request, sends it and hands the ticket and the reply to the
// finish operation, or the ticket and the error to the failure operation,
// while the delegate (their owner) lives. The connection keeps the fetcher
// alive until it ends. Replies are collected up to maxResponseLength();
// a larger one fails (the sharers' API replies are small). Delivers on the
// run loop of the thread that started it.
class OAAsynchronousDataFetcher : public platform::URLConnectionDelegate,
                                  public std::enable_shared_from_this<OAAsynchronousDataFetcher> {
public:
    using FinishSelector = std::function<void(const OAServiceTicket& ticket, const platform::Data& data)>;
    using FailSelector =
        std::function<void(const OAServiceTicket& ticket, const std::optional<platform::Error>& error)>;

    static constexpr std::size_t kDefaultMaxResponseLength = 8 * 1024 * 1024;
    static constexpr const char* kErrorDomain = "OAAsynchronousDataFetcherErrorDomain";
    static constexpr std::int64_t kReplyTooLarge = 1;

    static std::shared_ptr<OAAsynchronousDataFetcher>
    asynchronousFetcherWithRequestDelegateDidFinishSelectorDidFailSelector(std::shared_ptr<OAMutableURLRequest> request,
                                                                           std::weak_ptr<void> delegate,
                                                                           FinishSelector didFinish,
                                                                           FailSelector didFail);

    void start();
    // Stops the exchange; nothing is reported.
    void cancel();

    static std::size_t maxResponseLength();
    static void setMaxResponseLength(std::size_t bytes);

    void connectionDidReceiveResponse(const std::shared_ptr<platform::URLConnection>& connection,
                                      const std::shared_ptr<platform::HTTPURLResponse>& response) override;
    void connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection,
                                  const platform::Data& data) override;
    void connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>& connection) override;
    void connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>& connection,
                                    const platform::Error& error) override;

    const std::shared_ptr<OAMutableURLRequest>& request() const { return request_; }
    const std::shared_ptr<platform::HTTPURLResponse>& response() const { return response_; }

private:
    void fail(const std::optional<platform::Error>& error);

    std::shared_ptr<OAMutableURLRequest> request_;
    std::shared_ptr<platform::HTTPURLResponse> response_;
    std::shared_ptr<platform::URLConnection> connection_;
    platform::Data responseData_;
    std::weak_ptr<void> delegate_;
    FinishSelector didFinish_;
    FailSelector didFail_;
};

}  // namespace clipora
