#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tools/loopback/RawServer.h"

namespace clipora::loopback {

// A tiny proxy on 127.0.0.1 for tests: an HTTP proxy that tunnels CONNECT
// requests, or a SOCKS5 proxy without authentication. Whatever host a client
// names, the proxy connects to 127.0.0.1 at the port asked for.
class TestProxy {
public:
    enum class Kind { Connect, SOCKS5 };

    explicit TestProxy(Kind kind);
    ~TestProxy();

    // CONNECT only: a request without exactly this "Proxy-Authorization"
    // value is answered "407 Proxy Authentication Required" with a
    // "Proxy-Authenticate: Basic realm=\"test proxy\"" field and a short body.
    void requireAuthorization(std::string value);

    std::uint16_t port() const { return server_->port(); }
    // "host:port" as each client asked for it.
    std::vector<std::string> targets() const;
    // The CONNECT request heads received.
    std::vector<std::string> requestHeads() const { return server_->requests(); }
    std::size_t connectionsAccepted() const { return server_->connectionsAccepted(); }

    static constexpr const char* kRefusalBody = "proxy says no";

private:
    void serveConnect(RawServer::Connection& connection);
    void serveSOCKS(RawServer::Connection& connection);

    const Kind kind_;
    mutable std::mutex mutex_;
    std::optional<std::string> authorization_;
    std::vector<std::string> targets_;
    std::unique_ptr<RawServer> server_;
};

}  // namespace clipora::loopback
