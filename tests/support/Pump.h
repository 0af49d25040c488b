#pragma once

#include <functional>

namespace clipora::test {

// Runs the main run loop (default mode) on the calling thread, which must be
// the main thread, until `condition` holds or `timeoutSeconds` of real time
// have passed. Returns whether the condition held. The condition is checked
// first and after each turn of the loop.
bool pumpUntil(const std::function<bool()>& condition, double timeoutSeconds = 5);

// Handles everything the main run loop has due now (timers due by the clock,
// posted tasks, signalled sources), including what that work posts in turn,
// without waiting for anything else.
void pumpPending();

}  // namespace clipora::test
