#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "analytics/TallyAnalytics.h"
#include "analytics/TallyAutoIncrement.h"
#include "analytics/TallyFileCache.h"
#include "analytics/TallyHeartBeater.h"
#include "analytics/TallyImageCache.h"
#include "analytics/TallyPageViewDelegate.h"
#include "analytics/TallySession.h"
#include "analytics/TallyUtil.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Pasteboard.h"
#include "tests/support/TestHome.h"

namespace clipora::test {

// Every analytics test starts as a fresh process of the agent would: no
// settings, no current session, counters at zero, a new home.
class AnalyticsTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        resetAgent();
    }
    void TearDown() override {
        // Upload threads the interface started finish before the home goes.
        pumpUntil([] { return TallyAnalytics::uploadsInFlight() == 0; }, 30);
        resetAgent();
        PlatformTest::TearDown();
    }
    static void resetAgent() {
        TallyAnalytics::resetSettings();
        TallySession::resetClassState();
        TallyUtil::reset();
        TallyAutoIncrement::instance()->resetAll();
        TallyFileCache::reset();
        TallyImageCache::reset();
        TallyHeartBeater::reset();
        TallyPageViewDelegate::reset();
        platform::Pasteboard::reset();
        platform::Device::reset();
        platform::Application::reset();
    }
};

// Bytes written as a list of values 0-255.
inline platform::Data bytes(std::initializer_list<int> values) {
    platform::Data data;
    for (int v : values) data.push_back(static_cast<std::uint8_t>(v));
    return data;
}

inline platform::Data textBytes(const std::string& text) { return platform::Data(text.begin(), text.end()); }

}  // namespace clipora::test
