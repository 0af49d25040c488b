#include "tests/support/TestHome.h"

#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/Pump.h"

namespace clipora::test {

namespace {

struct Hooks {
    std::mutex mutex;
    std::vector<std::function<void()>> list;
};

Hooks& hooks() {
    static Hooks instance;
    return instance;
}

}  // namespace

TestHome::TestHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "clipora-home-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) throw std::system_error(errno, std::generic_category(), "mkdtemp");
    path_ = std::filesystem::path(buffer.data());
    for (const char* sub : {"Documents", "Library/Caches", "Library/Preferences", "tmp"}) {
        std::filesystem::create_directories(path_ / sub);
    }
    // Named in the process, not in its environment: worker threads left by
    // an earlier test may be reading the environment right now.
    previousHome_ = platform::FileManager::setHomeDirectory(path_.string());
}

TestHome::~TestHome() {
    platform::FileManager::setHomeDirectory(previousHome_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

platform::Date fixedTestDate() {
    // 2012-06-01 12:00:00 UTC.
    return platform::Date::fromTimeIntervalSince1970(1338552000.0);
}

void addTearDownHook(std::function<void()> hook) {
    auto& h = hooks();
    std::lock_guard lock(h.mutex);
    h.list.push_back(std::move(hook));
}

void PlatformTest::SetUp() {
    home_.emplace();
    useManualClock();
    platform::RunLoop::main()->removeAll();
}

void PlatformTest::TearDown() {
    std::vector<std::function<void()>> toRun;
    {
        auto& h = hooks();
        std::lock_guard lock(h.mutex);
        toRun = h.list;
    }
    for (auto& hook : toRun) hook();
    platform::RunLoop::main()->removeAll();
    platform::Clock::useSystemTime();
    home_.reset();
}

void PlatformTest::useManualClock(platform::Date start) { platform::Clock::setNow(start); }

void PlatformTest::useSystemClock() { platform::Clock::useSystemTime(); }

void PlatformTest::advanceClock(double seconds) { platform::Clock::advance(seconds); }

bool PlatformTest::pumpUntil(const std::function<bool()>& condition, double timeoutSeconds) {
    return test::pumpUntil(condition, timeoutSeconds);
}

void PlatformTest::pumpPending() { test::pumpPending(); }

}  // namespace clipora::test
