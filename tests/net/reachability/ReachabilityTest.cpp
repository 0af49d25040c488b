#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "net/reachability/Reachability.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/system/NetworkReachability.h"
#include "tests/support/TestHome.h"

namespace clipora::test {
namespace {

using NR = platform::NetworkReachability;

class ReachabilityTest : public PlatformTest {
protected:
    void TearDown() override {
        NR::clearFlagsOverrides();
        PlatformTest::TearDown();
    }
    static constexpr const char* kHost = "monitor.test";
};

TEST_F(ReachabilityTest, AnswersFromTheFlags) {
    struct Case {
        NR::Flags flags;
        bool onWWAN;
        bool reachable;
        ReachabilityStatus status;
        bool viaWWAN;
        const char* text;
        const char* letters;
    };
    const Case cases[] = {
        {NR::kIsWWAN | NR::kReachable, true, true, ReachabilityStatus::ViaCellular, true, "Cellular", "WR -------"},
        {NR::kIsWWAN | NR::kReachable, false, false, ReachabilityStatus::Unreachable, true, "No Connection",
         "WR -------"},
        {NR::kReachable | NR::kConnectionRequired | NR::kTransientConnection, true, false,
         ReachabilityStatus::Unreachable, false, "No Connection", "-R ct-----"},
        {NR::kReachable | NR::kConnectionRequired, true, true, ReachabilityStatus::ViaWiFi, false, "WiFi",
         "-R c------"},
        {0, true, false, ReachabilityStatus::Unreachable, false, "No Connection", "-- -------"},
    };
    auto monitor = Reachability::reachabilityWithHostname(kHost);
    ASSERT_TRUE(monitor);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.letters);
        NR::setFlagsOverride(kHost, c.flags);
        monitor->setReachableOnWWAN(c.onWWAN);
        EXPECT_EQ(monitor->isReachable(), c.reachable);
        EXPECT_EQ(monitor->currentReachabilityStatus(), c.status);
        EXPECT_EQ(monitor->isReachableViaWWAN(), c.viaWWAN);
        EXPECT_EQ(monitor->currentReachabilityString(), c.text);
        EXPECT_EQ(monitor->currentReachabilityFlags(), c.letters);
    }
    EXPECT_FALSE(Reachability::reachabilityWithHostname(""));
}

TEST_F(ReachabilityTest, NotifierCallsBlockOffMainThenPostsOnMain) {
    NR::setFlagsOverride(kHost, 0);
    auto monitor = Reachability::reachabilityWithHostname(kHost);
    std::atomic<bool> blockOnMain{true};
    std::atomic<int> reachableCalls{0};
    monitor->setReachableBlock([&](const std::shared_ptr<Reachability>&) {
        blockOnMain = platform::RunLoop::isMainThread();
        ++reachableCalls;
    });
    int posts = 0;
    bool postOnMain = false;
    const auto id = platform::NotificationCenter::defaultCenter().addObserver(
        kReachabilityChangedNotification, [&](const platform::Notification& n) {
            if (n.object.objectAs<Reachability>() != monitor) return;
            ++posts;
            postOnMain = platform::RunLoop::isMainThread();
        });
    ASSERT_TRUE(monitor->startNotifier());
    NR::setFlagsOverride(kHost, NR::kReachable);
    EXPECT_TRUE(pumpUntil([&] { return posts > 0; }));
    EXPECT_EQ(reachableCalls.load(), 1);
    EXPECT_FALSE(blockOnMain.load());
    EXPECT_TRUE(postOnMain);
    platform::NotificationCenter::defaultCenter().removeObserver(id);

    // A running notifier keeps its monitor alive until it is stopped.
    std::weak_ptr<Reachability> weak = monitor;
    monitor.reset();
    EXPECT_FALSE(weak.expired());
    weak.lock()->stopNotifier();
    // (A change being handled on the private queue may hold it a moment.)
    EXPECT_TRUE(pumpUntil([&] { return weak.expired(); }));

    // Stopping a monitor that never started is harmless.
    Reachability::reachabilityForInternetConnection()->stopNotifier();
}

}  // namespace
}  // namespace clipora::test
