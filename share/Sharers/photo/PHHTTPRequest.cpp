#include "share/Sharers/photo/PHHTTPRequest.h"

#include <algorithm>
#include <chrono>

#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/cfnetwork/HTTPReadStream.h"
#include "platform/cfnetwork/ProxySettings.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Timer.h"

namespace clipora {

using platform::Data;
using platform::Date;
using platform::HTTPMessage;
using platform::HTTPReadStream;
using platform::RunLoop;
using platform::Text;
using platform::Timer;
using platform::URL;

namespace {

constexpr double kTrackerInterval = 1.0;

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

PHHTTPRequest::PHHTTPRequest() : readBuffer_(kDefaultReadBufferSize, 0) {}

PHHTTPRequest::~PHHTTPRequest() { cleanUp(); }

void PHHTTPRequest::setReadBufferSize(std::size_t size) { readBuffer_.assign(std::max<std::size_t>(size, 1), 0); }

bool PHHTTPRequest::takesBytes() const {
    auto delegate = delegate_.lock();
    return delegate && delegate->httpRequestTakesReceivedBytes(*this);
}

bool PHHTTPRequest::performMethodOnURLWithData(const std::string& method, const std::optional<URL>& url,
                                               const std::optional<Data>& body) {
    return perform(method, url, body, nullptr, 0);
}

bool PHHTTPRequest::performMethodOnURLWithInputStreamKnownContentSize(const std::string& method,
                                                                      const std::optional<URL>& url,
                                                                      std::shared_ptr<platform::InputStream> stream,
                                                                      std::uint32_t size) {
    return perform(method, url, std::nullopt, std::move(stream), size);
}

bool PHHTTPRequest::perform(const std::string& method, const std::optional<URL>& url, const std::optional<Data>& body,
                            std::shared_ptr<platform::InputStream> stream, std::uint32_t size) {
    if (!url || isRunning()) return false;
    auto message = HTTPMessage::createRequest(method, *url);
    if (!message) return false;

    if (userAgent_) message->setHeaderFieldValue("User-Agent", *userAgent_);
    if (contentType_) message->setHeaderFieldValue("Content-Type", *contentType_);
    requestMessageBodySize_ = 0;
    if (stream) {
        if (size == 0 || size == kUnknownSize) {
            requestMessageBodySize_ = kUnknownSize;
        } else {
            requestMessageBodySize_ = size;
            message->setHeaderFieldValue("Content-Length", std::to_string(size));
        }
    } else if (body && !body->empty()) {
        requestMessageBodySize_ = static_cast<std::uint32_t>(std::min<std::size_t>(body->size(), kUnknownSize - 1));
        message->setHeaderFieldValue("Content-Length", std::to_string(body->size()));
    }
    for (const auto& [name, value] : requestHeader_) message->setHeaderFieldValue(name, value);
    if (!stream && body) message->setBody(*body);

    message_ = message;
    body_ = stream ? std::nullopt : body;
    bodyIsStream_ = stream != nullptr;
    redirects_ = 0;
    if (!receivedData_.empty()) receivedData_ = Data();
    receivedContentType_.reset();
    if (!openStream(message, std::move(stream))) return false;

    lastSentBytes_ = 0;
    lastSentDataUpdateTime_ = Date::now();
    std::weak_ptr<PHHTTPRequest> weak = weak_from_this();
    requestMessageBodyTracker_ = Timer::create(Date::now(), kTrackerInterval, true, [weak](Timer& timer) {
        if (auto self = weak.lock()) self->handleRequestMessageBodyTrackerTick(timer);
    });
    runLoop_->addTimer(requestMessageBodyTracker_, RunLoop::commonModes);

    if (shouldWaitUntilDone_) {
        // The caller waits while its run loop keeps serving the transfer.
        auto keep = shared_from_this();
        const std::string mode = runLoop_->currentMode().value_or(RunLoop::defaultMode);
        auto loop = runLoop_;
        while (isRunning()) loop->runOnce(mode, std::chrono::milliseconds(50));
    }
    return true;
}

bool PHHTTPRequest::openStream(const std::shared_ptr<HTTPMessage>& message,
                               std::shared_ptr<platform::InputStream> stream) {
    auto readStream = stream ? HTTPReadStream::create(message, std::move(stream)) : HTTPReadStream::create(message);
    if (!readStream) return false;
    const URL url = message->requestURL();
    const bool secure = Text::lowercase(url.scheme()) == "https";
    for (const auto& proxy : platform::ProxySettings::systemProxySettings()->proxiesForURL(url)) {
        using Type = platform::ProxyEntry::Type;
        if (proxy.type == Type::SOCKS) {
            readStream->setSOCKSProxy(proxy.host, proxy.port);
        } else if (proxy.type == Type::HTTP || proxy.type == Type::HTTPS) {
            if (secure) {
                readStream->setHTTPSProxy(proxy.host, proxy.port);
            } else {
                readStream->setHTTPProxy(proxy.host, proxy.port);
            }
        } else {
            continue;
        }
        break;
    }
    std::weak_ptr<PHHTTPRequest> weak = weak_from_this();
    readStream->setClient(HTTPReadStream::kDefaultEvents, [weak](HTTPReadStream& s, unsigned event) {
        if (auto self = weak.lock()) self->handleEvent(s, event);
    });
    runLoop_ = RunLoop::current();
    readStream->scheduleInRunLoop(runLoop_, RunLoop::commonModes);
    expectedDataLength_ = kUnknownSize;
    headReported_ = false;
    readStream_ = readStream;
    if (!readStream->open()) {
        readStream->setClient(0, nullptr);
        readStream->unscheduleFromRunLoop(runLoop_, RunLoop::commonModes);
        readStream_.reset();
        return false;
    }
    return true;
}

void PHHTTPRequest::handleEvent(HTTPReadStream& stream, unsigned event) {
    // Events of a stream that is no longer ours (stopped, or replaced by a
    // redirect) are ignored.
    if (&stream != readStream_.get()) return;
    auto keep = shared_from_this();
    switch (event) {
    case HTTPReadStream::kEventHasBytesAvailable: readStreamHasBytesAvailable(); break;
    case HTTPReadStream::kEventEndEncountered: readStreamEndEncountered(); break;
    case HTTPReadStream::kEventErrorOccurred: readStreamErrorOccurred(); break;
    default: break;
    }
}

bool PHHTTPRequest::handleResponseHead() {
    headReported_ = true;
    // The whole body has gone out by the time the reply comes.
    lastSentBytes_ =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(readStream_->requestBytesWritten(), kUnknownSize - 1));
    auto delegate = delegate_.lock();
    if (delegate) delegate->httpRequestSentBytesTotal(*this, lastSentBytes_, lastSentBytes_);
    if (requestMessageBodyTracker_) requestMessageBodyTracker_->invalidate();
    requestMessageBodyTracker_.reset();

    auto header = readStream_->responseHeader();
    URL finalURL = message_->requestURL();
    const int status = header ? header->responseStatusCode() : 0;
    if (header && isRedirect(status) && redirects_ < kMaxRedirects) {
        auto location = header->headerFieldValue("Location");
        auto target = location ? URL::fromString(*location, finalURL) : std::nullopt;
        std::string method = message_->requestMethod();
        const bool becomesGet = status == 303 || ((status == 301 || status == 302) && method == kMethodPOST);
        // A streamed body cannot be sent twice.
        const bool replayable = becomesGet || !bodyIsStream_;
        if (target && replayable && (target->scheme() == "http" || target->scheme() == "https")) {
            if (becomesGet && method != kMethodHEAD) method = kMethodGET;
            auto next = HTTPMessage::createRequest(method, *target);
            for (const auto& [name, value] : message_->allHeaderFields().joined()) {
                if (becomesGet && (Text::equalsCaseInsensitive(name, "Content-Length") ||
                                   Text::equalsCaseInsensitive(name, "Content-Type"))) {
                    continue;
                }
                next->setHeaderFieldValue(name, value);
            }
            if (!becomesGet && body_) next->setBody(*body_);
            if (becomesGet) body_.reset();
            auto old = std::move(readStream_);
            old->setClient(0, nullptr);
            old->unscheduleFromRunLoop(runLoop_, RunLoop::commonModes);
            old->close();
            message_ = next;
            ++redirects_;
            if (openStream(next, nullptr)) {
                lastReceivedBytes_ = 0;
                lastReceivedDataUpdateTime_ = Date::now();
                startReceivedDataTracker();
                return true;
            }
            fail(kConnectionLostError);
            return true;
        }
    }

    expectedDataLength_ = kUnknownSize;
    if (header) {
        if (auto length = header->headerFieldValue("Content-Length")) {
            if (auto value = Text::parseInt64(Text::trimWhitespaceAndNewlines(*length)); value && *value >= 0) {
                expectedDataLength_ = static_cast<std::uint32_t>(std::min<std::int64_t>(*value, kUnknownSize));
            }
        }
        receivedContentType_ = header->headerFieldValue("Content-Type");
    }
    if (delegate) delegate->httpRequestDidReceiveStatusCodeURLResponseHeader(*this, status, finalURL, header);
    return false;
}

void PHHTTPRequest::startReceivedDataTracker() {
    if (receivedDataTracker_) receivedDataTracker_->invalidate();
    std::weak_ptr<PHHTTPRequest> weak = weak_from_this();
    receivedDataTracker_ =
        Timer::create(Date::now().addingTimeInterval(kTrackerInterval), kTrackerInterval, true, [weak](Timer& timer) {
            if (auto self = weak.lock()) self->handleReceivedDataTrackerTick(timer);
        });
    runLoop_->addTimer(receivedDataTracker_, RunLoop::commonModes);
}

void PHHTTPRequest::readStreamHasBytesAvailable() {
    if (!headReported_) {
        auto stream = readStream_;
        if (handleResponseHead()) return;
        // The delegate stopped or replaced the transfer meanwhile.
        if (readStream_ != stream) return;
        lastReceivedBytes_ = 0;
        lastReceivedDataUpdateTime_ = Date::now();
        startReceivedDataTracker();
    }
    readAvailableBytes();
}

bool PHHTTPRequest::readAvailableBytes() {
    auto stream = readStream_;
    while (stream && stream == readStream_) {
        const auto count = stream->read(readBuffer_.data(), readBuffer_.size());
        if (count <= 0) return true;
        const auto size = static_cast<std::size_t>(count);
        auto delegate = delegate_.lock();
        if (delegate && delegate->httpRequestTakesReceivedBytes(*this)) {
            delegate->httpRequestWriteReceivedBytesSizeExpectedTotal(*this, readBuffer_.data(), size,
                                                                     expectedDataLength_);
            lastReceivedBytes_ += static_cast<std::uint32_t>(size);
            lastReceivedDataUpdateTime_ = Date::now();
            continue;
        }
        if (receivedData_.size() + size > maxReceivedDataLength_) {
            // A broken or hostile peer must not fill the memory.
            fail(kResponseTooLargeError);
            return false;
        }
        receivedData_.insert(receivedData_.end(), readBuffer_.begin(), readBuffer_.begin() + count);
        lastReceivedBytes_ = static_cast<std::uint32_t>(std::min<std::size_t>(receivedData_.size(), kUnknownSize));
        lastReceivedDataUpdateTime_ = Date::now();
        if (delegate) delegate->httpRequestReceivedBytesExpectedTotal(*this, lastReceivedBytes_, expectedDataLength_);
    }
    return true;
}

void PHHTTPRequest::readStreamEndEncountered() {
    if (!headReported_) {
        if (handleResponseHead()) return;
        if (!readStream_) return;
    }
    // Bytes that arrived with the end are still part of the reply.
    if (!readAvailableBytes() || !readStream_) return;
    auto keep = shared_from_this();
    exitRunLoop();
    cleanUp();
    if (auto delegate = delegate_.lock()) delegate->httpRequestDidComplete(*this);
}

void PHHTTPRequest::readStreamErrorOccurred() { fail(kConnectionLostError); }

void PHHTTPRequest::handleRequestMessageBodyTrackerTick(Timer& timer) {
    if (&timer != requestMessageBodyTracker_.get() || !readStream_) return;
    const auto written =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(readStream_->requestBytesWritten(), kUnknownSize - 1));
    if (written > lastSentBytes_) {
        lastSentBytes_ = written;
        lastSentDataUpdateTime_ = Date::now();
        if (auto delegate = delegate_.lock())
            delegate->httpRequestSentBytesTotal(*this, written, requestMessageBodySize_);
        return;
    }
    if (Date::now().timeIntervalSince(lastSentDataUpdateTime_) > timeoutInterval_) {
        timer.invalidate();
        handleTimeout();
    }
}

void PHHTTPRequest::handleReceivedDataTrackerTick(Timer& timer) {
    if (&timer != receivedDataTracker_.get() || !readStream_) return;
    if (Date::now().timeIntervalSince(lastReceivedDataUpdateTime_) > timeoutInterval_) {
        timer.invalidate();
        handleTimeout();
    }
}

void PHHTTPRequest::handleTimeout() { fail(kTimeoutError); }

void PHHTTPRequest::fail(const std::string& error) {
    auto keep = shared_from_this();
    exitRunLoop();
    cleanUp();
    if (auto delegate = delegate_.lock()) delegate->httpRequestDidFailWithError(*this, error);
}

void PHHTTPRequest::cancel() {
    auto keep = shared_from_this();
    cancelWithoutDelegateMessage();
    if (auto delegate = delegate_.lock()) delegate->httpRequestDidCancel(*this);
}

void PHHTTPRequest::cancelWithoutDelegateMessage() {
    exitRunLoop();
    cleanUp();
}

Data PHHTTPRequest::getReceivedDataAndDetachFromRequest() {
    Data data = std::move(receivedData_);
    receivedData_ = Data();
    receivedContentType_.reset();
    return data;
}

void PHHTTPRequest::exitRunLoop() {
    if (shouldWaitUntilDone_ && runLoop_) runLoop_->wakeUp();
}

void PHHTTPRequest::stopTrackers() {
    if (receivedDataTracker_) receivedDataTracker_->invalidate();
    receivedDataTracker_.reset();
    if (requestMessageBodyTracker_) requestMessageBodyTracker_->invalidate();
    requestMessageBodyTracker_.reset();
}

void PHHTTPRequest::cleanUp() {
    if (readStream_) {
        auto stream = std::move(readStream_);
        readStream_.reset();
        stream->setClient(0, nullptr);
        if (runLoop_) stream->unscheduleFromRunLoop(runLoop_, RunLoop::commonModes);
        stream->close();
    }
    stopTrackers();
    requestMessageBodySize_ = 0;
    expectedDataLength_ = kUnknownSize;
    lastReceivedDataUpdateTime_ = Date();
    lastSentDataUpdateTime_ = Date();
    lastReceivedBytes_ = 0;
    lastSentBytes_ = 0;
}

}  // namespace clipora
