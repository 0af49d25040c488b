#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/cfnetwork/ProxySettings.h"
#include "platform/foundation/URL.h"

namespace clipora {

// Answers "which proxy does this proxy auto-configuration script name for
// this URL?" for the request engine, off the engine's shared network thread.
//
// Contract:
// - resolve() returns at once; the script runs on a worker of the global
//   dispatch queue (the platform evaluates it in a bounded child process,
//   up to ProxySettings::kPACTimeLimit), and the completion is called there,
//   never on the caller's thread: the caller hands the answer back to its
//   own thread. A slow script therefore holds up only the request that
//   waits for it.
// - The answer is the script's first usable entry: none for "DIRECT", an
//   empty answer, an evaluation error or an entry without a host.
// - Answers are kept, per script text and URL, for as long as that script
//   is the one in use, unless the script can answer differently over time
//   (it asks the clock or the machine's own address). A script of another
//   text replaces the kept answers.
// - Thread-safe; one shared instance.
class RQProxyResolver {
public:
    using Completion = std::function<void(std::optional<platform::ProxyEntry> proxy)>;

    static RQProxyResolver& shared();

    void resolve(std::string script, platform::URL url, Completion completion);

    // Whether the answers of `script` may be kept: it uses none of the
    // clock, date or own-address functions.
    static bool answersMayBeKept(std::string_view script);
    // The first usable entry of a script's answer.
    static std::optional<platform::ProxyEntry> firstProxy(
        const std::optional<std::vector<platform::ProxyEntry>>& entries);

    // Evaluations done so far (not answered from what was kept); tests.
    std::size_t evaluations() const;
    // Forgets the kept answers (tests).
    void clear();

    // Answers kept for one script at most.
    static constexpr std::size_t kMaximumKeptAnswers = 256;

private:
    mutable std::mutex mutex_;
    std::string script_;
    std::map<std::string, std::optional<platform::ProxyEntry>> answers_;
    std::size_t evaluations_ = 0;
};

}  // namespace clipora
