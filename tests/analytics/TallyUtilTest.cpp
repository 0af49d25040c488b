#include "analytics/TallyUtil.h"

#include <thread>

#include "analytics/TallyAnalytics.h"
#include "analytics/TallyAutoIncrement.h"
#include "analytics/TallyHeartBeater.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/analytics/AnalyticsTest.h"

namespace clipora {
namespace {

using namespace platform;

class TallyUtilTest : public test::AnalyticsTest {};

TEST_F(TallyUtilTest, SystemVersionAsOneNumber) {
    struct Case {
        const char* version;
        int expected;
    };
    for (const auto& c : {Case{"5.1.1", 50101}, Case{"5.0", 50000}, Case{"4.3.3", 40303}, Case{"6", 60000},
                          Case{"4.2.10", 40210}, Case{"5.0.1.2", 50001}}) {
        Device::currentDevice()->setSystemVersion(c.version);
        TallyUtil::reset();
        EXPECT_EQ(TallyUtil::getSystemVersionAsAnInteger(), c.expected) << c.version;
    }
}

TEST_F(TallyUtilTest, CaughtObjectsAreLoggedOnlyWithBothSwitches) {
    auto throwing = [] { throw Exception("Name", "Reason"); };
    {
        Log::Capture capture;
        TallyUtil::setDebugLogEnabled(true);
        TallyUtil::guarded(throwing);
        EXPECT_TRUE(capture.lines().empty());
    }
    TallyUtil::setShowErrorInLogEnabled(true);
    Log::Capture capture;
    TallyUtil::guarded(throwing);
    TallyUtil::guarded([] { throw Error("Dom", 7); });
    TallyUtil::guarded([] { throw std::string("plain text"); });
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "Tally: Caught Exception in Tally Analytics Code");
    EXPECT_EQ(lines[2], "Tally: Name:Name Reason:Reason");
    EXPECT_EQ(lines[4], "Tally: Caught Error in Tally Analytics Code");
    EXPECT_EQ(lines[6], "Tally: Code:7 Domain:Dom");
    EXPECT_EQ(lines[8], "Tally: Caught Error in Tally Analytics Code");
    EXPECT_EQ(lines[9], "Tally: plain text");
}

TEST_F(TallyUtilTest, ScreenAndOrientation) {
    EXPECT_EQ(TallyUtil::screenBounds(), (Rect{0, 0, 320, 480.1f}));
    EXPECT_EQ(TallyUtil::screenBounds(std::string("landscapeLeft")), (Rect{0, 0, 480.1f, 320}));
    EXPECT_TRUE(TallyUtil::canvasInLandscapeRight(std::string("LANDSCAPERIGHT")));
    EXPECT_EQ(TallyUtil::getCanvasOrientation(), "portrait");
    Application::sharedApplication()->setStatusBarOrientation(InterfaceOrientationLandscapeRight);
    EXPECT_EQ(TallyUtil::getCanvasOrientation(), "landscapeRight");
    Device::currentDevice()->setUserInterfaceIdiom(Device::UserInterfaceIdiomPad);
    EXPECT_EQ(TallyUtil::screenBounds(), (Rect{0, 0, 1024.1f, 768}));
    Device::currentDevice()->setUserInterfaceIdiom(std::nullopt);
    EXPECT_FALSE(TallyUtil::isIPad());
    EXPECT_EQ(TallyUtil::convertStrToNum("12"), Value(12));
    EXPECT_EQ(TallyUtil::convertStrToNum("1.5"), Value(1.5));
    EXPECT_FALSE(TallyUtil::convertStrToNum("1.5x"));
    Value::Array set;
    EXPECT_TRUE(TallyUtil::addToSetObj(set, Value("a")));
    EXPECT_FALSE(TallyUtil::addToSetObj(set, Value("a")));
}

TEST_F(TallyUtilTest, BackupExclusionOnlyAfterVersionFive) {
    const std::string file = FileManager::documentsDirectory() + "/f";
    ASSERT_TRUE(FileManager::createFile(file));
    Device::currentDevice()->setSystemVersion("5.0");
    TallyUtil::reset();
    EXPECT_FALSE(TallyUtil::addSkipBackupAttributeToItemAtURL(URL::fileURLWithPath(file)));
    EXPECT_FALSE(FileManager::extendedAttribute(file, "com.apple.MobileBackup"));
    Device::currentDevice()->setSystemVersion("5.0.1");
    TallyUtil::reset();
    if (!TallyUtil::addSkipBackupAttributeToItemAtURL(URL::fileURLWithPath(file)))
        GTEST_SKIP() << "the file system of the test home has no user attributes";
    EXPECT_EQ(FileManager::extendedAttribute(file, "com.apple.MobileBackup"), Data{1});
}

TEST_F(TallyUtilTest, CountersAndHeartbeat) {
    auto counter = TallyAutoIncrement::instance();
    EXPECT_EQ(counter->nextCountFor(2), 1);
    EXPECT_EQ(counter->nextCountFor(2), 2);
    EXPECT_EQ(counter->nextCountFor(1), 1);
    counter->resetAll();
    EXPECT_EQ(counter->nextCountFor(2), 1);

    int beats = 0;
    auto id = NotificationCenter::defaultCenter().addObserver(TallyHeartBeater::kHeartBeatNotification,
                                                              [&](const Notification&) { ++beats; });
    auto heart = TallyHeartBeater::createAndStartInstance(1.0);
    EXPECT_EQ(TallyHeartBeater::createAndStartInstance(5.0), heart);
    advanceClock(1.0);
    pumpPending();
    advanceClock(1.0);
    pumpPending();
    EXPECT_EQ(beats, 2);
    heart.reset();
    TallyHeartBeater::reset();  // stops it
    advanceClock(1.0);
    pumpPending();
    EXPECT_EQ(beats, 2);
    NotificationCenter::defaultCenter().removeObserver(id);
}

TEST_F(TallyUtilTest, SettingsDefaultToTheEncryptedCollector) {
    EXPECT_EQ(TallyAnalytics::serverURL(), "https://collector.clipora.example/aas.do");
    TallyAnalytics::setSecureTransportEnabled(false);
    EXPECT_EQ(TallyAnalytics::serverURL(), "http://collector.clipora.example/aas.do");
    TallyAnalytics::setSecureTransportEnabled(true);
    EXPECT_EQ(TallyAnalytics::serverURL(), "https://collector.clipora.example/aas.do");
    TallyAnalytics::setServerURL("http://127.0.0.1:9/aas.do");
    EXPECT_EQ(TallyAnalytics::serverURL(), "http://127.0.0.1:9/aas.do");
    EXPECT_EQ(TallyAnalytics::sessionContinueSeconds(), 10);
    EXPECT_FALSE(TallyAnalytics::appCircleEnabled() || TallyAnalytics::videoAdsEnabled() ||
                 TallyAnalytics::appSpotEnabled() || TallyAnalytics::reEngageEnabled());
    EXPECT_TRUE(TallyAnalytics::udidEnabled() && TallyAnalytics::sendUsageInfo());
    // No task kept: nothing happens and nothing is logged.
    TallyUtil::setDebugLogEnabled(true);
    Log::Capture capture;
    TallyAnalytics::stopBackgroundTask();
    EXPECT_TRUE(capture.lines().empty());
}

// Settings are written by the host while upload threads read them.
TEST_F(TallyUtilTest, SettingsAreSafeAcrossThreads) {
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop) {
            EXPECT_FALSE(TallyAnalytics::serverURL().empty());
            (void)TallyAnalytics::savedResponseURL();
            (void)TallyAnalytics::appVersion();
        }
    });
    for (int i = 0; i < 2000; ++i) {
        TallyAnalytics::setServerURL("https://host" + std::to_string(i) + ".example/aas.do");
        TallyAnalytics::setSavedResponseURL("file:///tmp/" + std::to_string(i));
    }
    stop = true;
    reader.join();
}

}  // namespace
}  // namespace clipora
