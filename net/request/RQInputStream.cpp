#include "net/request/RQInputStream.h"

#include <algorithm>
#include <mutex>

#include "net/request/RQBandwidthThrottle.h"

namespace clipora {

namespace {

// One lock for all body streams: two uploads never take the same allowance.
std::mutex& readLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

std::shared_ptr<RQInputStream> RQInputStream::inputStreamWithFileAtPathRequest(
    const std::string& path, const std::shared_ptr<RQInputStreamOwner>& request) {
    return std::make_shared<RQInputStream>(platform::InputStream::withFile(path), request);
}

std::shared_ptr<RQInputStream> RQInputStream::inputStreamWithDataRequest(
    platform::Data data, const std::shared_ptr<RQInputStreamOwner>& request) {
    return std::make_shared<RQInputStream>(platform::InputStream::withData(std::move(data)), request);
}

RQInputStream::RQInputStream(std::shared_ptr<platform::InputStream> stream, std::weak_ptr<RQInputStreamOwner> request)
    : stream_(std::move(stream)), request_(std::move(request)) {}

RQInputStream::~RQInputStream() {
    if (stream_) stream_->close();
}

void RQInputStream::mirrorStatus() {
    if (auto failure = stream_->error(); failure && status() != Status::Error) {
        fail(*failure);
        return;
    }
    if (status() != Status::Error) setStatus(stream_->status());
}

void RQInputStream::open() {
    stream_->open();
    mirrorStatus();
}

void RQInputStream::close() {
    stream_->close();
    if (status() != Status::Error) setStatus(Status::Closed);
}

std::int64_t RQInputStream::read(std::uint8_t* buffer, std::size_t maxLength) {
    std::size_t length = maxLength;
    auto owner = request_.lock();
    {
        std::lock_guard lock(readLock());
        auto& throttle = RQBandwidthThrottle::shared();
        if (throttle.isBandwidthThrottled()) {
            const std::uint64_t allowance = throttle.maxUploadReadLength();
            if (allowance <= length) length = allowance == 0 ? 1 : static_cast<std::size_t>(allowance);
            if (owner) owner->performThrottling();
        }
        throttle.incrementBandwidthUsedInLastSecond(length);
    }
    const std::int64_t got = stream_->read(buffer, length);
    mirrorStatus();
    return got;
}

bool RQInputStream::hasBytesAvailable() const { return stream_->hasBytesAvailable(); }

}  // namespace clipora
