#include "net/request/RQConnectionPool.h"

#include <algorithm>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Application.h"

namespace clipora {

using platform::Date;
using platform::RunLoop;

namespace {

void setIndicatorVisible(bool visible) {
    platform::Application::sharedApplication()->setNetworkActivityIndicatorVisible(visible);
}

}  // namespace

bool RQConnectionPool::Key::matches(const Record& record) const {
    return record.host == host && record.scheme == scheme && record.port == port &&
           record.validatesSecureCertificate == validatesSecureCertificate && record.clientIdentity == clientIdentity &&
           record.proxyHost == proxyHost && record.proxyPort == proxyPort && record.proxyType == proxyType;
}

RQConnectionPool& RQConnectionPool::shared() {
    // Never destroyed: the network thread may still use it while the
    // process exits.
    static RQConnectionPool* pool = new RQConnectionPool;
    return *pool;
}

RQConnectionPool::Attachment RQConnectionPool::attach(const Key& key, std::shared_ptr<Record> current,
                                                      std::optional<std::uint64_t> requestNumber,
                                                      const std::shared_ptr<platform::HTTPReadStream>& stream) {
    std::lock_guard lock(mutex_);
    Attachment result;
    auto record = std::move(current);
    if (record) {
        const bool expired = record->expires && *record->expires < Date::now();
        const bool ours = !record->request || (requestNumber && *record->request == *requestNumber);
        if (!key.matches(*record) || expired || !ours) {
            if (key.matches(*record) && expired) std::erase(records_, record);
            record.reset();
        }
    }
    if (!record) {
        for (const auto& candidate : records_) {
            if (!candidate->request && key.matches(*candidate)) record = candidate;
        }
    }
    if (record && record->stream) result.previousStream = record->stream;
    if (!record) {
        record = std::make_shared<Record>();
        record->id = ++nextConnectionNumber_;
        record->host = key.host;
        record->port = key.port;
        record->scheme = key.scheme;
        record->validatesSecureCertificate = key.validatesSecureCertificate;
        record->clientIdentity = key.clientIdentity;
        record->proxyHost = key.proxyHost;
        record->proxyPort = key.proxyPort;
        record->proxyType = key.proxyType;
        records_.push_back(record);
    }
    result.requestNumber = requestNumber ? *requestNumber : ++nextRequestNumber_;
    record->request = result.requestNumber;
    record->stream = stream;
    stream->setPersistentConnection(true);
    stream->setProperty(std::string(kStreamIDProperty), platform::Value(record->id));
    result.record = std::move(record);
    return result;
}

void RQConnectionPool::release(const std::shared_ptr<Record>& record, Date expires, bool keepStream) {
    if (!record) return;
    std::lock_guard lock(mutex_);
    record->request.reset();
    record->expires = expires;
    if (!keepStream) record->stream.reset();
}

void RQConnectionPool::setExpiry(const std::shared_ptr<Record>& record, Date expires) {
    if (!record) return;
    std::lock_guard lock(mutex_);
    record->expires = expires;
}

void RQConnectionPool::discard(const std::shared_ptr<Record>& record) {
    if (!record) return;
    std::lock_guard lock(mutex_);
    record->request.reset();
    std::erase(records_, record);
}

void RQConnectionPool::expire() {
    std::lock_guard lock(mutex_);
    const Date now = Date::now();
    std::erase_if(records_, [&now](const std::shared_ptr<Record>& record) {
        if (record->request || (record->expires && *record->expires > now)) return false;
        if (record->stream) record->stream->close();
        return true;
    });
}

std::size_t RQConnectionPool::size() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

void RQConnectionPool::streamScheduled() {
    std::lock_guard lock(mutex_);
    ++runningStreams_;
    if (shouldUpdateNetworkActivityIndicator_) setIndicatorVisible(true);
}

void RQConnectionPool::streamUnscheduled(bool updateIndicator) {
    std::lock_guard lock(mutex_);
    --runningStreams_;
    if (!updateIndicator || !shouldUpdateNetworkActivityIndicator_ || runningStreams_ != 0) return;
    platform::Thread::performOnMainThread(
        [this] { RunLoop::current()->performAfterDelay(0.5, [this] { hideNetworkActivityIndicatorIfNeeded(); }); },
        RunLoop::isMainThread());
}

bool RQConnectionPool::isNetworkInUse() const {
    std::lock_guard lock(mutex_);
    return runningStreams_ != 0;
}

void RQConnectionPool::setShouldUpdateNetworkActivityIndicator(bool value) {
    std::lock_guard lock(mutex_);
    shouldUpdateNetworkActivityIndicator_ = value;
}

void RQConnectionPool::hideNetworkActivityIndicatorIfNeeded() const {
    std::lock_guard lock(mutex_);
    if (runningStreams_ == 0) setIndicatorVisible(false);
}

void RQConnectionPool::reset() {
    std::lock_guard lock(mutex_);
    for (auto& record : records_) {
        if (record->stream && !record->request) record->stream->close();
    }
    records_.clear();
    shouldUpdateNetworkActivityIndicator_ = true;
}

}  // namespace clipora
