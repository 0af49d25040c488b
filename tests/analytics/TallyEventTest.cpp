#include "analytics/TallyEvent.h"

#include "analytics/TallyProtocolData.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "tests/analytics/AnalyticsTest.h"

namespace clipora {
namespace {

using namespace platform;
using test::bytes;

class TallyEventTest : public test::AnalyticsTest {};

Data concat(std::initializer_list<Data> parts) {
    Data all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST_F(TallyEventTest, UntimedEventBytesRelativeToTheSessionStart) {
    const Date sessionStart = Date::now();
    advanceClock(1.5);
    auto event =
        TallyEvent::initWithNameTimedParameters("Go", false, Value::Dictionary{{"n", Value(42)}, {"k", Value("v")}});
    EXPECT_EQ(event->eventLogId(), 1);
    EXPECT_FALSE(event->isUnterminated());
    EXPECT_EQ(event->duration(), 0);
    // Parameters in the dictionary's order ("k" before "n"); the number as text.
    const Data expected =
        concat({bytes({0, 1}), bytes({0, 2, 'G', 'o'}), bytes({0, 2}), bytes({0, 1, 'k'}), bytes({0, 1, 'v'}),
                bytes({0, 1, 'n'}), bytes({0, 2, '4', '2'}), bytes({0, 0, 0, 0, 0, 0, 0x05, 0xDC}),  // 1500 ms
                bytes({0, 0, 0, 0, 0, 0, 0, 0})});
    EXPECT_EQ(event->dataRelativeToSessionStart(sessionStart), expected);
}

TEST_F(TallyEventTest, TimedEventsRunThenHaveADuration) {
    const Date sessionStart = Date::now();
    auto event = TallyEvent::initWithNameTimed("T", true);
    EXPECT_TRUE(event->isUnterminated());
    const Data running = event->dataRelativeToSessionStart(sessionStart);
    EXPECT_EQ(Data(running.end() - 8, running.end()), Data(8, 0));             // still running: duration 0
    EXPECT_EQ(Data(running.begin() + 5, running.begin() + 7), bytes({0, 0}));  // no parameters
    advanceClock(2.25);
    event->setEnded(Date::now());
    EXPECT_FALSE(event->isUnterminated());
    EXPECT_EQ(event->duration(), 2250);
    const Data ended = event->dataRelativeToSessionStart(sessionStart);
    EXPECT_EQ(Data(ended.end() - 8, ended.end()), bytes({0, 0, 0, 0, 0, 0, 0x08, 0xCA}));
    // A start before the session start is a negative offset, sign-extended.
    const Data early = event->dataRelativeToSessionStart(Date(sessionStart.timeIntervalSinceReferenceDate() + 1));
    EXPECT_EQ(Data(early.end() - 16, early.end() - 8), bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFC, 0x18}));
}

TEST_F(TallyEventTest, IdsComeFromTheEventCounterAndWrapInTheRecord) {
    auto first = TallyEvent::initWithName("a");
    auto second = TallyEvent::initWithName("b");
    EXPECT_EQ(first->eventLogId(), 1);
    EXPECT_EQ(second->eventLogId(), 2);
    second->setEventLogId(65537);
    const Data record = second->dataRelativeToSessionStart(Date::now());
    EXPECT_EQ(Data(record.begin(), record.begin() + 2), bytes({0, 1}));
    TallyAutoIncrement::instance()->resetAll();
    EXPECT_EQ(TallyEvent::initWithName("c")->eventLogId(), 1);
}

TEST_F(TallyEventTest, ArchivingKeepsEveryField) {
    TallyEvent::registerCoding();
    auto event = TallyEvent::initWithNameTimedParameters("Timed", true, Value::Dictionary{{"a", Value("b")}});
    advanceClock(3);
    event->setEnded(Date::now());
    event->setAutomaticallyEnded(true);
    auto archived = KeyedArchiver::archivedData(Value(std::static_pointer_cast<Object>(event)));
    ASSERT_TRUE(archived);
    auto root = KeyedUnarchiver::unarchivedObjectOfAnyClass(*archived);
    ASSERT_TRUE(root);
    auto back = root->objectAs<TallyEvent>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name(), "Timed");
    EXPECT_EQ(back->started(), event->started());
    EXPECT_EQ(back->ended(), event->ended());
    EXPECT_TRUE(back->timed());
    EXPECT_TRUE(back->automaticallyEnded());
    EXPECT_EQ(back->parameters(), event->parameters());
    EXPECT_EQ(back->eventLogId(), event->eventLogId());
}

}  // namespace
}  // namespace clipora
