#include "app/NeighbourServices.h"

#include "analytics/TallyAnalytics.h"
#include "share/Sharers/SXTwitter.h"

namespace clipora {

using namespace platform;

namespace {

NeighbourServices::ShareHook& shareHook() {
    static NeighbourServices::ShareHook hook;
    return hook;
}

}  // namespace

void NeighbourServices::shareURLTitle(const URL& url, const std::string& title) {
    if (auto& hook = shareHook()) return hook(url, title);
    // The sharer keeps itself alive until its outcome; nothing comes back
    // to the screen: the framework's own alerts and notifications tell it.
    SXTwitter::shareURLTitle(url, title);
}

void NeighbourServices::logEvent(const std::string& eventName) { TallyAnalytics::logEvent(eventName); }

void NeighbourServices::setShareHook(ShareHook hook) { shareHook() = std::move(hook); }

}  // namespace clipora
