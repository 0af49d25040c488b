#include "platform/cfnetwork/HTTPReadStream.h"

#include "platform/cfnetwork/HTTPAuthentication.h"

#include <algorithm>

#include "platform/cfnetwork/HTTPClientCore.h"
#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/RunLoopSource.h"

namespace clipora::platform {

namespace {

constexpr std::size_t kBodyReadSize = 32 * 1024;

HTTPProxy proxy(const std::string& host, std::uint16_t port, HTTPProxy::Type type) {
    HTTPProxy p;
    p.type = type;
    p.host = host;
    p.port = port;
    return p;
}

}  // namespace

HTTPReadStream::HTTPReadStream(std::shared_ptr<HTTPMessage> request, std::shared_ptr<InputStream> body)
    : request_(std::move(request)), body_(std::move(body)) {}

std::shared_ptr<HTTPReadStream> HTTPReadStream::create(std::shared_ptr<HTTPMessage> request) {
    return create(std::move(request), nullptr);
}

std::shared_ptr<HTTPReadStream> HTTPReadStream::create(std::shared_ptr<HTTPMessage> request,
                                                       std::shared_ptr<InputStream> body) {
    if (!request || !request->isRequest()) return nullptr;
    auto stream = std::shared_ptr<HTTPReadStream>(new HTTPReadStream(std::move(request), std::move(body)));
    std::weak_ptr<HTTPReadStream> weak = stream;
    stream->source_ = RunLoopSource::create([weak]() {
        if (auto s = weak.lock()) s->deliver();
    });
    return stream;
}

HTTPReadStream::~HTTPReadStream() {
    source_->invalidate();
    if (transaction_) transaction_->release(true);
    if (bodyOpen_ && !bodyDone_) body_->close();
}

// --- Properties ---

void HTTPReadStream::setSSLSettings(SSLSettings settings) {
    std::lock_guard lock(mutex_);
    ssl_ = std::move(settings);
}

HTTPReadStream::SSLSettings HTTPReadStream::sslSettings() const {
    std::lock_guard lock(mutex_);
    return ssl_;
}

void HTTPReadStream::setHTTPProxy(const std::string& host, std::uint16_t port) {
    std::lock_guard lock(mutex_);
    httpProxy_ = proxy(host, port, HTTPProxy::Type::HTTP);
}

void HTTPReadStream::setHTTPSProxy(const std::string& host, std::uint16_t port) {
    std::lock_guard lock(mutex_);
    httpsProxy_ = proxy(host, port, HTTPProxy::Type::HTTP);
}

void HTTPReadStream::setSOCKSProxy(const std::string& host, std::uint16_t port) {
    std::lock_guard lock(mutex_);
    socksProxy_ = proxy(host, port, HTTPProxy::Type::SOCKS);
}

void HTTPReadStream::setPersistentConnection(bool persistent) {
    std::lock_guard lock(mutex_);
    persistent_ = persistent;
}

bool HTTPReadStream::persistentConnection() const {
    std::lock_guard lock(mutex_);
    return persistent_;
}

void HTTPReadStream::setProperty(const std::string& key, Value value) {
    std::lock_guard lock(mutex_);
    if (value.isNull()) {
        custom_.erase(key);
    } else {
        custom_[key] = std::move(value);
    }
}

Value HTTPReadStream::property(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = custom_.find(key);
    return it == custom_.end() ? Value() : it->second;
}

std::string HTTPReadStream::connectionGroup() const {
    std::string group;
    for (const auto& [key, value] : custom_) group += key + "=" + value.description() + ";";
    return group;
}

std::shared_ptr<HTTPMessage> HTTPReadStream::responseHeader() const {
    std::lock_guard lock(mutex_);
    return transaction_ ? transaction_->response() : nullptr;
}

std::uint64_t HTTPReadStream::requestBytesWritten() const {
    std::lock_guard lock(mutex_);
    return transaction_ ? transaction_->requestBodyBytesWritten() : 0;
}

// --- Life ---

bool HTTPReadStream::open() {
    HTTPTransactionOptions options;
    {
        std::lock_guard lock(mutex_);
        if (status_ != Status::NotOpen) return false;
        options.validatesCertificateChain = ssl_.validatesCertificateChain;
        options.clientIdentity = ssl_.identity;
        if (ssl_.identity && !ssl_.extraCertificates.empty()) {
            options.clientIdentity = ssl_.identity->withChainCertificates(ssl_.extraCertificates);
        }
        if (!socksProxy_.isNone()) {
            options.proxy = socksProxy_;
        } else {
            options.proxy = request_->isSecure() ? httpsProxy_ : httpProxy_;
        }
        options.persistentConnection = persistent_;
        options.connectionGroup = connectionGroup();
        options.streamedBody = body_ != nullptr;
        status_ = Status::Opening;
    }
    if (body_) {
        body_->open();
        if (body_->status() == Stream::Status::Error) {
            std::lock_guard lock(mutex_);
            status_ = Status::Error;
            error_ = body_->error().value_or(
                HTTPStreamError::network(HTTPStreamError::kBadURL, "The request body could not be opened"));
            return false;
        }
        bodyOpen_ = true;
    }
    auto transaction = HTTPClientCore::shared()->start(request_, std::move(options),
                                                       std::weak_ptr<HTTPTransactionObserver>(shared_from_this()));
    std::lock_guard lock(mutex_);
    if (!transaction) {
        status_ = Status::Error;
        error_ = HTTPStreamError::network(HTTPStreamError::kBadURL, "The request cannot be sent");
        return false;
    }
    transaction_ = std::move(transaction);
    status_ = Status::Open;
    return true;
}

void HTTPReadStream::close() {
    std::vector<Schedule> schedules;
    std::shared_ptr<HTTPTransaction> transaction;
    {
        std::lock_guard lock(mutex_);
        if (status_ == Status::Closed) return;
        status_ = Status::Closed;
        schedules = std::move(schedules_);
        schedules_.clear();
        client_ = nullptr;
        transaction = transaction_;
    }
    for (const auto& s : schedules) {
        if (auto loop = s.loop.lock()) loop->removeSource(source_, s.mode);
    }
    if (transaction) transaction->release(true);
    if (bodyOpen_ && !bodyDone_) {
        bodyDone_ = true;
        body_->close();
    }
}

HTTPReadStream::Status HTTPReadStream::status() const {
    std::lock_guard lock(mutex_);
    if (status_ != Status::Open || !transaction_) return status_;
    if (transaction_->bytesAvailable() > 0) return Status::Open;
    if (transaction_->error()) return Status::Error;
    // Not isComplete(): bytes that came with the end may have landed since
    // the first look, and the stream is not at its end before they are read.
    if (transaction_->atEnd()) return Status::AtEnd;
    return Status::Open;
}

std::optional<Error> HTTPReadStream::error() const {
    std::lock_guard lock(mutex_);
    if (error_) return error_;
    return transaction_ ? transaction_->error() : std::nullopt;
}

bool HTTPReadStream::setClient(unsigned eventMask, ClientCallback callback) {
    std::lock_guard lock(mutex_);
    eventMask_ = callback ? eventMask : 0;
    client_ = std::move(callback);
    return true;
}

void HTTPReadStream::scheduleInRunLoop(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode) {
    if (!runLoop) return;
    {
        std::lock_guard lock(mutex_);
        if (status_ == Status::Closed) return;
        bool known = std::any_of(schedules_.begin(), schedules_.end(),
                                 [&](const Schedule& s) { return s.loop.lock() == runLoop && s.mode == mode; });
        if (known) return;
        schedules_.push_back(Schedule{runLoop, mode});
    }
    runLoop->addSource(source_, mode);
    signal();  // whatever arrived while unscheduled
}

void HTTPReadStream::unscheduleFromRunLoop(const std::shared_ptr<RunLoop>& runLoop, const std::string& mode) {
    if (!runLoop) return;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(schedules_.begin(), schedules_.end(),
                               [&](const Schedule& s) { return s.loop.lock() == runLoop && s.mode == mode; });
        if (it == schedules_.end()) return;
        schedules_.erase(it);
    }
    runLoop->removeSource(source_, mode);
}

bool HTTPReadStream::isScheduled() const {
    std::lock_guard lock(mutex_);
    return !schedules_.empty();
}

std::int64_t HTTPReadStream::read(std::uint8_t* buffer, std::size_t maxLength) {
    std::shared_ptr<HTTPTransaction> transaction;
    {
        std::lock_guard lock(mutex_);
        if (status_ != Status::Open || !transaction_) return status_ == Status::AtEnd ? 0 : -1;
        transaction = transaction_;
    }
    std::ptrdiff_t n = transaction->read(buffer, maxLength);
    if (n < 0) return -1;
    if (transaction->bytesAvailable() > 0 || transaction->isComplete() || transaction->error()) signal();
    return n;
}

bool HTTPReadStream::hasBytesAvailable() const {
    std::lock_guard lock(mutex_);
    return transaction_ && transaction_->bytesAvailable() > 0;
}

std::uint64_t HTTPReadStream::connectionSerial() const {
    std::lock_guard lock(mutex_);
    return transaction_ ? transaction_->connectionSerial() : 0;
}

bool HTTPReadStream::connectionWasReused() const {
    std::lock_guard lock(mutex_);
    return transaction_ && transaction_->connectionWasReused();
}

// --- Events ---

void HTTPReadStream::httpTransactionChanged(HTTPTransaction&) { signal(); }

void HTTPReadStream::signal() { source_->signal(); }

void HTTPReadStream::pullBody() {
    std::shared_ptr<HTTPTransaction> transaction;
    {
        std::lock_guard lock(mutex_);
        if (!body_ || !bodyOpen_ || bodyDone_ || !transaction_ || schedules_.empty()) return;
        transaction = transaction_;
    }
    std::vector<std::uint8_t> buffer(kBodyReadSize);
    // The body stream may run its owner's code (throttling), which can
    // unschedule this stream: check again before every read.
    while (isScheduled() && !bodyDone_ && transaction->wantsBody()) {
        std::int64_t n = body_->read(buffer.data(), buffer.size());
        if (n > 0) {
            transaction->appendBody(buffer.data(), static_cast<std::size_t>(n));
        } else if (n == 0) {
            bodyDone_ = true;
            transaction->finishBody();
            body_->close();
        } else {
            bodyDone_ = true;
            transaction->failBody(body_->error().value_or(
                HTTPStreamError::posix(HTTPStreamError::kBrokenPipe, "The request body could not be read")));
            body_->close();
        }
    }
}

void HTTPReadStream::deliver() {
    auto self = shared_from_this();
    std::shared_ptr<HTTPTransaction> transaction;
    {
        std::lock_guard lock(mutex_);
        if (status_ != Status::Open || !transaction_ || schedules_.empty()) return;
        transaction = transaction_;
    }
    pullBody();
    // Authentication objects that signed this request learn of the answer
    // once, so a refused credential turns its object invalid.
    if (!responseNoted_) {
        if (auto response = transaction->response()) {
            responseNoted_ = true;
            HTTPAuthentication::noteResponse(request_, *response);
        }
    }
    unsigned event = kEventNone;
    ClientCallback client;
    {
        std::lock_guard lock(mutex_);
        if (status_ != Status::Open || schedules_.empty()) return;
        if (transaction->bytesAvailable() > 0) {
            event = kEventHasBytesAvailable;
        } else if (auto error = transaction->error()) {
            if (errorDelivered_) return;
            errorDelivered_ = true;
            event = kEventErrorOccurred;
        } else if (transaction->atEnd()) {
            // Complete with nothing left unread, in one look: the last
            // bytes may come with the end, after the first look found none.
            if (endDelivered_) return;
            endDelivered_ = true;
            event = kEventEndEncountered;
        } else if (transaction->bytesAvailable() > 0) {
            event = kEventHasBytesAvailable;
        } else {
            return;
        }
        if (!(eventMask_ & event) || !client_) return;
        client = client_;
    }
    client(*this, event);
}

}  // namespace clipora::platform
