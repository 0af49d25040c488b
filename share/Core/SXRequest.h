#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/cfnetwork/URLConnectionDelegate.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

namespace platform {
class HTTPURLResponse;
class URLConnection;
}  // namespace platform

// The plain asynchronous HTTP request of the sharers without OAuth: a body
// text (or none), a method, header fields; success is a 200 or 201 reply.
// The finished operation hears of the end, the request as its argument,
// while its owner (the delegate) lives. Replies are collected in memory up
// to maxResponseLength(); a larger reply ends the request without success.
// Main thread (callbacks on the run loop that started it).
class SXRequest : public platform::URLConnectionDelegate, public std::enable_shared_from_this<SXRequest> {
public:
    using FinishedSelector = std::function<void(const std::shared_ptr<SXRequest>& request)>;

    static constexpr double kTimeout = 90;
    static constexpr std::size_t kDefaultMaxResponseLength = 8 * 1024 * 1024;

    SXRequest() = default;

    // A body text (even an empty one) keeps `method`; none sends a GET.
    static std::shared_ptr<SXRequest> initWithURLParamsDelegateIsFinishedSelectorMethodAutostart(
        const platform::URL& url, std::optional<std::string> params, std::weak_ptr<void> delegate,
        FinishedSelector isFinishedSelector, std::string method, bool autostart);

    void start();
    void cancel();
    void finish();
    // The reply as UTF-8 text (decoded once).
    const std::string& getResult();

    static std::size_t maxResponseLength();
    static void setMaxResponseLength(std::size_t bytes);

    void connectionDidReceiveResponse(const std::shared_ptr<platform::URLConnection>& connection,
                                      const std::shared_ptr<platform::HTTPURLResponse>& response) override;
    void connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>& connection,
                                  const platform::Data& data) override;
    void connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>& connection) override;
    void connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>& connection,
                                    const platform::Error& error) override;

    const std::optional<platform::URL>& url() const { return url_; }
    void setURL(std::optional<platform::URL> url) { url_ = std::move(url); }
    const std::optional<std::string>& params() const { return params_; }
    void setParams(std::optional<std::string> params) { params_ = std::move(params); }
    const std::string& method() const { return method_; }
    void setMethod(std::string method) { method_ = std::move(method); }
    const platform::Value::Dictionary& headerFields() const { return headerFields_; }
    void setHeaderFields(platform::Value::Dictionary fields) { headerFields_ = std::move(fields); }
    void setDelegate(std::weak_ptr<void> delegate) { delegate_ = std::move(delegate); }
    void setIsFinishedSelector(FinishedSelector selector) { isFinishedSelector_ = std::move(selector); }
    const std::shared_ptr<platform::URLConnection>& connection() const { return connection_; }
    const std::shared_ptr<platform::HTTPURLResponse>& response() const { return response_; }
    const platform::Value::Dictionary& headers() const { return headers_; }
    const platform::Data& data() const { return data_; }
    bool success() const { return success_; }
    // Whether the reply was cut off at maxResponseLength().
    bool tooLarge() const { return tooLarge_; }

private:
    std::optional<platform::URL> url_;
    std::optional<std::string> params_;
    std::string method_ = "GET";
    platform::Value::Dictionary headerFields_;
    std::weak_ptr<void> delegate_;
    FinishedSelector isFinishedSelector_;
    std::shared_ptr<platform::URLConnection> connection_;
    std::shared_ptr<platform::HTTPURLResponse> response_;
    platform::Value::Dictionary headers_;
    platform::Data data_;
    std::optional<std::string> result_;
    bool success_ = false;
    bool tooLarge_ = false;
    bool finished_ = false;
};

}  // namespace clipora
