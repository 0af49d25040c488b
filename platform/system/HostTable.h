#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace clipora::platform {

// The machine's table of host names played on loopback, as a hosts file
// would be: a name (any letter case, a trailing dot ignored) maps to a
// loopback port, for every URL port or for one URL port only. Name
// resolution (`HostResolver`) connects there; reachability counts such a
// name as local. Process-wide and safe from any thread.
class HostTable {
public:
    HostTable() = delete;

    static void set(const std::string& host, std::uint16_t urlPort, std::uint16_t loopbackPort);
    static void remove(const std::string& host);
    static void removeAll();
    // The loopback port for host:port, if any (a port-specific entry wins
    // over a host-wide one, whose URL port is 0).
    static std::optional<std::uint16_t> loopbackPortFor(const std::string& host, std::uint16_t port);
};

}  // namespace clipora::platform
