#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "share/Sharers/photo/PHHTTPRequestDelegate.h"

namespace clipora {

namespace platform {
class HTTPMessage;
class HTTPReadStream;
class InputStream;
class RunLoop;
class Timer;
}  // namespace platform

// One HTTP transfer at a time on an HTTP read stream, asynchronous on the
// run loop of the thread that started it (or synchronous by spinning that
// run loop). Two one-second watchdogs fail a transfer whose upload or
// download makes no progress for longer than timeoutInterval(). Replies
// kept in memory are capped (maxReceivedDataLength); a delegate that takes
// the bytes itself streams without a cap.
class PHHTTPRequest : public std::enable_shared_from_this<PHHTTPRequest> {
public:
    static constexpr const char* kTimeoutError = "HTTP request timeout";
    static constexpr const char* kConnectionLostError = "HTTP request connection lost";
    static constexpr const char* kResponseTooLargeError = "HTTP response too large";
    static constexpr const char* kMethodGET = "GET";
    static constexpr const char* kMethodPOST = "POST";
    static constexpr const char* kMethodHEAD = "HEAD";
    static constexpr std::uint32_t kUnknownSize = 0xFFFFFFFF;
    static constexpr double kDefaultTimeoutInterval = 10.0;
    static constexpr std::size_t kDefaultReadBufferSize = 16384;
    static constexpr std::size_t kDefaultMaxReceivedDataLength = 8 * 1024 * 1024;
    static constexpr int kMaxRedirects = 10;

    PHHTTPRequest();
    ~PHHTTPRequest();
    PHHTTPRequest(const PHHTTPRequest&) = delete;
    PHHTTPRequest& operator=(const PHHTTPRequest&) = delete;

    // True when the transfer started (synchronous mode: when it ran).
    bool performMethodOnURLWithData(const std::string& method, const std::optional<platform::URL>& url,
                                    const std::optional<platform::Data>& body);
    // `size` 0 or kUnknownSize sends no "Content-Length".
    bool performMethodOnURLWithInputStreamKnownContentSize(const std::string& method,
                                                           const std::optional<platform::URL>& url,
                                                           std::shared_ptr<platform::InputStream> stream,
                                                           std::uint32_t size);
    // Stops the transfer and tells the delegate.
    void cancel();
    void cancelWithoutDelegateMessage();
    // Hands over the bytes received and starts a new empty buffer.
    platform::Data getReceivedDataAndDetachFromRequest();

    bool isRunning() const { return readStream_ != nullptr; }

    std::shared_ptr<PHHTTPRequestDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<PHHTTPRequestDelegate> delegate) { delegate_ = std::move(delegate); }
    double timeoutInterval() const { return timeoutInterval_; }
    void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }
    const std::optional<std::string>& userAgent() const { return userAgent_; }
    void setUserAgent(std::optional<std::string> agent) { userAgent_ = std::move(agent); }
    const std::optional<std::string>& contentType() const { return contentType_; }
    void setContentType(std::optional<std::string> type) { contentType_ = std::move(type); }
    // Extra header fields; they override userAgent and contentType.
    const std::vector<std::pair<std::string, std::string>>& requestHeader() const { return requestHeader_; }
    void setRequestHeader(std::vector<std::pair<std::string, std::string>> header) {
        requestHeader_ = std::move(header);
    }
    const platform::Data& receivedData() const { return receivedData_; }
    const std::optional<std::string>& receivedContentType() const { return receivedContentType_; }
    std::uint32_t expectedDataLength() const { return expectedDataLength_; }
    std::size_t readBufferSize() const { return readBuffer_.size(); }
    void setReadBufferSize(std::size_t size);
    const platform::Value& sessionInfo() const { return sessionInfo_; }
    void setSessionInfo(platform::Value info) { sessionInfo_ = std::move(info); }
    bool shouldWaitUntilDone() const { return shouldWaitUntilDone_; }
    void setShouldWaitUntilDone(bool wait) { shouldWaitUntilDone_ = wait; }
    std::size_t maxReceivedDataLength() const { return maxReceivedDataLength_; }
    void setMaxReceivedDataLength(std::size_t bytes) { maxReceivedDataLength_ = bytes; }

private:
    bool perform(const std::string& method, const std::optional<platform::URL>& url,
                 const std::optional<platform::Data>& body, std::shared_ptr<platform::InputStream> stream,
                 std::uint32_t size);
    bool openStream(const std::shared_ptr<platform::HTTPMessage>& message,
                    std::shared_ptr<platform::InputStream> stream);
    void handleEvent(platform::HTTPReadStream& stream, unsigned event);
    void readStreamHasBytesAvailable();
    void readStreamEndEncountered();
    void readStreamErrorOccurred();
    // The reply's head: redirects are followed here (true: a new transfer
    // took over); otherwise the delegate hears of it.
    bool handleResponseHead();
    bool readAvailableBytes();
    void startReceivedDataTracker();
    void handleRequestMessageBodyTrackerTick(platform::Timer& timer);
    void handleReceivedDataTrackerTick(platform::Timer& timer);
    void handleTimeout();
    void fail(const std::string& error);
    void stopTrackers();
    void cleanUp();
    void exitRunLoop();
    bool takesBytes() const;

    std::weak_ptr<PHHTTPRequestDelegate> delegate_;
    double timeoutInterval_ = kDefaultTimeoutInterval;
    std::optional<std::string> userAgent_;
    std::optional<std::string> contentType_;
    std::vector<std::pair<std::string, std::string>> requestHeader_;
    platform::Data receivedData_;
    std::optional<std::string> receivedContentType_;
    std::shared_ptr<platform::HTTPReadStream> readStream_;
    std::shared_ptr<platform::Timer> receivedDataTracker_;
    platform::Date lastReceivedDataUpdateTime_;
    std::shared_ptr<platform::Timer> requestMessageBodyTracker_;
    platform::Date lastSentDataUpdateTime_;
    std::uint32_t requestMessageBodySize_ = 0;
    std::uint32_t expectedDataLength_ = kUnknownSize;
    std::uint32_t lastReceivedBytes_ = 0;
    std::uint32_t lastSentBytes_ = 0;
    std::vector<std::uint8_t> readBuffer_;
    platform::Value sessionInfo_;
    bool shouldWaitUntilDone_ = false;
    std::size_t maxReceivedDataLength_ = kDefaultMaxReceivedDataLength;
    std::shared_ptr<platform::RunLoop> runLoop_;
    // What a redirect needs to send the request again.
    std::shared_ptr<platform::HTTPMessage> message_;
    std::optional<platform::Data> body_;
    bool bodyIsStream_ = false;
    int redirects_ = 0;
    bool headReported_ = false;
};

}  // namespace clipora
