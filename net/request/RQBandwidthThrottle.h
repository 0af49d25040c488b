#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/foundation/Date.h"
#include "platform/foundation/NotificationCenter.h"

namespace clipora {

class Reachability;

// The request engine's bandwidth accounting, shared by every request of the
// process (RQHTTPRequest's class operations forward here): bytes read and
// sent are counted in one-second windows by the process clock; with a limit
// set, a window that used more than the limit puts a wake-up time after its
// end, and requests sleep (their streams unscheduled) until then. The
// average of the last windows is kept for display.
//
// A limit of 0 means "not throttled", whatever the cellular-network flags
// say. Safe from any thread.
class RQBandwidthThrottle {
public:
    // A quarter of the WWAN default: 14800 bytes per second.
    static constexpr std::uint64_t kWWANDefaultLimit = 14800;

    static RQBandwidthThrottle& shared();

    RQBandwidthThrottle() = default;
    RQBandwidthThrottle(const RQBandwidthThrottle&) = delete;
    RQBandwidthThrottle& operator=(const RQBandwidthThrottle&) = delete;

    std::uint64_t maxBandwidthPerSecond() const;
    void setMaxBandwidthPerSecond(std::uint64_t bytes);

    void incrementBandwidthUsedInLastSecond(std::uint64_t bytes);
    // Whether reads and sends are limited now.
    bool isBandwidthThrottled() const;
    // Closes the window when it is over and sets the wake-up time when the
    // current window went over the limit.
    void measureBandwidthUsage();
    // How many body bytes an upload may read now (a quarter of the limit,
    // less when the window is nearly used up; 0 when it is).
    std::uint64_t maxUploadReadLength();
    // How many bytes a download may read now: 1 when the window is used up,
    // else a quarter of what is left, at most `bufferSize`, at least 1.
    std::uint64_t maxDownloadReadLength(std::uint64_t bufferSize) const;
    std::uint64_t averageBandwidthUsedPerSecond() const;

    std::optional<platform::Date> wakeUpTime() const;
    // The wake-up time is set and still ahead of the clock.
    bool isSleeping() const;

    // Cellular-only throttling: the limit applies while the device is on a
    // cellular network.
    void setWWANOnly(bool wwanOnly);
    bool isWWANOnly() const;
    void setWWANThrottled(bool throttled);
    bool isWWANThrottled() const;

    // Cellular-only throttling at `limit` bytes a second: follows the
    // internet connection's monitor (its notifier runs meanwhile, and each
    // "kReachabilityChangedNotification" sets the WWAN-throttled flag anew).
    void throttleForWWANUsingLimit(std::uint64_t limit);
    // Ends cellular-only throttling and any limit; stops following the
    // monitor.
    void stopWWANThrottling();
    // Whether the internet connection's monitor says "reachable via
    // cellular".
    bool isNetworkReachableViaWWAN();
    // Sets the WWAN-throttled flag from the monitor.
    void reachabilityChanged();

    // For tests and the benchmark: forgets every window, limit and flag.
    void reset();
    std::uint64_t bytesUsedInCurrentWindow() const;
    std::optional<platform::Date> windowEnd() const;
    std::size_t historyCount() const;

private:
    bool throttledLocked() const;
    void recordBandwidthUsageLocked(platform::Date now);

    mutable std::mutex mutex_;
    std::uint64_t limit_ = 0;
    std::uint64_t used_ = 0;
    std::optional<platform::Date> windowEnd_;
    std::optional<platform::Date> wakeUp_;
    std::deque<std::uint64_t> history_;
    std::uint64_t average_ = 0;
    bool wwanThrottled_ = false;
    bool wwanOnly_ = false;

    // The monitor followed for cellular-only throttling, and the observer
    // of its changes (under their own lock: the monitor calls back).
    std::mutex reachabilityMutex_;
    std::shared_ptr<Reachability> reachability_;
    std::optional<platform::NotificationCenter::ObserverId> reachabilityObserver_;
};

}  // namespace clipora
