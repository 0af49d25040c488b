#include <gtest/gtest.h>

#include "platform/foundation/CoreFoundationVersion.h"

using clipora::platform::CoreFoundationVersion;

TEST(CoreFoundationVersionTest, ReportsTheRunningSystemAndCanPlayAnOlderOne) {
    EXPECT_GE(CoreFoundationVersion::number(), CoreFoundationVersion::kDecimalPadVersion);
    CoreFoundationVersion::setNumber(550.32);
    EXPECT_LT(CoreFoundationVersion::number(), CoreFoundationVersion::kDecimalPadVersion);
    EXPECT_GE(CoreFoundationVersion::number(), CoreFoundationVersion::kBackgroundVersion);
    CoreFoundationVersion::reset();
    EXPECT_EQ(CoreFoundationVersion::number(), CoreFoundationVersion::kCurrent);
}
