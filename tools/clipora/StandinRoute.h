#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace clipora::device {

// The names the device program serves from the stand-in on loopback: the
// social network's hosts, the browser screen's site hosts and the maker's
// file host (the host of the configured versions and news lists).
std::vector<std::string> standinHostNames();

// Maps every one of those names to the stand-in's loopback port and keeps
// them out of any proxy taken from the environment (they are added to its
// bypass list), so a proxy setting meant for the outside world never sends
// the stand-in's traffic elsewhere. Port 0 (no stand-in): nothing is
// mapped, and the maker's lists, served only by the stand-in, are left
// unset. Main thread, before the launch.
void routeToStandin(std::uint16_t port);

}  // namespace clipora::device
