#pragma once

#include <string>
#include <vector>

namespace clipora {

// The social network's hosts. They are configuration: the defaults name the
// hosts the local stand-in service plays (the device program and the tests
// map them to loopback through the platform's host-resolver override), and
// a program may point them anywhere else with setCurrent().
//
// Each host is a name, optionally followed by ":port".
//  - web: the mobile web site, with the login page and the web dialogs
//    under "/dialog/";
//  - rest: the REST interface, methods under "/method/";
//  - graph: the graph interface, paths from the root;
//  - videoGraph: the graph host that takes video uploads;
//  - login: the host whose cookies keep a browser signed in; they are
//    deleted at logout.
// Read and set on the main thread.
class FBHosts {
public:
    std::string web = "web.social.test";
    std::string rest = "rest.social.test";
    std::string graph = "graph.social.test";
    std::string videoGraph = "video.social.test";
    std::string login = "login.social.test";

    // The hosts every new request and dialog is built with.
    static const FBHosts& current();
    static void setCurrent(const FBHosts& hosts);
    // Back to the default names.
    static void resetToDefaults();

    // "https://<web>/dialog/"
    std::string dialogBaseURL() const;
    // "https://<rest>/method/"
    std::string restBaseURL() const;
    // "https://<graph>/"
    std::string graphBaseURL() const;
    // "https://<videoGraph>/"
    std::string videoGraphBaseURL() const;
    // The login host's name without a port, lower case.
    std::string loginHostName() const;
    // Every distinct host name (without ports), for resolver overrides and
    // certificates.
    std::vector<std::string> hostNames() const;

    friend bool operator==(const FBHosts&, const FBHosts&) = default;
};

}  // namespace clipora
