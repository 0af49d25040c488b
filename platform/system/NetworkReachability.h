#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/foundation/DispatchQueue.h"

namespace clipora::platform {

// Whether a host or an address can be reached and over what kind of link:
// the platform's network-reachability target. Flags are derived from the
// machine's interfaces and routes:
//  - loopback addresses, "localhost" and host names that the HTTP core's
//    resolver override maps to loopback: reachable, local address, direct;
//  - link-local addresses (169.254.0.0/16, fe80::/10): reachable and direct
//    when an interface other than loopback is up with an address;
//  - everything else (the "internet connection" target 0.0.0.0 among
//    them): reachable when a default route leaves through an interface
//    that is up. Never WWAN: this machine has no cellular link.
// Host names are not looked up (that could block); a name is as reachable as
// the internet is.
//
// Tests set the flags instead (setFlagsOverride), which fires the change
// callbacks like a real change would.
//
// Changes are delivered to a callback on a dispatch queue the caller
// attaches (setCallback + setDispatchQueue); a watcher thread follows the
// kernel's route and link events while any target has both.
class NetworkReachability : public std::enable_shared_from_this<NetworkReachability> {
public:
    using Flags = std::uint32_t;
    // Published flag values.
    static constexpr Flags kTransientConnection = 1u << 0;
    static constexpr Flags kReachable = 1u << 1;
    static constexpr Flags kConnectionRequired = 1u << 2;
    static constexpr Flags kConnectionOnTraffic = 1u << 3;
    static constexpr Flags kInterventionRequired = 1u << 4;
    static constexpr Flags kConnectionOnDemand = 1u << 5;
    static constexpr Flags kIsLocalAddress = 1u << 16;
    static constexpr Flags kIsDirect = 1u << 17;
    static constexpr Flags kIsWWAN = 1u << 18;

    // Called on the attached queue with the target and its new flags.
    using Callback = std::function<void(NetworkReachability& target, Flags flags)>;

    // A target for a host name (UTF-8) or a numeric address in text; null
    // for an empty name.
    static std::shared_ptr<NetworkReachability> withName(std::string_view hostName);
    // A target for an IPv4 or IPv6 socket address; null for another family.
    static std::shared_ptr<NetworkReachability> withAddress(const sockaddr* address);
    // The "internet connection" target (0.0.0.0).
    static std::shared_ptr<NetworkReachability> forInternetConnection();

    ~NetworkReachability();
    NetworkReachability(const NetworkReachability&) = delete;
    NetworkReachability& operator=(const NetworkReachability&) = delete;

    // The current flags, read afresh; none when they cannot be read.
    std::optional<Flags> flags() const;

    // Installs (or, with an empty callback, removes) the change callback.
    bool setCallback(Callback callback);
    // Attaches the queue the callback runs on (null detaches). False when
    // the queue is not a serial queue.
    bool setDispatchQueue(std::shared_ptr<DispatchQueue> queue);

    // The name or address text the target was made for.
    const std::string& targetDescription() const { return description_; }

    // --- Test control ---
    // Replaces the flags of every target but the local ones (loopback and
    // names mapped to loopback), or ends that with std::nullopt. Targets
    // whose flags change hear their callback.
    static void setFlagsOverride(std::optional<Flags> flags);
    // Replaces the flags of the targets made for that host name (any case),
    // local ones included; wins over the override above.
    static void setFlagsOverride(const std::string& hostName, std::optional<Flags> flags);
    static void clearFlagsOverrides();
    // Re-reads the machine's state now and tells every watched target whose
    // flags changed (the watcher thread does this by itself).
    static void refresh();

    // Whether a host, a name or text of an address, is served on this
    // machine (loopback, "localhost", or mapped to loopback by the
    // resolver override): such a target never depends on the network.
    static bool isLocalHost(std::string_view host);

private:
    enum class Kind { Name, Address };
    struct Passkey {};

public:
    NetworkReachability(Passkey, Kind kind, std::string description, sockaddr_storage address);

private:
    friend struct ReachabilityMonitor;

    Flags systemFlags() const;
    std::optional<Flags> currentFlags() const;
    bool isWatched() const;
    // Compares with the flags last told and, on a change, queues the callback.
    void deliverIfChanged();

    const Kind kind_;
    const std::string description_;
    const sockaddr_storage address_{};  // for Kind::Address
    mutable std::mutex mutex_;
    Callback callback_;
    std::shared_ptr<DispatchQueue> queue_;
    std::optional<Flags> lastTold_;
};

}  // namespace clipora::platform
