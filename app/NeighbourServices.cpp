#include "app/NeighbourServices.h"

#include "platform/foundation/Log.h"

namespace clipora {

using namespace platform;

namespace {

NeighbourServices::ShareHook& shareHook() {
    static NeighbourServices::ShareHook hook;
    return hook;
}

NeighbourServices::EventHook& eventHook() {
    static NeighbourServices::EventHook hook;
    return hook;
}

}  // namespace

void NeighbourServices::shareURLTitle(const URL& url, const std::string& title) {
    if (auto& hook = shareHook()) return hook(url, title);
    Log::format("Sharing on the microblog service is not available yet: %@", url.absoluteString());
}

void NeighbourServices::logEvent(const std::string& eventName) {
    if (auto& hook = eventHook()) hook(eventName);
}

void NeighbourServices::setShareHook(ShareHook hook) { shareHook() = std::move(hook); }

void NeighbourServices::setEventHook(EventHook hook) { eventHook() = std::move(hook); }

}  // namespace clipora
