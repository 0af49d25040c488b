#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include <sys/socket.h>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Object.h"
#include "platform/system/NetworkReachability.h"

namespace clipora {

// Posted on the main thread, with the monitor as object, after each change
// the running notifier of a monitor hears.
inline constexpr const char* kReachabilityChangedNotification = "kReachabilityChangedNotification";

enum class ReachabilityStatus : int { Unreachable = 0, ViaCellular = 1, ViaWiFi = 2 };

// Whether a host or an address can be reached and over which kind of link.
// The questions read the platform's flags afresh on any thread. Once its
// notifier runs, the monitor follows changes on a private serial queue: it
// calls the reachable or the unreachable block there, then posts
// kReachabilityChangedNotification on the main thread. A running notifier
// keeps its monitor alive until stopNotifier().
class Reachability : public platform::Object, public std::enable_shared_from_this<Reachability> {
public:
    using ReachabilityBlock = std::function<void(const std::shared_ptr<Reachability>& reachability)>;
    using Flags = platform::NetworkReachability::Flags;

    // Each answers a new monitor, or null when the platform refuses the target.
    static std::shared_ptr<Reachability> reachabilityWithHostname(std::string_view hostName);
    static std::shared_ptr<Reachability> reachabilityWithAddress(const sockaddr* address);
    // The default route (0.0.0.0).
    static std::shared_ptr<Reachability> reachabilityForInternetConnection();
    // The link-local network (169.254.0.0).
    static std::shared_ptr<Reachability> reachabilityForLocalWiFi();
    // Takes the target over; null for a null target.
    static std::shared_ptr<Reachability> initWithReachabilityRef(std::shared_ptr<platform::NetworkReachability> ref);

    ~Reachability() override;

    // --- Notifier ---
    // Installs the callback on a new private serial queue; false when that
    // fails. The monitor references itself from here until stopNotifier(),
    // also after a failure.
    bool startNotifier();
    // Removes the callback and the queue and drops the self-reference.
    // Harmless on a monitor that never started.
    void stopNotifier();
    // The change handler (on the private queue).
    void reachabilityChanged(Flags flags);

    // --- Questions (NO, 0 or empty when the flags cannot be read) ---
    bool isReachable() const;
    bool isReachableViaWWAN() const;
    bool isReachableViaWiFi() const;
    bool connectionRequired() const;
    bool isConnectionRequired() const { return connectionRequired(); }
    bool isConnectionOnDemand() const;
    bool isInterventionRequired() const;
    ReachabilityStatus currentReachabilityStatus() const;
    Flags reachabilityFlags() const;
    // "Cellular", "WiFi" or "No Connection".
    std::string currentReachabilityString() const;
    // "WR -------" style: one letter per flag (W R c t i C D l d), "-" when
    // clear, a blank after the second.
    std::string currentReachabilityFlags() const;

    // --- Properties ---
    bool reachableOnWWAN() const;
    void setReachableOnWWAN(bool reachable);
    ReachabilityBlock reachableBlock() const;
    void setReachableBlock(ReachabilityBlock block);
    ReachabilityBlock unreachableBlock() const;
    void setUnreachableBlock(ReachabilityBlock block);
    const std::shared_ptr<platform::NetworkReachability>& reachabilityRef() const { return reachabilityRef_; }
    std::shared_ptr<platform::DispatchQueue> reachabilitySerialQueue() const;
    bool isNotifierRunning() const;

    std::string description() const override;

    struct Passkey {};
    Reachability(Passkey, std::shared_ptr<platform::NetworkReachability> ref);

private:
    // Whether the flags say reachable, with reachableOnWWAN applied.
    bool isReachableWithFlags(Flags flags) const;

    const std::shared_ptr<platform::NetworkReachability> reachabilityRef_;
    mutable std::mutex mutex_;
    std::shared_ptr<platform::DispatchQueue> reachabilitySerialQueue_;
    bool reachableOnWWAN_ = true;
    ReachabilityBlock reachableBlock_;
    ReachabilityBlock unreachableBlock_;
    std::shared_ptr<Reachability> reachabilityObject_;
};

}  // namespace clipora
