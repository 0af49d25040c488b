#include "analytics/TallyEvent.h"
#include "analytics/TallySession.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "tests/analytics/AnalyticsTest.h"

namespace clipora {
namespace {

using namespace platform;
using test::bytes;

class TallyRecordingTest : public test::AnalyticsTest {
protected:
    void SetUp() override {
        AnalyticsTest::SetUp();
        session = TallySession::createActiveTallySession("KEY");
    }
    static Value::Dictionary parameters(int count) {
        Value::Dictionary p;
        for (int i = 0; i < count; ++i) p.emplace("p" + std::to_string(i), Value(i));
        return p;
    }
    std::shared_ptr<TallySession> session;
};

TEST_F(TallyRecordingTest, EventLimits) {
    session->recordEventWithParameters("ten", parameters(10));
    EXPECT_TRUE(session->eventLogComplete());
    session->recordEventWithParameters("eleven", parameters(11));
    EXPECT_FALSE(session->eventLogComplete());
    EXPECT_FALSE(session->eventCounts().contains("eleven"));
    EXPECT_EQ(session->eventLog().size(), 1u);
    session->recordEventWithParameters("", std::nullopt);
    EXPECT_EQ(session->eventCounts().size(), 1u);

    // 100 distinct names; the 101st is neither counted nor logged.
    for (int i = 1; i < 100; ++i) session->recordEventWithParameters("name" + std::to_string(i), std::nullopt);
    EXPECT_EQ(session->eventCounts().size(), 100u);
    session->recordEventWithParameters("one too many", std::nullopt);
    EXPECT_EQ(session->eventCounts().size(), 100u);
    EXPECT_FALSE(session->eventCounts().contains("one too many"));
    EXPECT_EQ(session->eventLog().size(), 100u);
    // A known name still counts and logs.
    session->recordEventWithParameters("name1", std::nullopt);
    EXPECT_EQ(session->eventCounts().at("name1").integer(), 2);
    EXPECT_EQ(session->eventLog().size(), 101u);

    // The log holds 1,000 occurrences; the 1,001st is counted only.
    for (std::size_t i = session->eventLog().size(); i < 1000; ++i)
        session->recordEventWithParameters("name2", std::nullopt);
    EXPECT_EQ(session->eventLog().size(), 1000u);
    const auto before = session->eventCounts().at("name2").longLongValue();
    session->recordEventWithParameters("name2", std::nullopt);
    EXPECT_EQ(session->eventCounts().at("name2").longLongValue(), before + 1);
    EXPECT_EQ(session->eventLog().size(), 1000u);
}

TEST_F(TallyRecordingTest, EventsWithLoggingOffAreCountedOnly) {
    session->setEventLoggingEnabled(false);
    session->recordEventWithParameters("e", std::nullopt);
    EXPECT_EQ(session->eventCounts().at("e").integer(), 1);
    EXPECT_TRUE(session->eventLog().empty());
    EXPECT_FALSE(session->eventLogComplete());
}

TEST_F(TallyRecordingTest, TimedEventsEndByNameOrWithTheSession) {
    session->recordEventWithParametersTimed("t", std::nullopt, true);
    session->recordEventWithParametersTimed("t", std::nullopt, true);
    session->recordEventWithParametersTimed("other", std::nullopt, true);
    advanceClock(1);
    session->endTimedEventWithParameters("t", Value::Dictionary{{"done", Value("yes")}});
    auto log = session->eventLog();
    for (int i : {0, 1}) {
        EXPECT_FALSE(log[i]->isUnterminated());
        EXPECT_EQ(log[i]->duration(), 1000);
        EXPECT_EQ(log[i]->parameters(), (Value::Dictionary{{"done", Value("yes")}}));
    }
    EXPECT_TRUE(log[2]->isUnterminated());
    advanceClock(1);
    session->endSessionAndSendRemoveCurrentSession(false, false);
    log = session->eventLog();
    EXPECT_TRUE(log[2]->automaticallyEnded());
    EXPECT_EQ(log[2]->duration(), 2000);
    EXPECT_FALSE(log[0]->automaticallyEnded());
}

TEST_F(TallyRecordingTest, ErrorsAreAllCountedTenKept) {
    session->recordErrorMessageException("e0", std::nullopt, std::nullopt);
    session->recordErrorMessageException("e1", "m", Exception("Name", "Reason"));
    session->recordErrorMessageError("e2", "m", Error::withDescription("D", 3, "Broken"));
    auto errors = session->errors();
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(*errors[0].at(0), Value(1));
    EXPECT_EQ(*errors[0].at(3), Value(""));
    EXPECT_EQ(*errors[0].at(4), Value("nil"));
    EXPECT_EQ(*errors[1].at(4), Value("Name: Reason"));
    EXPECT_EQ(*errors[2].at(4), Value("Broken: (null)"));
    for (int i = 3; i < 11; ++i) session->recordErrorMessageExceptionString("e", "", "");
    EXPECT_EQ(session->totalErrorCount(), 11);
    EXPECT_EQ(session->errors().size(), 10u);
}

TEST_F(TallyRecordingTest, ImpressionsAreReplacedOrAddedUpToAThousand) {
    session->recordAdImpression(bytes({1}));
    session->recordAdImpression(bytes({2}));
    session->recordAdImpression(bytes({1}));
    EXPECT_EQ(session->adLog(), (std::vector<Data>{bytes({1}), bytes({2})}));
    EXPECT_TRUE(session->appSpotAdLog().empty());  // the lists are separate

    // Every impression rewrites the archive, so a nearly full list is read
    // from one instead of being recorded block by block.
    class NearlyFull : public Object, public Coding {
    public:
        std::string classNameForCoder() const override { return TallySession::kClassName; }
        void encodeWithCoder(KeyedArchiver& coder) const override {
            coder.encodeInt32(1, "serializationVersion");
            Value::Array blocks;
            for (int i = 0; i < 999; ++i) blocks.emplace_back(bytes({i & 0xFF, i >> 8}));
            coder.encodeObject(Value(std::move(blocks)), "appSpotAdLog");
        }
    };
    auto archived =
        KeyedArchiver::archivedData(Value(std::static_pointer_cast<Object>(std::make_shared<NearlyFull>())));
    auto full = KeyedUnarchiver::unarchivedObjectOfAnyClass(*archived)->objectAs<TallySession>();
    ASSERT_TRUE(full);
    full->recordAdSlotAdImpression(bytes({0xAA}));
    EXPECT_EQ(full->appSpotAdLog().size(), 1000u);
    full->recordAdSlotAdImpression(bytes({0xBB}));
    full->recordAdSlotAdImpression(bytes({0xAA}));  // equal, but the list is full: no replacement either
    EXPECT_EQ(full->appSpotAdLog().size(), 1000u);
    EXPECT_EQ(full->appSpotAdLog().back(), bytes({0xAA}));
}

TEST_F(TallyRecordingTest, PageViewsAreSpacedByMoreThanAThirdOfASecond) {
    struct Step {
        double after;
        int count;
    };
    session->maybeIncrementPageView();
    EXPECT_EQ(session->pageViewCount(), 1);
    for (const auto& step : {Step{0.2, 1}, Step{0.31, 2}, Step{0.3, 2}, Step{0.31, 3}}) {
        advanceClock(step.after);
        session->maybeIncrementPageView();
        EXPECT_EQ(session->pageViewCount(), step.count) << step.after;
    }
}

}  // namespace
}  // namespace clipora
