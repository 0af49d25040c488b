#pragma once

// Forwarding header: the class lives in the loopback library (tools/loopback),
// which the stand-in shares; tests keep naming it as clipora::test::TestProxy.
#include "tools/loopback/TestProxy.h"

namespace clipora::test {
using loopback::TestProxy;
}  // namespace clipora::test
