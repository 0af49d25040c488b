#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace clipora {

// Per-kind sequence numbers of the agent (kind 1: error ids, kind 2: event
// ids). Safe from any thread.
class TallyAutoIncrement {
public:
    static constexpr std::int32_t kErrorKind = 1;
    static constexpr std::int32_t kEventKind = 2;

    static std::shared_ptr<TallyAutoIncrement> instance();

    // 1 for a kind with no value yet, else the last value plus 1.
    std::int64_t nextCountFor(std::int32_t kind);
    // Every kind starts again at 1.
    void resetAll();

private:
    std::mutex mutex_;
    std::map<std::int32_t, std::int64_t> counters_;
};

}  // namespace clipora
