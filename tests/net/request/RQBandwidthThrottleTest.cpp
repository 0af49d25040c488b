#include <gtest/gtest.h>

#include "net/request/RQBandwidthThrottle.h"
#include "platform/foundation/Clock.h"
#include "tests/support/TestHome.h"

namespace clipora::test {
namespace {

using platform::Clock;
using platform::Date;

class BandwidthThrottleTest : public PlatformTest {
protected:
    RQBandwidthThrottle throttle_;
};

TEST_F(BandwidthThrottleTest, UploadAllowanceAndWakeUp) {
    throttle_.setMaxBandwidthPerSecond(14800);
    ASSERT_TRUE(throttle_.isBandwidthThrottled());
    throttle_.measureBandwidthUsage();  // opens a window
    const Date windowEnd = *throttle_.windowEnd();
    EXPECT_EQ(throttle_.maxUploadReadLength(), 3700u);
    throttle_.incrementBandwidthUsedInLastSecond(14800);
    EXPECT_EQ(throttle_.maxUploadReadLength(), 0u);
    throttle_.incrementBandwidthUsedInLastSecond(18500 - 14800);
    throttle_.measureBandwidthUsage();
    ASSERT_TRUE(throttle_.wakeUpTime());
    EXPECT_DOUBLE_EQ(throttle_.wakeUpTime()->timeIntervalSince(windowEnd), 0.25);
    EXPECT_TRUE(throttle_.isSleeping());
    advanceClock(1.3);
    EXPECT_FALSE(throttle_.isSleeping());
    // Downloads: one byte while over the limit, a quarter of what is left
    // otherwise.
    EXPECT_EQ(throttle_.maxDownloadReadLength(16384), 1u);
    throttle_.measureBandwidthUsage();
    EXPECT_EQ(throttle_.maxDownloadReadLength(16384), 3700u);
    EXPECT_EQ(throttle_.maxDownloadReadLength(1000), 1000u);
}

TEST_F(BandwidthThrottleTest, WindowsCloseByTheClockAndFeedTheAverage) {
    throttle_.measureBandwidthUsage();
    const Date firstEnd = *throttle_.windowEnd();
    throttle_.incrementBandwidthUsedInLastSecond(3000);
    // Not over yet: the window keeps counting.
    advanceClock(0.5);
    throttle_.measureBandwidthUsage();
    EXPECT_EQ(throttle_.bytesUsedInCurrentWindow(), 3000u);
    EXPECT_EQ(*throttle_.windowEnd(), firstEnd);
    advanceClock(0.75);
    throttle_.measureBandwidthUsage();
    EXPECT_EQ(throttle_.bytesUsedInCurrentWindow(), 0u);
    EXPECT_EQ(throttle_.averageBandwidthUsedPerSecond(), 3000u);
    EXPECT_GT(*throttle_.windowEnd(), firstEnd);
    // A window with nothing in it leaves only that 0.
    advanceClock(1.5);
    throttle_.measureBandwidthUsage();
    EXPECT_EQ(throttle_.historyCount(), 1u);
    EXPECT_EQ(throttle_.averageBandwidthUsedPerSecond(), 0u);
}

TEST_F(BandwidthThrottleTest, ALimitOfZeroNeverThrottles) {
    // Cellular throttling on, then the limit taken away: not throttled, and
    // no wake-up time at infinity.
    throttle_.setWWANOnly(true);
    throttle_.setWWANThrottled(true);
    throttle_.setMaxBandwidthPerSecond(14800);
    EXPECT_TRUE(throttle_.isBandwidthThrottled());
    throttle_.setMaxBandwidthPerSecond(0);
    EXPECT_FALSE(throttle_.isBandwidthThrottled());
    throttle_.measureBandwidthUsage();
    throttle_.incrementBandwidthUsedInLastSecond(100000);
    throttle_.measureBandwidthUsage();
    EXPECT_FALSE(throttle_.wakeUpTime());
    // WWAN-only without a cellular network: not throttled either.
    throttle_.setMaxBandwidthPerSecond(14800);
    throttle_.setWWANThrottled(false);
    EXPECT_FALSE(throttle_.isBandwidthThrottled());
}

}  // namespace
}  // namespace clipora::test
