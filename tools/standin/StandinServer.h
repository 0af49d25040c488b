#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/standin/StandinData.h"
#include "tools/standin/StandinHosts.h"
#include "tools/standin/StandinKnob.h"
#include "tools/standin/StandinRequest.h"

namespace clipora::standin {

// The local stand-in of the social network: one HTTPS server on loopback
// that plays every host of the network (see StandinHosts) and tells them
// apart by the Host header. Its certificate comes from a CA made at start;
// in-process it trusts that CA (TLSTrust::setExtraCAFile) and maps the host
// names to its port through the platform's resolver override, so the
// system's own URLs ("https://graph.social.test/...") reach it unchanged.
//
//     standin::StandinServer server;          // defaults: see Options
//     server.start();
//     server.baseURL(standin::StandinHost::Rest)   // "https://rest.social.test/"
//     server.accessToken()                    // a valid token of the user "me"
//
// Everything is safe to call from any thread while the server runs.
class StandinServer {
public:
    struct Options {
        // 0: an ephemeral port.
        std::uint16_t port = 0;
        // Host names are "<role>.<domain>" unless renamed in hostNames.
        std::string domain = "social.test";
        std::map<StandinHost, std::string> hostNames;
        // Empty: the repository's tools/standin/data.json.
        std::filesystem::path dataFile;
        // Where what this server issues (tokens, sessions, posts, uploads)
        // is kept for the next server with the same file. Empty: nothing
        // outlives the server.
        std::filesystem::path stateFile;
        // Where the CA and the server certificate are written. Empty: a new
        // temporary folder, removed when the server goes.
        std::filesystem::path directory;
        // Have the HTTP core trust the CA while the server runs.
        bool trustCA = true;
        // Map every host name to the port through the platform's resolver
        // while the server runs.
        bool overrideResolver = true;
        // Largest request body taken.
        std::size_t maxBodyBytes = 64u * 1024 * 1024;
    };

    StandinServer();
    explicit StandinServer(Options options);
    ~StandinServer();
    StandinServer(const StandinServer&) = delete;
    StandinServer& operator=(const StandinServer&) = delete;

    // Binds 127.0.0.1 and serves on a thread of its own; returns once the
    // server accepts. Throws std::runtime_error when it cannot.
    void start();
    void stop();
    bool isRunning() const;

    std::uint16_t port() const;
    const StandinHosts& hosts() const;
    std::string hostName(StandinHost role) const;
    // "https://<host name>/" (no port: the resolver override covers every
    // port). For a client without the override use localURL().
    std::string baseURL(StandinHost role) const;
    // "https://<host name>:<port><path>".
    std::string url(StandinHost role, const std::string& path) const;
    // The CA certificate (PEM) the server certificate chains to, and its file.
    std::filesystem::path caFile() const;
    std::string caPEM() const;

    // --- Knobs: misbehaviour per path ---
    // `path` is a request path ("/method/fql.query", "/dialog/oauth",
    // "/me/accounts"), a prefix ending in "*" ("/files/*"), or "*" for every
    // path; a role limits it to one host. A later knob for the same path and
    // role replaces the earlier one; the most specific match wins (exact
    // path, then the longest prefix).
    void setKnob(const std::string& path, StandinKnob knob, std::optional<StandinHost> role = std::nullopt);
    void clearKnob(const std::string& path, std::optional<StandinHost> role = std::nullopt);
    void clearKnobs();
    // Lets every request held by a knob with `hold` go on.
    void releaseHeld();
    // How many requests are held right now.
    std::size_t heldCount() const;

    // --- The log of requests, oldest first ---
    std::vector<StandinRequest> requests() const;
    // Those whose path is `path` (and whose host is `role`, when given).
    std::vector<StandinRequest> requestsTo(const std::string& path,
                                           std::optional<StandinHost> role = std::nullopt) const;
    void clearRequests();

    // --- Accounts ---
    StandinData& data();
    // The uid of "me" in the data set.
    std::string meUid() const;
    // A valid token of "me" (made at start, lives as long as the server).
    std::string accessToken() const;
    // A new token for a user; `lifetime` in seconds (0: never expires;
    // negative: already expired).
    std::string issueToken(const std::string& uid, double lifetime);
    void revokeToken(const std::string& token);
    // "expires_in" of the tokens the login gives (0: never expires).
    void setTokenLifetime(double seconds);
    // The session cookies a browser signed in as `uid` holds, as
    // Set-Cookie header values (so a test can put them in a cookie store).
    std::vector<std::string> signIn(const std::string& uid);
    // Ends every browser session: the next dialog shows the login form
    // again even to a browser that kept its cookies.
    void signOutEveryone();

    // The path of the repository's data set.
    static std::filesystem::path defaultDataFile();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace clipora::standin
