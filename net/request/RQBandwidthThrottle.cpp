#include "net/request/RQBandwidthThrottle.h"

#include "net/reachability/Reachability.h"

#include <algorithm>
#include <numeric>

namespace clipora {

using platform::Date;

RQBandwidthThrottle& RQBandwidthThrottle::shared() {
    // Never destroyed: the network thread measures and throttles through it,
    // also while statics are destroyed at exit.
    static RQBandwidthThrottle& instance = *new RQBandwidthThrottle;
    return instance;
}

std::uint64_t RQBandwidthThrottle::maxBandwidthPerSecond() const {
    std::lock_guard lock(mutex_);
    return limit_;
}

void RQBandwidthThrottle::setMaxBandwidthPerSecond(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    limit_ = bytes;
}

void RQBandwidthThrottle::incrementBandwidthUsedInLastSecond(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    used_ += bytes;
}

bool RQBandwidthThrottle::throttledLocked() const {
    // Without a limit there is nothing to throttle to; dividing by it would
    // put the wake-up time at infinity.
    if (limit_ == 0) return false;
    return wwanThrottled_ || !wwanOnly_;
}

bool RQBandwidthThrottle::isBandwidthThrottled() const {
    std::lock_guard lock(mutex_);
    return throttledLocked();
}

void RQBandwidthThrottle::measureBandwidthUsage() {
    std::lock_guard lock(mutex_);
    const Date now = Date::now();
    if (!windowEnd_ || *windowEnd_ < now) recordBandwidthUsageLocked(now);
    if (!throttledLocked()) return;
    if (used_ > limit_) {
        const double over = static_cast<double>(used_ - limit_) / static_cast<double>(limit_);
        wakeUp_ = windowEnd_->addingTimeInterval(over);
    }
}

void RQBandwidthThrottle::recordBandwidthUsageLocked(Date now) {
    if (used_ == 0) {
        history_.clear();
    } else {
        double d = windowEnd_ ? windowEnd_->timeIntervalSince(now) : 0.0;
        // One sample leaves per started second that passed since the window
        // ended; at most five stay before the new one.
        while (!history_.empty() && (d < 0 || history_.size() >= 6)) {
            history_.pop_front();
            d += 1.0;
        }
    }
    history_.push_back(used_);
    windowEnd_ = now.addingTimeInterval(1.0);
    used_ = 0;
    const std::uint64_t sum = std::accumulate(history_.begin(), history_.end(), std::uint64_t{0});
    average_ = sum / history_.size();
}

std::uint64_t RQBandwidthThrottle::maxUploadReadLength() {
    std::lock_guard lock(mutex_);
    std::uint64_t allowance = limit_ / 4;
    if (limit_ != 0 && used_ + allowance > limit_) allowance = used_ >= limit_ ? 0 : limit_ - used_;
    const Date now = Date::now();
    if (allowance == 0 || !windowEnd_ || *windowEnd_ < now) wakeUp_ = windowEnd_;
    return allowance;
}

std::uint64_t RQBandwidthThrottle::maxDownloadReadLength(std::uint64_t bufferSize) const {
    std::lock_guard lock(mutex_);
    if (limit_ == 0) return bufferSize;
    std::uint64_t size;
    if (used_ > limit_) {
        size = 1;
    } else {
        size = std::min((limit_ - used_) / 4, bufferSize);
    }
    return size == 0 ? 1 : size;
}

std::uint64_t RQBandwidthThrottle::averageBandwidthUsedPerSecond() const {
    std::lock_guard lock(mutex_);
    return average_;
}

std::optional<Date> RQBandwidthThrottle::wakeUpTime() const {
    std::lock_guard lock(mutex_);
    return wakeUp_;
}

bool RQBandwidthThrottle::isSleeping() const {
    std::lock_guard lock(mutex_);
    return wakeUp_ && *wakeUp_ > Date::now();
}

void RQBandwidthThrottle::setWWANOnly(bool wwanOnly) {
    std::lock_guard lock(mutex_);
    wwanOnly_ = wwanOnly;
}

bool RQBandwidthThrottle::isWWANOnly() const {
    std::lock_guard lock(mutex_);
    return wwanOnly_;
}

void RQBandwidthThrottle::setWWANThrottled(bool throttled) {
    std::lock_guard lock(mutex_);
    wwanThrottled_ = throttled;
}

bool RQBandwidthThrottle::isWWANThrottled() const {
    std::lock_guard lock(mutex_);
    return wwanThrottled_;
}

void RQBandwidthThrottle::reset() {
    std::lock_guard lock(mutex_);
    limit_ = 0;
    used_ = 0;
    windowEnd_.reset();
    wakeUp_.reset();
    history_.clear();
    average_ = 0;
    wwanThrottled_ = false;
    wwanOnly_ = false;
}

std::uint64_t RQBandwidthThrottle::bytesUsedInCurrentWindow() const {
    std::lock_guard lock(mutex_);
    return used_;
}

std::optional<Date> RQBandwidthThrottle::windowEnd() const {
    std::lock_guard lock(mutex_);
    return windowEnd_;
}

std::size_t RQBandwidthThrottle::historyCount() const {
    std::lock_guard lock(mutex_);
    return history_.size();
}

void RQBandwidthThrottle::throttleForWWANUsingLimit(std::uint64_t limit) {
    setWWANOnly(true);
    setMaxBandwidthPerSecond(limit);
    {
        std::lock_guard lock(reachabilityMutex_);
        if (!reachability_) reachability_ = Reachability::reachabilityForInternetConnection();
        // The monitor posts its changes only while its notifier runs.
        if (reachability_ && !reachability_->isNotifierRunning()) reachability_->startNotifier();
        if (!reachabilityObserver_) {
            reachabilityObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
                kReachabilityChangedNotification, [this](const platform::Notification&) { reachabilityChanged(); });
        }
    }
    reachabilityChanged();
}

void RQBandwidthThrottle::stopWWANThrottling() {
    {
        std::lock_guard lock(reachabilityMutex_);
        if (reachabilityObserver_) {
            platform::NotificationCenter::defaultCenter().removeObserver(*reachabilityObserver_);
            reachabilityObserver_.reset();
        }
        if (reachability_) reachability_->stopNotifier();
    }
    setMaxBandwidthPerSecond(0);
    setWWANOnly(false);
    setWWANThrottled(false);
}

bool RQBandwidthThrottle::isNetworkReachableViaWWAN() {
    std::shared_ptr<Reachability> reachability;
    {
        std::lock_guard lock(reachabilityMutex_);
        if (!reachability_) reachability_ = Reachability::reachabilityForInternetConnection();
        reachability = reachability_;
    }
    return reachability && reachability->currentReachabilityStatus() == ReachabilityStatus::ViaCellular;
}

void RQBandwidthThrottle::reachabilityChanged() { setWWANThrottled(isNetworkReachableViaWWAN()); }

}  // namespace clipora
