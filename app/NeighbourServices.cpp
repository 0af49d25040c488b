#include "app/NeighbourServices.h"

#include "analytics/TallyAnalytics.h"
#include "platform/foundation/Log.h"

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
    Log::format("Sharing on the microblog service is not available yet: %@", url.absoluteString());
}

void NeighbourServices::logEvent(const std::string& eventName) { TallyAnalytics::logEvent(eventName); }

void NeighbourServices::setShareHook(ShareHook hook) { shareHook() = std::move(hook); }

}  // namespace clipora
