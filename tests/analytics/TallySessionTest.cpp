#include "analytics/TallySession.h"

#include <cmath>
#include <limits>

#include "analytics/TallyEvent.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "tests/analytics/AnalyticsTest.h"

namespace clipora {
namespace {

using namespace platform;
using test::bytes;

class TallySessionTest : public test::AnalyticsTest {
protected:
    static std::shared_ptr<TallySession> readCurrentFile() {
        auto root = KeyedUnarchiver::unarchivedObjectOfAnyClass(
            FileManager::contentsOfFile(TallySession::currentSessionFilePath()).value_or(Data{}));
        return root ? root->objectAs<TallySession>() : nullptr;
    }
};

TEST_F(TallySessionTest, LifeCycleIsArchivedAtEachStep) {
    auto session = TallySession::createActiveTallySession("KEY");
    ASSERT_EQ(TallySession::currentSession(), session);
    EXPECT_EQ(session->apiKey(), "KEY");
    EXPECT_EQ(session->serializationVersion(), 1);
    EXPECT_EQ(session->sessionLength(), -1);
    EXPECT_TRUE(session->eventLoggingEnabled());
    EXPECT_TRUE(session->sessionReportsOnCloseEnabled());
    EXPECT_FALSE(session->sessionReportsOnPauseEnabled());
    EXPECT_TRUE(session->internetAvailable());
    EXPECT_EQ(session->gender(), -1);
    ASSERT_TRUE(readCurrentFile());
    EXPECT_EQ(readCurrentFile()->startTime(), session->startTime());

    // Two pauses without a resume: only the time from the later one counts.
    session->pauseSession();
    advanceClock(3);
    session->pauseSession();
    ASSERT_TRUE(readCurrentFile()->pauseTime());
    advanceClock(2);
    session->resumeSession();
    EXPECT_EQ(session->totalPauseIntervalMillis(), 2000);
    EXPECT_FALSE(session->pauseTime());
    EXPECT_EQ(readCurrentFile()->totalPauseIntervalMillis(), 2000);
    // A resume without a pause changes nothing and writes nothing.
    FileManager::removeItem(TallySession::currentSessionFilePath());
    session->resumeSession();
    EXPECT_FALSE(FileManager::fileExists(TallySession::currentSessionFilePath()));

    session->setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(51.50749, -0.12779, 10.5f, -4.25f);
    EXPECT_DOUBLE_EQ(session->latitude(), 51.507);
    EXPECT_DOUBLE_EQ(session->longitude(), -0.127);
    EXPECT_FLOAT_EQ(session->accuracy(), 7.375f);
    EXPECT_DOUBLE_EQ(readCurrentFile()->latitude(), 51.507);

    advanceClock(10);
    session->endSessionAndSendRemoveCurrentSession(false, false);
    EXPECT_EQ(session->sessionLength(), 15000);
    EXPECT_EQ(TallySession::currentSession(), session);  // neither uploaded nor removed
    session->saveSession();
    EXPECT_FALSE(TallySession::currentSession());
    EXPECT_FALSE(FileManager::fileExists(TallySession::currentSessionFilePath()));
    ASSERT_EQ(TallySession::savedSessions().size(), 1u);
    EXPECT_EQ(*TallySession::savedSessions()[0].data(), *session->data());
}

TEST_F(TallySessionTest, ArchiveKeepsTheRecordedState) {
    auto session = TallySession::createActiveTallySession("KEY");
    session->recordEventWithParametersTimed("e", Value::Dictionary{{"k", Value("v")}}, true);
    session->recordErrorMessageExceptionString("id", "message", "detail");
    session->recordAdImpression(bytes({1, 2, 3}));
    session->recordAdSlotAdImpression(bytes({4}));
    session->setUserID("user");
    session->setGender("f");
    session->setAge(30);
    session->maybeIncrementPageView();
    session->saveToDisk();
    auto back = readCurrentFile();
    ASSERT_TRUE(back);
    EXPECT_EQ(*back->data(), *session->data());
    EXPECT_EQ(back->eventLog().size(), 1u);
    EXPECT_EQ(back->userID(), "user");
    EXPECT_EQ(back->gender(), 0);
    EXPECT_EQ(back->age(), session->age());
    // Flags that are not archived come back off.
    EXPECT_FALSE(back->eventLoggingEnabled());
    EXPECT_FALSE(back->sessionReportsOnCloseEnabled());
}

TEST_F(TallySessionTest, AnUnfinishedSessionIsFoundCrashedAtTheNextStart) {
    auto first = TallySession::createActiveTallySession("KEY");
    first->recordErrorMessageExceptionString("boom", "", "");  // archived
    const Date firstStart = first->startTime();
    // The process dies: the next start finds the archive.
    TallySession::resetClassState();
    first.reset();
    advanceClock(60);
    auto second = TallySession::createActiveTallySession("KEY");
    EXPECT_NE(second->startTime(), firstStart);
    auto saved = TallySession::savedSessions();
    ASSERT_EQ(saved.size(), 1u);
    // The record of the crashed session starts with its version and start time.
    const Data& record = *saved[0].data();
    EXPECT_EQ(Data(record.begin(), record.begin() + 2), bytes({0, 1}));
    // And the new session replaced it in the current-session file.
    EXPECT_EQ(readCurrentFile()->startTime(), second->startTime());
}

TEST_F(TallySessionTest, UnreadableOrNewerArchivesAreNotCrashedSessions) {
    TallySession::createActiveTallySession("KEY");
    const std::string path = TallySession::currentSessionFilePath();
    TallySession::resetClassState();
    ASSERT_TRUE(FileManager::writeData(path, test::textBytes("torn archive")));
    TallySession::createActiveTallySession("KEY");
    EXPECT_TRUE(TallySession::savedSessions().empty());

    // A version this agent does not read.
    TallySession::resetClassState();
    KeyedArchiver coder;
    class Future : public Object, public Coding {
    public:
        std::string classNameForCoder() const override { return TallySession::kClassName; }
        void encodeWithCoder(KeyedArchiver& c) const override { c.encodeInt32(2, "serializationVersion"); }
    };
    ASSERT_TRUE(
        KeyedArchiver::archiveToFile(Value(std::static_pointer_cast<Object>(std::make_shared<Future>())), path));
    TallySession::createActiveTallySession("KEY");
    EXPECT_TRUE(TallySession::savedSessions().empty());
}

TEST_F(TallySessionTest, LocationPrecisionIsClampedNotUndefined) {
    EXPECT_DOUBLE_EQ(TallySession::reduceLocationPrecision(51.50749), 51.507);
    EXPECT_DOUBLE_EQ(TallySession::reduceLocationPrecision(-0.12779), -0.127);
    EXPECT_DOUBLE_EQ(TallySession::reduceLocationPrecision(3e6), 2147483.647);
    EXPECT_DOUBLE_EQ(TallySession::reduceLocationPrecision(-3e6), -2147483.648);
    EXPECT_DOUBLE_EQ(TallySession::reduceLocationPrecision(std::numeric_limits<double>::quiet_NaN()), 0.0);
    EXPECT_DOUBLE_EQ(TallySession::reduceLocationPrecision(std::numeric_limits<double>::infinity()), 2147483.647);
    auto session = TallySession::createActiveTallySession("KEY");
    session->setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(0, 0, 1e30f, std::nanf(""));
    EXPECT_TRUE(std::isfinite(session->accuracy()));
    EXPECT_GT(TallySession::deviceMemory(), 0);
}

TEST_F(TallySessionTest, UserDataRules) {
    auto session = TallySession::createActiveTallySession("KEY");
    EXPECT_EQ(session->userID(), "");
    struct GenderCase {
        const char* given;
        int expected;
    };
    for (const auto& c : {GenderCase{"m", 1}, GenderCase{"f", 0}, GenderCase{"M", -1}, GenderCase{"x", -1}}) {
        session->setGender(c.given);
        EXPECT_EQ(session->gender(), c.expected) << c.given;
    }
    for (int refused : {0, -5, 151}) {
        session->setAge(refused);
        EXPECT_FALSE(session->age()) << refused;
    }
    session->setAge(150);
    ASSERT_TRUE(session->age());
    // 1 January of the birth year, local time: the year is 2012 - 150.
    const auto year = DateFormatter("yyyy", DateFormatter::TimeZone::localZone()).stringFromDate(*session->age());
    EXPECT_EQ(year, "1862");
    EXPECT_EQ(DateFormatter("MM-dd HH:mm", DateFormatter::TimeZone::localZone()).stringFromDate(*session->age()),
              "01-01 00:00");
}

}  // namespace
}  // namespace clipora
