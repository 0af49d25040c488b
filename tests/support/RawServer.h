#pragma once

// Forwarding header: the class lives in the loopback library (tools/loopback),
// which the stand-in shares; tests keep naming it as clipora::test::RawServer.
#include "tools/loopback/RawServer.h"

namespace clipora::test {
using loopback::RawServer;
}  // namespace clipora::test
