#pragma once

// Forwarding header: the class lives in the loopback library (tools/loopback),
// which the stand-in shares; tests keep naming it as clipora::test::TestCA.
#include "tools/loopback/TestCA.h"

namespace clipora::test {
using loopback::TestCA;
}  // namespace clipora::test
