#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/foundation/Value.h"
#include "tests/support/RawServer.h"

namespace clipora::test {

// A web server on 127.0.0.1 that wants NTLM: a request without credentials
// gets "401, WWW-Authenticate: NTLM"; a negotiate message gets a challenge
// (with a short page, as real servers send); an authenticate message on the
// same connection is checked against the expected user, domain and
// password and gets the page, or a bare 401 again. The challenge belongs to
// the connection: an authenticate message that arrives on another one is
// refused. Also the message helpers the checks need.
//
// With `authenticatesConnections`, a connection whose handshake succeeded
// stays signed in, as on most servers: later requests on it get the page
// without credentials (a new negotiate message starts over).
class NTLMServer {
public:
    NTLMServer(std::string user, std::string domain, std::string password, bool authenticatesConnections = false);

    std::string url(const std::string& path = "/") const { return server_.url(path); }
    std::size_t connectionsAccepted() const { return server_.connectionsAccepted(); }
    int challengesSent() const { return challenges_.load(); }
    int accepted() const { return accepted_.load(); }
    int refused() const { return refused_.load(); }
    // Every request head read so far, in order.
    std::vector<std::string> requests() const { return server_.requests(); }

    // --- Message helpers ---
    // AV pairs: NetBIOS domain and computer name, optionally a time, then
    // the end.
    static platform::Data targetInfo(const std::string& domain, const std::string& computer,
                                     std::optional<std::uint64_t> timestamp);
    static platform::Data challengeMessage(std::span<const std::uint8_t, 8> serverChallenge,
                                           const platform::Data& targetInfo);
    struct Authenticate {
        std::string user;
        std::string domain;
        std::string workstation;
        platform::Data lm;
        platform::Data nt;
    };
    static std::optional<Authenticate> parseAuthenticate(std::span<const std::uint8_t> message);
    // Whether the responses prove knowledge of `password` (NTLMv2, or the
    // 24-byte session response).
    static bool verify(const Authenticate& message, std::span<const std::uint8_t, 8> serverChallenge,
                       const std::string& password);

private:
    void serve(RawServer::Connection& connection);

    const std::string user_;
    const std::string domain_;
    const std::string password_;
    const bool authenticatesConnections_;
    std::atomic<int> challenges_{0};
    std::atomic<int> accepted_{0};
    std::atomic<int> refused_{0};
    RawServer server_;
};

}  // namespace clipora::test
