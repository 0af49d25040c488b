#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include "platform/foundation/Error.h"

namespace clipora::platform {

// Name resolution for the HTTP core. Look-ups run on Asio's resolver thread,
// never on a run loop or on the core's I/O thread.
//
// The override table lets tests and the local stand-in services play several
// named hosts on loopback: a host name (any letter case) maps to
// 127.0.0.1:<port>, for every URL port or for one URL port only. The URL's
// host still decides SNI, certificate matching and the "Host" header. The
// table is the system's `HostTable` (reachability reads it too), so it is
// process-wide and safe from any thread.
class HostResolver {
public:
    using Endpoints = std::vector<boost::asio::ip::tcp::endpoint>;
    using Completion = std::function<void(std::optional<Error> error, Endpoints endpoints)>;

    HostResolver() = delete;

    static void setOverride(const std::string& host, std::uint16_t loopbackPort);
    static void setOverride(const std::string& host, std::uint16_t urlPort, std::uint16_t loopbackPort);
    static void removeOverride(const std::string& host);
    static void removeAllOverrides();
    // The endpoint the table gives for host:port, if any (a port-specific
    // entry wins over a host-wide one).
    static std::optional<boost::asio::ip::tcp::endpoint> overrideFor(const std::string& host, std::uint16_t port);

    // Resolves asynchronously on `io`; the completion runs on a thread
    // running `io`. Failure: the network domain, "host not found".
    static void resolve(boost::asio::io_context& io, const std::string& host, std::uint16_t port,
                        Completion completion);
};

}  // namespace clipora::platform
