#include "platform/cfnetwork/HTTPTransaction.h"

#include <algorithm>
#include <cstring>

#include <boost/asio/post.hpp>

#include "platform/cfnetwork/HTTPClientCore.h"
#include "platform/cfnetwork/HTTPConnection.h"

namespace clipora::platform {

HTTPTransaction::HTTPTransaction(std::shared_ptr<HTTPClientCore> core, std::uint64_t identifier,
                                 std::shared_ptr<HTTPMessage> request, HTTPTransactionOptions options,
                                 std::weak_ptr<HTTPTransactionObserver> observer)
    : core_(std::move(core)), identifier_(identifier), request_(std::move(request)), options_(std::move(options)),
      observer_(std::move(observer)) {}

HTTPTransaction::~HTTPTransaction() {
    // Dropped without cancel() or release(): stop the exchange all the same.
    if (complete_ || error_ || cancelled_) return;
    if (auto connection = connection_.lock()) {
        auto id = identifier_;
        boost::asio::post(core_->ioContext(), [connection, id]() { connection->abortTransaction(id, std::nullopt); });
    }
}

std::shared_ptr<HTTPMessage> HTTPTransaction::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

std::size_t HTTPTransaction::bytesAvailable() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(tail_ - head_);
}

std::ptrdiff_t HTTPTransaction::read(std::uint8_t* buffer, std::size_t max) {
    std::lock_guard consumer(readMutex_);
    std::uint64_t head;
    std::size_t n;
    {
        std::lock_guard lock(mutex_);
        if (tail_ == head_) return error_ ? -1 : 0;
        head = head_;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(max, tail_ - head_));
    }
    // [head, head + n) is the consumer's: the producer only writes past tail_.
    std::size_t index = static_cast<std::size_t>(head % kReceiveCapacity);
    std::size_t first = std::min(n, kReceiveCapacity - index);
    std::memcpy(buffer, ring_.data() + index, first);
    if (first < n) std::memcpy(buffer + first, ring_.data(), n - first);
    std::shared_ptr<HTTPConnection> resume;
    {
        std::lock_guard lock(mutex_);
        head_ += n;
        if (readPaused_ && tail_ - head_ < kReceiveLowWater) {
            readPaused_ = false;
            resume = connection_.lock();
        }
    }
    if (resume) boost::asio::post(core_->ioContext(), [resume]() { resume->resumeReading(); });
    return static_cast<std::ptrdiff_t>(n);
}

bool HTTPTransaction::isComplete() const {
    std::lock_guard lock(mutex_);
    return complete_;
}

bool HTTPTransaction::atEnd() const {
    std::lock_guard lock(mutex_);
    return complete_ && tail_ == head_;
}

std::optional<Error> HTTPTransaction::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool HTTPTransaction::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool HTTPTransaction::wantsBody() const {
    std::lock_guard lock(mutex_);
    return options_.streamedBody && !bodyFinished_ && !error_ && !cancelled_ && !complete_ &&
           sendQueued_ < kSendHighWater;
}

void HTTPTransaction::appendBody(const std::uint8_t* bytes, std::size_t length) {
    if (length == 0) return;
    std::shared_ptr<HTTPConnection> wake;
    {
        std::lock_guard lock(mutex_);
        if (bodyFinished_ || cancelled_) return;
        sendQueue_.emplace_back(bytes, bytes + length);
        sendQueued_ += length;
        if (connectionWaitsForBody_) {
            connectionWaitsForBody_ = false;
            wake = connection_.lock();
        }
    }
    if (wake) boost::asio::post(core_->ioContext(), [wake]() { wake->sendBody(); });
}

void HTTPTransaction::finishBody() {
    std::shared_ptr<HTTPConnection> wake;
    {
        std::lock_guard lock(mutex_);
        if (bodyFinished_) return;
        bodyFinished_ = true;
        if (connectionWaitsForBody_) {
            connectionWaitsForBody_ = false;
            wake = connection_.lock();
        }
    }
    if (wake) boost::asio::post(core_->ioContext(), [wake]() { wake->sendBody(); });
}

void HTTPTransaction::failBody(const Error& error) {
    std::shared_ptr<HTTPConnection> connection;
    {
        std::lock_guard lock(mutex_);
        if (complete_ || error_ || cancelled_) return;
        bodyFinished_ = true;
        connection = connection_.lock();
        if (!connection) error_ = error;
    }
    auto id = identifier_;
    if (connection) {
        boost::asio::post(core_->ioContext(), [connection, id, error]() { connection->abortTransaction(id, error); });
    } else {
        boost::asio::post(core_->ioContext(), [self = shared_from_this()]() { self->notify(); });
    }
}

std::vector<std::uint8_t> HTTPTransaction::takeBody(std::size_t max, bool& finished, bool& waiting) {
    std::lock_guard lock(mutex_);
    std::vector<std::uint8_t> out;
    while (!sendQueue_.empty() && out.size() < max) {
        auto& front = sendQueue_.front();
        std::size_t n = std::min(max - out.size(), front.size());
        out.insert(out.end(), front.begin(), front.begin() + static_cast<std::ptrdiff_t>(n));
        if (n == front.size()) {
            sendQueue_.pop_front();
        } else {
            front.erase(front.begin(), front.begin() + static_cast<std::ptrdiff_t>(n));
        }
    }
    sendQueued_ -= out.size();
    finished = bodyFinished_ && sendQueue_.empty();
    waiting = out.empty() && !finished;
    if (waiting) connectionWaitsForBody_ = true;
    return out;
}

bool HTTPTransaction::hasQueuedBody() const {
    std::lock_guard lock(mutex_);
    return !sendQueue_.empty();
}

void HTTPTransaction::cancel() {
    std::shared_ptr<HTTPConnection> connection;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return;
        cancelled_ = true;
        if (complete_ || error_) return;
        connection = connection_.lock();
    }
    if (connection) {
        auto id = identifier_;
        boost::asio::post(core_->ioContext(), [connection, id]() { connection->abortTransaction(id, std::nullopt); });
    }
}

void HTTPTransaction::release(bool closeIdleConnection) {
    bool finished;
    std::uint64_t serial;
    {
        std::lock_guard lock(mutex_);
        if (released_) return;
        released_ = true;
        finished = complete_ || error_.has_value();
        serial = connectionSerial_;
    }
    if (!finished) return cancel();
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;  // no further notification
    }
    if (closeIdleConnection && serial) {
        auto core = core_;
        auto id = identifier_;
        boost::asio::post(core_->ioContext(), [core, id, serial]() { core->closeIdleConnectionOf(id, serial); });
    }
}

std::uint64_t HTTPTransaction::connectionSerial() const {
    std::lock_guard lock(mutex_);
    return connectionSerial_;
}

bool HTTPTransaction::connectionWasReused() const {
    std::lock_guard lock(mutex_);
    return reused_;
}

// --- I/O thread ---

void HTTPTransaction::notify() {
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return;
    }
    if (auto observer = observer_.lock()) observer->httpTransactionChanged(*this);
}

void HTTPTransaction::attach(const std::shared_ptr<HTTPConnection>& connection, bool reused) {
    std::lock_guard lock(mutex_);
    connection_ = connection;
    connectionSerial_ = connection->serial();
    reused_ = reused;
}

void HTTPTransaction::setResponse(std::shared_ptr<HTTPMessage> response) {
    std::lock_guard lock(mutex_);
    response_ = std::move(response);
}

bool HTTPTransaction::appendResponseBody(const char* bytes, std::size_t length) {
    std::lock_guard lock(mutex_);
    if (cancelled_ || length == 0) return false;
    if (ring_.empty()) ring_.resize(kReceiveCapacity);
    if (length > kReceiveCapacity - (tail_ - head_)) return false;  // cannot happen: reading pauses well before
    bool wasEmpty = tail_ == head_;
    std::size_t index = static_cast<std::size_t>(tail_ % kReceiveCapacity);
    std::size_t first = std::min(length, kReceiveCapacity - index);
    std::memcpy(ring_.data() + index, bytes, first);
    if (first < length) std::memcpy(ring_.data(), bytes + first, length - first);
    tail_ += length;
    return wasEmpty;
}

std::pair<std::uint8_t*, std::size_t> HTTPTransaction::receiveWindow(std::size_t max) {
    std::lock_guard lock(mutex_);
    if (ring_.empty()) ring_.resize(kReceiveCapacity);
    std::size_t free = kReceiveCapacity - static_cast<std::size_t>(tail_ - head_);
    std::size_t index = static_cast<std::size_t>(tail_ % kReceiveCapacity);
    return {ring_.data() + index, std::min({max, free, kReceiveCapacity - index})};
}

bool HTTPTransaction::commitReceived(std::size_t length) {
    std::lock_guard lock(mutex_);
    if (cancelled_ || length == 0) return false;
    bool wasEmpty = tail_ == head_;
    tail_ += length;
    return wasEmpty;
}

bool HTTPTransaction::shouldPauseReading() {
    std::lock_guard lock(mutex_);
    if (tail_ - head_ >= kReceiveHighWater) {
        readPaused_ = true;
        return true;
    }
    return false;
}

void HTTPTransaction::complete() {
    std::lock_guard lock(mutex_);
    if (!error_) complete_ = true;
}

void HTTPTransaction::fail(const Error& error) {
    std::lock_guard lock(mutex_);
    if (!complete_ && !error_) error_ = error;
}

bool HTTPTransaction::isFinished() const {
    std::lock_guard lock(mutex_);
    return complete_ || error_.has_value() || cancelled_;
}

}  // namespace clipora::platform
