#include "tools/standin/StandinHosts.h"

#include <algorithm>
#include <cctype>

namespace clipora::standin {

namespace {

std::size_t indexOf(StandinHost role) { return static_cast<std::size_t>(role); }

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "name", "name:port", "[v6]:port" -> the name in lower case.
std::string hostPart(std::string_view header) {
    if (!header.empty() && header.front() == '[') {
        auto close = header.find(']');
        return lower(close == std::string_view::npos ? header.substr(1) : header.substr(1, close - 1));
    }
    if (auto colon = header.rfind(':'); colon != std::string_view::npos) header = header.substr(0, colon);
    return lower(header);
}

}  // namespace

StandinHosts::StandinHosts(const std::string& domain) {
    for (StandinHost role : kAll) names_[indexOf(role)] = std::string(label(role)) + "." + lower(domain);
    names_[indexOf(StandinHost::Maker)] = kMakerHost;
}

void StandinHosts::setName(StandinHost role, const std::string& name) { names_[indexOf(role)] = lower(name); }

const std::string& StandinHosts::name(StandinHost role) const { return names_[indexOf(role)]; }

std::string StandinHosts::baseURL(StandinHost role) const { return "https://" + name(role) + "/"; }

std::optional<StandinHost> StandinHosts::roleFor(std::string_view hostHeader) const {
    std::string host = hostPart(hostHeader);
    for (StandinHost role : kAll) {
        if (names_[indexOf(role)] == host) return role;
    }
    return std::nullopt;
}

std::string StandinHosts::cookieDomain() const {
    // The longest common suffix of the two names that starts at a label.
    const std::string& a = name(StandinHost::Login);
    const std::string& b = name(StandinHost::Web);
    std::size_t n = 0;
    while (n < a.size() && n < b.size() && a[a.size() - 1 - n] == b[b.size() - 1 - n]) ++n;
    std::string common = a.substr(a.size() - n);
    if (common.size() != a.size() || common.size() != b.size()) {
        auto dot = common.find('.');
        common = dot == std::string::npos ? std::string() : common.substr(dot + 1);
    }
    // A single label would name a top-level domain, which no cookie may claim.
    if (common.find('.') == std::string::npos) return {};
    return common;
}

std::vector<std::string> StandinHosts::names() const {
    std::vector<std::string> out;
    for (const auto& name : names_) {
        if (std::find(out.begin(), out.end(), name) == out.end()) out.push_back(name);
    }
    return out;
}

std::string_view StandinHosts::label(StandinHost role) {
    switch (role) {
    case StandinHost::Web: return "web";
    case StandinHost::Www: return "www";
    case StandinHost::Login: return "login";
    case StandinHost::Rest: return "rest";
    case StandinHost::Graph: return "graph";
    case StandinHost::VideoGraph: return "video";
    case StandinHost::Maker: return "maker";
    }
    return "web";
}

}  // namespace clipora::standin
