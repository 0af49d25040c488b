#include "share/Sharers/photo/PHSiteReachability.h"

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/system/NetworkReachability.h"
#include "share/Sharers/photo/PHHTTPRequest.h"

namespace clipora {

using platform::NetworkReachability;

PHSiteReachability::PHSiteReachability()
    : siteURL_(platform::URL::fromString(kDefaultSite)), siteRequest_(std::make_shared<PHHTTPRequest>()) {
    siteRequest_->setTimeoutInterval(kDefaultTimeout);
}

PHSiteReachability::~PHSiteReachability() {
    siteRequest_->setDelegate({});
    siteRequest_->cancelWithoutDelegateMessage();
    stopTimer();
    if (reachability_) reachability_->setCallback(nullptr);
}

double PHSiteReachability::timeoutInterval() const { return siteRequest_->timeoutInterval(); }
void PHSiteReachability::setTimeoutInterval(double seconds) { siteRequest_->setTimeoutInterval(seconds); }

bool PHSiteReachability::networkConnectivityExists() {
    auto target = NetworkReachability::forInternetConnection();
    auto flags = target ? target->flags() : std::nullopt;
    return flags && (*flags & NetworkReachability::kReachable);
}

void PHSiteReachability::startChecking() {
    stopChecking();
    siteRequest_->setDelegate(std::static_pointer_cast<PHHTTPRequestDelegate>(shared_from_this()));
    runLoop_ = platform::RunLoop::current();
    reachability_ = NetworkReachability::forInternetConnection();
    if (!reachability_) return;
    auto flags = reachability_->flags();
    if (flags) handleFlags(*flags);
    // Changes come on a queue of the platform's; they are handled on this
    // thread's run loop.
    std::weak_ptr<PHSiteReachability> weak = weak_from_this();
    std::weak_ptr<platform::RunLoop> loop = runLoop_;
    reachability_->setCallback([weak, loop](NetworkReachability&, NetworkReachability::Flags changed) {
        if (auto target = loop.lock()) {
            target->perform([weak, changed] {
                if (auto self = weak.lock(); self && self->isChecking()) self->handleFlags(changed);
            });
        }
    });
    reachability_->setDispatchQueue(platform::DispatchQueue::createSerial("PHSiteReachability"));
    if (!flags) {
        timeoutTimer_ = platform::Timer::create(timeoutInterval(), false, [weak](platform::Timer&) {
            if (auto self = weak.lock()) self->notAvailable();
        });
        runLoop_->addTimer(timeoutTimer_, platform::RunLoop::commonModes);
    }
}

void PHSiteReachability::stopChecking() {
    siteRequest_->cancelWithoutDelegateMessage();
    stopTimer();
    if (reachability_) {
        reachability_->setCallback(nullptr);
        reachability_->setDispatchQueue(nullptr);
    }
    reachability_.reset();
    lastCheckStatus_.reset();
}

void PHSiteReachability::stopTimer() {
    if (timeoutTimer_) timeoutTimer_->invalidate();
    timeoutTimer_.reset();
}

void PHSiteReachability::handleFlags(std::uint32_t flags) {
    stopTimer();
    const bool reachable = flags & NetworkReachability::kReachable;
    const bool connectionRequired = flags & NetworkReachability::kConnectionRequired;
    if (!reachable) {
        notAvailable();
        return;
    }
    const std::string type = (flags & NetworkReachability::kIsWWAN) ? kWWAN : kWiFi;
    if (siteURL_) {
        siteRequest_->cancelWithoutDelegateMessage();
        siteRequest_->setSessionInfo(platform::Value(type));
        if (!siteRequest_->performMethodOnURLWithData(PHHTTPRequest::kMethodHEAD, siteURL_, std::nullopt))
            notAvailable();
        return;
    }
    // The network alone: a link that must first be brought up is recorded
    // but not announced.
    if (lastCheckStatus_ == type) return;
    if (connectionRequired) {
        lastCheckStatus_ = type;
        return;
    }
    available(type);
}

platform::URL PHSiteReachability::site() const {
    return siteURL_ ? *siteURL_ : *platform::URL::fromString(kDefaultSite);
}

void PHSiteReachability::available(const std::string& type) {
    if (lastCheckStatus_ == type) return;
    lastCheckStatus_ = type;
    auto keep = shared_from_this();
    if (auto d = delegate()) d->reachabilitySiteIsAvailableOverConnectionType(*this, site(), type);
}

void PHSiteReachability::notAvailable() {
    stopTimer();
    if (lastCheckStatus_ == kNotReachable) return;
    lastCheckStatus_ = kNotReachable;
    auto keep = shared_from_this();
    if (auto d = delegate()) d->reachabilitySiteIsNotAvailable(*this, site());
}

void PHSiteReachability::httpRequestDidComplete(PHHTTPRequest& request) {
    // Any answer will do: the site is there.
    if (const std::string* type = request.sessionInfo().string()) available(*type);
}

void PHSiteReachability::httpRequestDidFailWithError(PHHTTPRequest&, const std::string&) { notAvailable(); }

}  // namespace clipora
