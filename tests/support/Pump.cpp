#include "tests/support/Pump.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>

#include "platform/foundation/RunLoop.h"

namespace clipora::test {

namespace {
// Work done by other threads without posting to the main loop (an atomic
// flag, say) is noticed within this much time.
constexpr auto kPollInterval = std::chrono::milliseconds(5);
// pumpPending() gives up after this many turns (work that keeps re-posting
// itself would otherwise never let it return).
constexpr int kMaxPendingTurns = 10000;

void requireMainThread(const char* what) {
    if (!platform::RunLoop::isMainThread()) {
        throw std::logic_error(std::string(what) + " runs the main run loop and must be called on the main thread");
    }
}
}  // namespace

bool pumpUntil(const std::function<bool()>& condition, double timeoutSeconds) {
    requireMainThread("pumpUntil");
    auto loop = platform::RunLoop::main();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                               std::chrono::duration<double>(std::max(0.0, timeoutSeconds)));
    for (;;) {
        if (condition()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        loop->runOnce(platform::RunLoop::defaultMode,
                      std::min<std::chrono::steady_clock::duration>(deadline - now, kPollInterval));
    }
}

void pumpPending() {
    requireMainThread("pumpPending");
    auto loop = platform::RunLoop::main();
    for (int turn = 0; turn < kMaxPendingTurns; ++turn) {
        if (!loop->runOnce(platform::RunLoop::defaultMode, std::chrono::steady_clock::duration::zero())) return;
    }
}

}  // namespace clipora::test
