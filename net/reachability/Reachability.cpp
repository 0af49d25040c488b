#include "net/reachability/Reachability.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include <arpa/inet.h>
#include <netinet/in.h>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"

namespace clipora {

namespace {

using NR = platform::NetworkReachability;

std::shared_ptr<Reachability> forIPv4(const char* address) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = 0;
    inet_pton(AF_INET, address, &addr.sin_addr);
    return Reachability::reachabilityWithAddress(reinterpret_cast<const sockaddr*>(&addr));
}

}  // namespace

Reachability::Reachability(Passkey, std::shared_ptr<platform::NetworkReachability> ref)
    : reachabilityRef_(std::move(ref)) {}

Reachability::~Reachability() {
    // The self-reference is gone by now, so only the platform side is left.
    reachabilityRef_->setDispatchQueue(nullptr);
    reachabilityRef_->setCallback({});
}

std::shared_ptr<Reachability> Reachability::initWithReachabilityRef(
    std::shared_ptr<platform::NetworkReachability> ref) {
    if (!ref) return nullptr;
    return std::make_shared<Reachability>(Passkey{}, std::move(ref));
}

std::shared_ptr<Reachability> Reachability::reachabilityWithHostname(std::string_view hostName) {
    return initWithReachabilityRef(NR::withName(hostName));
}

std::shared_ptr<Reachability> Reachability::reachabilityWithAddress(const sockaddr* address) {
    if (!address) return nullptr;
    return initWithReachabilityRef(NR::withAddress(address));
}

std::shared_ptr<Reachability> Reachability::reachabilityForInternetConnection() { return forIPv4("0.0.0.0"); }

std::shared_ptr<Reachability> Reachability::reachabilityForLocalWiFi() { return forIPv4("169.254.0.0"); }

bool Reachability::startNotifier() {
    {
        std::lock_guard lock(mutex_);
        reachabilityObject_ = shared_from_this();
    }
    std::weak_ptr<Reachability> weak = weak_from_this();
    const bool installed = reachabilityRef_->setCallback([weak](NR&, NR::Flags flags) {
        if (auto self = weak.lock()) self->reachabilityChanged(flags);
    });
    if (!installed) {
        std::printf("SCNetworkReachabilitySetCallback() failed: %s\n", std::strerror(errno));
        return false;
    }
    auto queue = platform::DispatchQueue::createSerial("com.dovarin.reachability");
    if (!reachabilityRef_->setDispatchQueue(queue)) {
        std::lock_guard lock(mutex_);
        reachabilitySerialQueue_.reset();
        return false;
    }
    std::lock_guard lock(mutex_);
    reachabilitySerialQueue_ = std::move(queue);
    return true;
}

void Reachability::stopNotifier() {
    reachabilityRef_->setCallback({});
    std::shared_ptr<Reachability> self;
    {
        std::lock_guard lock(mutex_);
        if (reachabilitySerialQueue_) {
            reachabilityRef_->setDispatchQueue(nullptr);
            reachabilitySerialQueue_.reset();
        }
        // Released outside the lock: this may be the last reference.
        self = std::move(reachabilityObject_);
    }
}

void Reachability::reachabilityChanged(Flags) {
    auto self = shared_from_this();
    const bool reachable = isReachable();
    if (auto block = reachable ? reachableBlock() : unreachableBlock()) block(self);
    platform::DispatchQueue::main()->async([self] {
        platform::NotificationCenter::defaultCenter().post(
            kReachabilityChangedNotification, platform::Value(std::static_pointer_cast<platform::Object>(self)));
    });
}

bool Reachability::isReachableWithFlags(Flags flags) const {
    bool reachable = (flags & NR::kReachable) != 0;
    if ((flags & NR::kTransientConnection) && (flags & NR::kConnectionRequired)) reachable = false;
    if (flags & NR::kIsWWAN) return reachable && reachableOnWWAN();
    return reachable;
}

bool Reachability::isReachable() const {
    auto flags = reachabilityRef_->flags();
    return flags && isReachableWithFlags(*flags);
}

bool Reachability::isReachableViaWWAN() const {
    auto flags = reachabilityRef_->flags();
    return flags && (*flags & NR::kReachable) && (*flags & NR::kIsWWAN);
}

bool Reachability::isReachableViaWiFi() const {
    auto flags = reachabilityRef_->flags();
    return flags && (*flags & NR::kReachable) && !(*flags & NR::kIsWWAN);
}

bool Reachability::connectionRequired() const {
    auto flags = reachabilityRef_->flags();
    return flags && (*flags & NR::kConnectionRequired);
}

bool Reachability::isConnectionOnDemand() const {
    auto flags = reachabilityRef_->flags();
    return flags && (*flags & NR::kConnectionRequired) &&
           (*flags & (NR::kConnectionOnTraffic | NR::kConnectionOnDemand));
}

bool Reachability::isInterventionRequired() const {
    auto flags = reachabilityRef_->flags();
    return flags && (*flags & NR::kConnectionRequired) && (*flags & NR::kInterventionRequired);
}

ReachabilityStatus Reachability::currentReachabilityStatus() const {
    if (!isReachable()) return ReachabilityStatus::Unreachable;
    if (isReachableViaWiFi()) return ReachabilityStatus::ViaWiFi;
    return ReachabilityStatus::ViaCellular;
}

Reachability::Flags Reachability::reachabilityFlags() const { return reachabilityRef_->flags().value_or(0); }

std::string Reachability::currentReachabilityString() const {
    switch (currentReachabilityStatus()) {
    case ReachabilityStatus::ViaCellular: return "Cellular";
    case ReachabilityStatus::ViaWiFi: return "WiFi";
    default: return "No Connection";
    }
}

std::string Reachability::currentReachabilityFlags() const {
    static constexpr struct {
        Flags flag;
        char letter;
    } kLetters[] = {
        {NR::kIsWWAN, 'W'},
        {NR::kReachable, 'R'},
        {NR::kConnectionRequired, 'c'},
        {NR::kTransientConnection, 't'},
        {NR::kInterventionRequired, 'i'},
        {NR::kConnectionOnTraffic, 'C'},
        {NR::kConnectionOnDemand, 'D'},
        {NR::kIsLocalAddress, 'l'},
        {NR::kIsDirect, 'd'},
    };
    const Flags flags = reachabilityFlags();
    std::string text;
    for (std::size_t i = 0; i < std::size(kLetters); ++i) {
        if (i == 2) text.push_back(' ');
        text.push_back((flags & kLetters[i].flag) ? kLetters[i].letter : '-');
    }
    return text;
}

bool Reachability::reachableOnWWAN() const {
    std::lock_guard lock(mutex_);
    return reachableOnWWAN_;
}

void Reachability::setReachableOnWWAN(bool reachable) {
    std::lock_guard lock(mutex_);
    reachableOnWWAN_ = reachable;
}

Reachability::ReachabilityBlock Reachability::reachableBlock() const {
    std::lock_guard lock(mutex_);
    return reachableBlock_;
}

void Reachability::setReachableBlock(ReachabilityBlock block) {
    std::lock_guard lock(mutex_);
    reachableBlock_ = std::move(block);
}

Reachability::ReachabilityBlock Reachability::unreachableBlock() const {
    std::lock_guard lock(mutex_);
    return unreachableBlock_;
}

void Reachability::setUnreachableBlock(ReachabilityBlock block) {
    std::lock_guard lock(mutex_);
    unreachableBlock_ = std::move(block);
}

std::shared_ptr<platform::DispatchQueue> Reachability::reachabilitySerialQueue() const {
    std::lock_guard lock(mutex_);
    return reachabilitySerialQueue_;
}

bool Reachability::isNotifierRunning() const {
    std::lock_guard lock(mutex_);
    return reachabilityObject_ != nullptr;
}

std::string Reachability::description() const {
    return "<Reachability " + reachabilityRef_->targetDescription() + " " + currentReachabilityFlags() + ">";
}

}  // namespace clipora
