#include "social/sdk/FBHosts.h"

#include <algorithm>

#include "platform/foundation/Text.h"

namespace clipora {

namespace {

FBHosts& currentHosts() {
    static FBHosts hosts;
    return hosts;
}

// The name part of "name" or "name:port" ("[v6]:port" keeps its brackets off).
std::string nameOf(const std::string& host) {
    std::string name = host;
    if (!name.empty() && name.front() == '[') {
        auto close = name.find(']');
        name = close == std::string::npos ? name.substr(1) : name.substr(1, close - 1);
    } else if (auto colon = name.rfind(':'); colon != std::string::npos) {
        name = name.substr(0, colon);
    }
    return platform::Text::lowercase(name);
}

}  // namespace

const FBHosts& FBHosts::current() { return currentHosts(); }

void FBHosts::setCurrent(const FBHosts& hosts) { currentHosts() = hosts; }

void FBHosts::resetToDefaults() { currentHosts() = FBHosts(); }

std::string FBHosts::dialogBaseURL() const { return "https://" + web + "/dialog/"; }

std::string FBHosts::restBaseURL() const { return "https://" + rest + "/method/"; }

std::string FBHosts::graphBaseURL() const { return "https://" + graph + "/"; }

std::string FBHosts::videoGraphBaseURL() const { return "https://" + videoGraph + "/"; }

std::string FBHosts::loginHostName() const { return nameOf(login); }

std::vector<std::string> FBHosts::hostNames() const {
    std::vector<std::string> names;
    for (const auto* host : {&web, &rest, &graph, &videoGraph, &login}) {
        std::string name = nameOf(*host);
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

}  // namespace clipora
