#pragma once

// Forwarding header: the class lives in the loopback library (tools/loopback),
// which the stand-in shares; tests keep naming it as clipora::test::LoopbackServer.
#include "tools/loopback/LoopbackServer.h"

namespace clipora::test {
using loopback::LoopbackServer;
}  // namespace clipora::test
