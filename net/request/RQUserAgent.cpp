#include "net/request/RQUserAgent.h"

#include <mutex>
#include <utility>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Device.h"

namespace clipora {

namespace {

struct Kept {
    std::mutex mutex;
    std::optional<std::string> agent;
};

Kept& kept() {
    // Never destroyed: requests on the network thread may ask at exit.
    static Kept* instance = new Kept;
    return *instance;
}

}  // namespace

std::optional<std::string> RQUserAgent::defaultString() {
    {
        std::lock_guard lock(kept().mutex);
        if (kept().agent) return kept().agent;
    }
    auto bundle = platform::Bundle::mainBundle();
    if (!bundle) return std::nullopt;
    auto name = bundle->infoString("CFBundleDisplayName");
    if (!name) name = bundle->infoString("CFBundleName");
    if (!name) return std::nullopt;
    auto shortVersion = bundle->infoString("CFBundleShortVersionString");
    auto build = bundle->infoString("CFBundleVersion");
    std::string version;
    if (shortVersion && build && *shortVersion != *build) {
        version = *shortVersion + " rv:" + *build;
    } else if (build && !shortVersion) {
        version = *build;
    } else {
        version = shortVersion.value_or("");
    }
    auto device = platform::Device::currentDevice();
    std::string agent =
        platform::Text::format("%@ %@ (%@; %@ %@; %@)", *name, version, device->model(), device->systemName(),
                               device->systemVersion(), platform::Locale::currentLocaleIdentifier());
    setDefaultString(agent);
    return agent;
}

void RQUserAgent::setDefaultString(std::optional<std::string> agent) {
    std::lock_guard lock(kept().mutex);
    kept().agent = std::move(agent);
}

}  // namespace clipora
