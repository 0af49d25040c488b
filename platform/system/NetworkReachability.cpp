#include "platform/system/NetworkReachability.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/system/HostTable.h"

namespace clipora::platform {

namespace {

constexpr NetworkReachability::Flags kLocalFlags =
    NetworkReachability::kReachable | NetworkReachability::kIsLocalAddress | NetworkReachability::kIsDirect;

bool isLoopbackAddress(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        return (ntohl(in.sin_addr.s_addr) >> 24) == 127;
    }
    if (address.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        return IN6_IS_ADDR_LOOPBACK(&in6.sin6_addr) ||
               (IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr) && in6.sin6_addr.s6_addr[12] == 127);
    }
    return false;
}

bool isLinkLocalAddress(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        return (ntohl(in.sin_addr.s_addr) >> 16) == 0xA9FE;  // 169.254.0.0/16
    }
    if (address.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        return IN6_IS_ADDR_LINKLOCAL(&in6.sin6_addr);
    }
    return false;
}

std::optional<sockaddr_storage> parseAddress(std::string_view text) {
    std::string host(text);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    sockaddr_storage storage{};
    auto* in = reinterpret_cast<sockaddr_in*>(&storage);
    if (inet_pton(AF_INET, host.c_str(), &in->sin_addr) == 1) {
        in->sin_family = AF_INET;
        return storage;
    }
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET6, host.c_str(), &in6->sin6_addr) == 1) {
        in6->sin6_family = AF_INET6;
        return storage;
    }
    return std::nullopt;
}

// The machine's links: which interfaces are up (and not loopback) with an
// address, and whether a default route leaves through one of them.
struct LinkState {
    bool hasActiveInterface = false;
    bool hasDefaultRoute = false;
};

LinkState readLinkState() {
    LinkState state;
    std::set<std::string> upInterfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (ifaddrs* item = list; item; item = item->ifa_next) {
            if (!item->ifa_name || (item->ifa_flags & IFF_LOOPBACK) || !(item->ifa_flags & IFF_UP) ||
                !(item->ifa_flags & IFF_RUNNING))
                continue;
            upInterfaces.insert(item->ifa_name);
            if (item->ifa_addr && (item->ifa_addr->sa_family == AF_INET || item->ifa_addr->sa_family == AF_INET6))
                state.hasActiveInterface = true;
        }
        freeifaddrs(list);
    }
    // IPv4: "Iface Destination Gateway Flags ..." in hexadecimal.
    std::ifstream route("/proc/net/route");
    std::string line;
    std::getline(route, line);  // header
    while (std::getline(route, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags;
        if (!(fields >> iface >> destination >> gateway >> flags)) continue;
        auto flagBits = Text::parseHex(flags);
        if (destination == "00000000" && flagBits && (*flagBits & 0x1 /* RTF_UP */) && upInterfaces.count(iface))
            state.hasDefaultRoute = true;
    }
    // IPv6: destination, prefix length, ..., flags, interface name last.
    std::ifstream route6("/proc/net/ipv6_route");
    while (std::getline(route6, line)) {
        std::istringstream fields(line);
        std::vector<std::string> parts;
        for (std::string part; fields >> part;) parts.push_back(part);
        if (parts.size() < 10) continue;
        auto flagBits = Text::parseHex(parts[8]);
        if (parts[0] == std::string(32, '0') && parts[1] == "00" && flagBits && (*flagBits & 0x1) &&
            upInterfaces.count(parts[9]))
            state.hasDefaultRoute = true;
    }
    return state;
}

}  // namespace

// Process-wide state: the test overrides, the watched targets and the
// watcher thread. Made once and never destroyed, so that a watcher still
// running while the process exits never meets a destroyed object.
struct ReachabilityMonitor {
    std::mutex mutex;
    std::optional<NetworkReachability::Flags> globalOverride;
    std::map<std::string, NetworkReachability::Flags> hostOverrides;  // lower-case names
    std::vector<std::weak_ptr<NetworkReachability>> watched;
    bool watcherRunning = false;

    static ReachabilityMonitor& instance() {
        static auto* monitor = new ReachabilityMonitor();
        return *monitor;
    }

    void watch(const std::shared_ptr<NetworkReachability>& target) {
        std::lock_guard lock(mutex);
        bool present =
            std::any_of(watched.begin(), watched.end(), [&](const auto& weak) { return weak.lock() == target; });
        if (!present) watched.push_back(target);
        if (!watcherRunning) {
            watcherRunning = true;
            std::thread([this] { runWatcher(); }).detach();
        }
    }

    std::vector<std::shared_ptr<NetworkReachability>> liveTargets() {
        std::lock_guard lock(mutex);
        std::vector<std::shared_ptr<NetworkReachability>> live;
        std::vector<std::weak_ptr<NetworkReachability>> kept;
        for (const auto& weak : watched) {
            if (auto target = weak.lock(); target && target->isWatched()) {
                live.push_back(target);
                kept.push_back(weak);
            }
        }
        watched = std::move(kept);
        return live;
    }

    void deliverAll() {
        for (const auto& target : liveTargets()) target->deliverIfChanged();
    }

    // Follows the kernel's link, address and route events (and looks again
    // every few seconds, for kernels that send none) until nothing is
    // watched any more.
    void runWatcher() {
        int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
        if (fd >= 0) {
            sockaddr_nl local{};
            local.nl_family = AF_NETLINK;
            local.nl_groups =
                RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
            if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
                close(fd);
                fd = -1;
            }
        }
        int idleTurns = 0;
        for (;;) {
            bool event = false;
            if (fd >= 0) {
                pollfd entry{fd, POLLIN, 0};
                if (poll(&entry, 1, 500) > 0) {
                    char buffer[8192];
                    while (recv(fd, buffer, sizeof buffer, 0) > 0) event = true;
                }
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
            }
            {
                std::lock_guard lock(mutex);
                watched.erase(std::remove_if(watched.begin(), watched.end(),
                                             [](const auto& weak) {
                                                 auto target = weak.lock();
                                                 return !target || !target->isWatched();
                                             }),
                              watched.end());
                if (watched.empty()) {
                    watcherRunning = false;
                    break;
                }
            }
            if (event || ++idleTurns >= 10) {
                idleTurns = 0;
                deliverAll();
            }
        }
        if (fd >= 0) close(fd);
    }
};

NetworkReachability::NetworkReachability(Passkey, Kind kind, std::string description, sockaddr_storage address)
    : kind_(kind), description_(std::move(description)), address_(address) {}

NetworkReachability::~NetworkReachability() = default;

std::shared_ptr<NetworkReachability> NetworkReachability::withName(std::string_view hostName) {
    if (hostName.empty()) return nullptr;
    if (auto address = parseAddress(hostName))
        return std::make_shared<NetworkReachability>(Passkey{}, Kind::Address, std::string(hostName), *address);
    return std::make_shared<NetworkReachability>(Passkey{}, Kind::Name, std::string(hostName), sockaddr_storage{});
}

std::shared_ptr<NetworkReachability> NetworkReachability::withAddress(const sockaddr* address) {
    if (!address) return nullptr;
    sockaddr_storage storage{};
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET) {
        std::memcpy(&storage, address, sizeof(sockaddr_in));
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    } else if (address->sa_family == AF_INET6) {
        std::memcpy(&storage, address, sizeof(sockaddr_in6));
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text);
    } else {
        return nullptr;
    }
    return std::make_shared<NetworkReachability>(Passkey{}, Kind::Address, text, storage);
}

std::shared_ptr<NetworkReachability> NetworkReachability::forInternetConnection() {
    sockaddr_in zero{};
    zero.sin_family = AF_INET;
    return withAddress(reinterpret_cast<const sockaddr*>(&zero));
}

bool NetworkReachability::isLocalHost(std::string_view host) {
    if (host.empty()) return false;
    if (auto address = parseAddress(host)) return isLoopbackAddress(*address);
    std::string name = Text::lowercase(host);
    if (!name.empty() && name.back() == '.') name.pop_back();
    if (name == "localhost" || Text::hasSuffix(name, ".localhost")) return true;
    for (std::uint16_t port : {std::uint16_t(80), std::uint16_t(443)}) {
        if (HostTable::loopbackPortFor(name, port)) return true;
    }
    return false;
}

NetworkReachability::Flags NetworkReachability::systemFlags() const {
    if (kind_ == Kind::Address ? isLoopbackAddress(address_) : isLocalHost(description_)) return kLocalFlags;
    LinkState links = readLinkState();
    if (kind_ == Kind::Address && isLinkLocalAddress(address_))
        return links.hasActiveInterface ? (kReachable | kIsDirect) : 0;
    return links.hasDefaultRoute ? kReachable : 0;
}

std::optional<NetworkReachability::Flags> NetworkReachability::currentFlags() const {
    bool local = kind_ == Kind::Address ? isLoopbackAddress(address_) : isLocalHost(description_);
    auto& monitor = ReachabilityMonitor::instance();
    {
        std::lock_guard lock(monitor.mutex);
        auto byName = monitor.hostOverrides.find(Text::lowercase(description_));
        if (byName != monitor.hostOverrides.end()) return byName->second;
        if (monitor.globalOverride && !local) return *monitor.globalOverride;
    }
    return systemFlags();
}

std::optional<NetworkReachability::Flags> NetworkReachability::flags() const { return currentFlags(); }

bool NetworkReachability::isWatched() const {
    std::lock_guard lock(mutex_);
    return callback_ && queue_;
}

bool NetworkReachability::setCallback(Callback callback) {
    // Read before locking: the monitor's lock is always taken first.
    std::optional<Flags> flagsNow = currentFlags();
    {
        std::lock_guard lock(mutex_);
        callback_ = std::move(callback);
        if (callback_ && queue_ && !lastTold_) lastTold_ = flagsNow;
        if (!callback_) lastTold_.reset();
    }
    if (isWatched()) ReachabilityMonitor::instance().watch(shared_from_this());
    return true;
}

bool NetworkReachability::setDispatchQueue(std::shared_ptr<DispatchQueue> queue) {
    if (queue && !queue->isSerial()) return false;
    std::optional<Flags> flagsNow = currentFlags();
    {
        std::lock_guard lock(mutex_);
        queue_ = std::move(queue);
        if (callback_ && queue_ && !lastTold_) lastTold_ = flagsNow;
        if (!queue_) lastTold_.reset();
    }
    if (isWatched()) ReachabilityMonitor::instance().watch(shared_from_this());
    return true;
}

void NetworkReachability::deliverIfChanged() {
    std::optional<Flags> now = currentFlags();
    std::lock_guard lock(mutex_);
    if (!callback_ || !queue_ || !now || now == lastTold_) return;
    lastTold_ = now;
    std::weak_ptr<NetworkReachability> weak = weak_from_this();
    queue_->async([weak, flags = *now] {
        auto target = weak.lock();
        if (!target) return;
        Callback callback;
        {
            std::lock_guard lock(target->mutex_);
            callback = target->callback_;
        }
        if (callback) callback(*target, flags);
    });
}

void NetworkReachability::setFlagsOverride(std::optional<Flags> flags) {
    auto& monitor = ReachabilityMonitor::instance();
    {
        std::lock_guard lock(monitor.mutex);
        monitor.globalOverride = flags;
    }
    monitor.deliverAll();
}

void NetworkReachability::setFlagsOverride(const std::string& hostName, std::optional<Flags> flags) {
    auto& monitor = ReachabilityMonitor::instance();
    {
        std::lock_guard lock(monitor.mutex);
        if (flags)
            monitor.hostOverrides[Text::lowercase(hostName)] = *flags;
        else
            monitor.hostOverrides.erase(Text::lowercase(hostName));
    }
    monitor.deliverAll();
}

void NetworkReachability::clearFlagsOverrides() {
    auto& monitor = ReachabilityMonitor::instance();
    {
        std::lock_guard lock(monitor.mutex);
        monitor.globalOverride.reset();
        monitor.hostOverrides.clear();
    }
    monitor.deliverAll();
}

void NetworkReachability::refresh() { ReachabilityMonitor::instance().deliverAll(); }

}  // namespace clipora::platform
