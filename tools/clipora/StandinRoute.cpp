#include "tools/clipora/StandinRoute.h"

#include <algorithm>
#include <memory>

#include "app/AppConfig.h"
#include "platform/cfnetwork/HostResolver.h"
#include "platform/cfnetwork/ProxySettings.h"
#include "platform/foundation/URL.h"
#include "social/sdk/FBHosts.h"

namespace clipora::device {

using namespace platform;

std::vector<std::string> standinHostNames() {
    std::vector<std::string> names = FBHosts::current().hostNames();
    const AppConfig& config = AppConfig::current();
    names.push_back(config.siteMobileHost);
    names.push_back(config.siteWebHost);
    for (const auto& list : {config.versionsListURL, config.updateListURL})
        if (auto url = URL::fromString(list); url && !url->host().empty()) names.push_back(url->host());
    std::vector<std::string> unique;
    for (auto& name : names)
        if (!name.empty() && std::find(unique.begin(), unique.end(), name) == unique.end())
            unique.push_back(std::move(name));
    return unique;
}

void routeToStandin(std::uint16_t port) {
    if (port == 0) {
        // No stand-in: the names resolve as they are, and the maker's lists,
        // which only the stand-in serves, are not asked for at all.
        AppConfig config = AppConfig::current();
        config.versionsListURL.clear();
        config.updateListURL.clear();
        AppConfig::setCurrent(config);
        return;
    }
    const auto names = standinHostNames();
    for (const auto& name : names) HostResolver::setOverride(name, port);
    auto settings = std::make_shared<ProxySettings>(*ProxySettings::systemProxySettings());
    settings->noProxy.insert(settings->noProxy.end(), names.begin(), names.end());
    ProxySettings::setSystemProxySettings(std::move(settings));
}

}  // namespace clipora::device
