#pragma once

#include <memory>

namespace clipora::platform {
class Timer;
}

namespace clipora {

// Posts "TallyHeartBeatNotification" (no sender, no user info) at a fixed
// period while the agent runs, on the run loop of the thread that started it.
class TallyHeartBeater {
public:
    static constexpr const char* kHeartBeatNotification = "TallyHeartBeatNotification";

    // The shared heartbeater, made and started with `interval` on first call;
    // later calls answer it unchanged.
    static std::shared_ptr<TallyHeartBeater> createAndStartInstance(double interval);
    static std::shared_ptr<TallyHeartBeater> instance();
    // Stops and drops the shared heartbeater (tests).
    static void reset();

    TallyHeartBeater() = default;
    ~TallyHeartBeater();
    TallyHeartBeater(const TallyHeartBeater&) = delete;
    TallyHeartBeater& operator=(const TallyHeartBeater&) = delete;

    void start(double interval);
    void heartBeat();
    const std::shared_ptr<platform::Timer>& timer() const { return timer_; }

private:
    std::shared_ptr<platform::Timer> timer_;
};

}  // namespace clipora
