#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/foundation/Date.h"

namespace clipora::test {

// A fresh temporary home folder for one test: created empty (with Documents,
// Library/Caches, Library/Preferences and tmp), the process's home
// (FileManager::setHomeDirectory) while the object lives; afterwards the
// previous home comes back and the folder is removed.
class TestHome {
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // path() / relative.
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

private:
    std::filesystem::path path_;
    std::optional<std::string> previousHome_;
};

// The fixed "now" a test starts from under the manual clock:
// 1 June 2012 12:00:00 UTC.
platform::Date fixedTestDate();

// Registers a function that every PlatformTest runs in TearDown (for
// process-wide caches that must not leak from one test into the next).
void addTearDownHook(std::function<void()> hook);

// Base fixture of platform-level tests: a fresh home, the manual clock at
// fixedTestDate(), and a main run loop
// emptied of what a test left behind.
class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& home() const { return home_->path(); }

    // The clock: manual at a date (default: fixedTestDate()), or the system's.
    static void useManualClock(platform::Date start = fixedTestDate());
    static void useSystemClock();
    // Moves the manual clock (timers that became due fire at the next pump).
    static void advanceClock(double seconds);

    // See Pump.h.
    static bool pumpUntil(const std::function<bool()>& condition, double timeoutSeconds = 5);
    static void pumpPending();

private:
    std::optional<TestHome> home_;
};

}  // namespace clipora::test
