#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace clipora::standin {

// The parts of the social network the stand-in plays. Each is a host name
// served over HTTPS on the stand-in's one loopback port.
enum class StandinHost {
    Web,         // mobile web site: login page and web dialogs under "/dialog/"
    Www,         // public web site: video pages
    Login,       // takes the login form and sets the session cookies
    Rest,        // REST interface: "/method/<name>"
    Graph,       // graph paths, plus the video, thumbnail and photo files
    VideoGraph,  // graph host that takes video uploads
    Maker,       // the application maker's file host: the versions and news lists
};

// Host names per role. By default "<prefix>.<domain>" with the prefixes
// web, www, login, rest, graph and video, and kMakerHost for the maker's
// file host (not the network's: no domain of its); any role may be renamed.
class StandinHosts {
public:
    static constexpr std::array<StandinHost, 7> kAll = {StandinHost::Web,  StandinHost::Www,   StandinHost::Login,
                                                        StandinHost::Rest, StandinHost::Graph, StandinHost::VideoGraph,
                                                        StandinHost::Maker};
    // The maker's file host the application's configuration names.
    static constexpr const char* kMakerHost = "files.clipora.test";

    explicit StandinHosts(const std::string& domain = "social.test");

    void setName(StandinHost role, const std::string& name);
    const std::string& name(StandinHost role) const;
    // "https://<name>/" (no port: the resolver override maps every port).
    std::string baseURL(StandinHost role) const;
    // The role whose name a Host header gives (port and letter case ignored).
    std::optional<StandinHost> roleFor(std::string_view hostHeader) const;
    // The common parent of the login and web hosts ("social.test"): the
    // domain the session cookies are scoped to.
    std::string cookieDomain() const;
    std::vector<std::string> names() const;

    // "web", "www", "login", "rest", "graph", "video", "maker".
    static std::string_view label(StandinHost role);

private:
    std::array<std::string, 7> names_;
};

}  // namespace clipora::standin
