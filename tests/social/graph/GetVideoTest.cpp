#include "social/graph/GetVideo.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Date.h"
#include "platform/foundation/Log.h"
#include "social/graph/FBBaseClass.h"
#include "tests/social/graph/GraphTest.h"

namespace clipora {
namespace {

using platform::Date;

const std::string kSelect =
    "SELECT vid, title, description, thumbnail_link, updated_time, owner, src, src_hq FROM video WHERE";

class GetVideoTest : public test::GraphTest {
protected:
    std::shared_ptr<GetVideo> makeGetVideo() { return GetVideo::initWithDelegate(session_, recorder_); }

    static std::vector<std::string> ids(const std::vector<std::shared_ptr<Video>>& videos) {
        std::vector<std::string> result;
        for (const auto& v : videos) result.push_back(v->videoID().value_or("?"));
        return result;
    }
    static std::vector<std::string> owners(const std::vector<std::shared_ptr<Video>>& videos) {
        std::vector<std::string> result;
        for (const auto& v : videos) result.push_back(v->ownerName().value_or("?"));
        return result;
    }
};

TEST_F(GetVideoTest, EachScopeSendsItsQueryAndNamesTheOwners) {
    struct Case {
        int scope;
        bool oldGen;
        std::string nameQuery;  // empty: none
        std::string videoQuery;
        std::vector<std::string> vids;
        std::vector<std::string> owners;
    };
    const std::string friends = "SELECT uid, name FROM user WHERE uid in (SELECT uid2 FROM friend WHERE uid1 == me())";
    const std::vector<Case> cases = {
        {0,
         false,
         "",
         kSelect + "  owner == me() ORDER BY updated_time DESC LIMIT 100 ",
         {"400003", "400001", "400002"},
         {"Me", "Me", "Me"}},
        {0,
         true,
         "",
         kSelect + " updated_time > 1267946339 and owner == me() ORDER BY updated_time DESC LIMIT 100 ",
         {"400003", "400001"},
         {"Me", "Me"}},
        // A tagged video whose owner is no friend keeps "Me".
        {1,
         false,
         friends,
         kSelect + "  vid in (SELECT vid FROM video_tag WHERE subject == me()) ORDER BY updated_time DESC LIMIT 100",
         {"400041", "400012"},
         {"Me", "Alex Archer"}},
        {2,
         false,
         friends,
         kSelect + "  owner in (SELECT uid2 FROM friend WHERE uid1 == me()) ORDER BY updated_time DESC LIMIT 100",
         {"400021", "400011", "400031", "400012", "400022"},
         {"Blair Brook", "Alex Archer", "Casey Crane", "Alex Archer", "Blair Brook"}},
        {2,
         true,
         friends,
         kSelect + " updated_time > 1267946339 and owner in (SELECT uid2 FROM friend WHERE uid1 == me()) ORDER BY "
                   "updated_time DESC LIMIT 100",
         {"400021", "400011", "400031", "400012"},
         {"Blair Brook", "Alex Archer", "Casey Crane", "Alex Archer"}},
        {3,
         false,
         "SELECT page_id, name FROM page WHERE page_id in (SELECT page_id FROM page_fan WHERE uid == me())",
         kSelect + "  owner IN (SELECT page_id FROM page_fan WHERE uid == me()) ORDER BY updated_time DESC LIMIT 100",
         {"400101", "400102"},
         {"Standin Films", "Loopback Music"}},
        {4,
         false,
         "SELECT gid, name FROM group WHERE gid in (SELECT gid FROM group_member WHERE uid == me())",
         kSelect + "  owner IN (SELECT gid FROM group_member WHERE uid == me()) ORDER BY updated_time DESC LIMIT 100",
         {"400201"},
         {"Local Hosts Club"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "scope " << c.scope << (c.oldGen ? " old-gen" : ""));
        server_->clearRequests();
        recorder_->reports.clear();
        auto op = makeGetVideo();
        op->executeForWhoIsOldGen("me()", c.scope, c.oldGen);
        ASSERT_TRUE(waitForReports(1));
        const auto& report = recorder_->reports[0];
        ASSERT_TRUE(report.success) << (report.error ? report.error->description() : "");
        ASSERT_TRUE(report.videos);
        EXPECT_EQ(ids(*report.videos), c.vids);
        EXPECT_EQ(owners(*report.videos), c.owners);

        auto queries = fqlQueries();
        ASSERT_EQ(queries.size(), c.nameQuery.empty() ? 1u : 2u);
        if (!c.nameQuery.empty()) {
            EXPECT_EQ(queries[0].param("query"), c.nameQuery);
        }
        EXPECT_EQ(queries.back().param("query"), c.videoQuery);
        EXPECT_EQ(queries.back().method, "POST");
        EXPECT_EQ(op->timeToWaitBeforeTimeout(), GetVideo::kVideoQueryTimeout);
    }
}

TEST_F(GetVideoTest, RowsBecomeRecords) {
    auto op = makeGetVideo();
    op->executeForWhoIsOldGen("me()", 0, false);
    ASSERT_TRUE(waitForReports(1));
    const auto& videos = *recorder_->reports[0].videos;
    ASSERT_EQ(videos.size(), 3u);
    const Video& cooks = *videos[0];  // "description" and "src_hq" are null in the data set
    EXPECT_EQ(cooks.title(), "Robin cooks");
    EXPECT_EQ(cooks.descriptionText(), std::nullopt);
    EXPECT_EQ(cooks.srcHD(), std::nullopt);
    EXPECT_EQ(cooks.ownerUID(), "100001");
    EXPECT_EQ(cooks.updatedTime(), Date::fromTimeIntervalSince1970(1335000000));
    EXPECT_EQ(cooks.src(), "https://graph.social.test/files/videos/400003.mp4");
    EXPECT_FALSE(cooks.isLocal());
    EXPECT_EQ(cooks.url(), std::nullopt);
    EXPECT_TRUE(videos[1]->srcHD());
}

// Replies of the wrong shape end in junk data (-3); fields of the wrong kind
// are read as text where they are numbers and left absent otherwise.
TEST_F(GetVideoTest, RepliesOfTheWrongShape) {
    struct Case {
        std::string label;
        std::string body;
        std::string contentType;
    };
    const std::vector<Case> junk = {
        {"html page", "<html><body>Service unavailable</body></html>", "text/html"},
        {"dictionary", R"({"data":[{"vid":"1"}]})", "application/json"},
        {"row not an object", R"([{"vid":"1","owner":1}, 7])", "application/json"},
        {"bare number", "42", "application/json"},
        {"empty body", "", "application/json"},
    };
    for (const auto& c : junk) {
        SCOPED_TRACE(c.label);
        recorder_->reports.clear();
        standin::StandinKnob knob;
        knob.body = c.body;
        knob.contentType = c.contentType;
        server_->setKnob("/method/fql.query", knob);
        platform::Log::Capture log;
        auto op = makeGetVideo();
        op->executeForWhoIsOldGen("me()", 0, false);
        ASSERT_TRUE(waitForReports(1));
        const auto& report = recorder_->reports[0];
        EXPECT_FALSE(report.success);
        ASSERT_TRUE(report.error);
        EXPECT_EQ(report.error->code(), FBBaseClass::kJunkDataErrorCode);
        EXPECT_EQ(report.error->domain(), FBBaseClass::kJunkDataErrorDomain);
        EXPECT_FALSE(report.videos);
        EXPECT_TRUE(log.contains("GetVideo Failed: Error(-3)"));
    }

    recorder_->reports.clear();
    standin::StandinKnob odd;
    odd.body = R"([{"vid":null,"owner":1},
                   {"vid":401,"owner":"100002","title":7.5,"description":["x"],"thumbnail_link":{"a":1},
                    "updated_time":"yesterday","src":true,"src_hq":null},
                   {"vid":"402","owner":[1],"updated_time":null},
                   {}])";
    odd.contentType = "application/json";
    server_->setKnob("/method/fql.query", odd);
    auto op = makeGetVideo();
    op->executeForWhoIsOldGen("me()", 0, false);
    ASSERT_TRUE(waitForReports(1));
    const auto& report = recorder_->reports[0];
    ASSERT_TRUE(report.success);
    const auto& videos = *report.videos;
    ASSERT_EQ(videos.size(), 3u);  // the row with a null "vid" is skipped
    EXPECT_EQ(videos[0]->videoID(), "401");
    EXPECT_EQ(videos[0]->ownerUID(), "100002");
    EXPECT_EQ(videos[0]->title(), "7.5");
    EXPECT_EQ(videos[0]->descriptionText(), std::nullopt);
    EXPECT_EQ(videos[0]->thumbnailLink(), std::nullopt);
    EXPECT_EQ(videos[0]->updatedTime(), std::nullopt);
    EXPECT_EQ(videos[0]->src(), std::nullopt);
    EXPECT_EQ(videos[1]->ownerUID(), std::nullopt);
    EXPECT_EQ(videos[1]->updatedTime(), Date::now());  // null: the time of conversion
    EXPECT_EQ(videos[1]->ownerName(), "Me");
    EXPECT_EQ(videos[2]->videoID(), std::nullopt);
}

// A name reply that is no list is a failure of the name query; the video
// query still runs, and every owner is "Me".
TEST_F(GetVideoTest, FailedNameQueryStillQueriesVideos) {
    standin::StandinKnob knob;
    knob.body = R"({"uid":100002,"name":"Alex Archer"})";
    knob.contentType = "application/json";
    knob.times = 1;
    server_->setKnob("/method/fql.query", knob);
    platform::Log::Capture log;
    auto op = makeGetVideo();
    op->executeForWhoIsOldGen("me()", 2, false);
    ASSERT_TRUE(waitForReports(1));
    EXPECT_TRUE(log.contains("GetFriend Failed: Error(-3)"));
    ASSERT_TRUE(recorder_->reports[0].success);
    EXPECT_EQ(owners(*recorder_->reports[0].videos), std::vector<std::string>(5, "Me"));
    EXPECT_EQ(op->friendList(), std::nullopt);
    ASSERT_TRUE(op->getFriend());
    EXPECT_FALSE(op->getFriend()->success());
    EXPECT_EQ(fqlQueries().size(), 2u);
}

// A refresh while the previous run is still waiting for names: the earlier
// run is cancelled outright, only the new run reports, and once.
TEST_F(GetVideoTest, RefreshDropsTheEarlierRun) {
    standin::StandinKnob hold;
    hold.hold = true;
    hold.times = 2;  // both name queries
    server_->setKnob("/method/fql.query", hold);
    auto op = makeGetVideo();
    op->executeForWhoIsOldGen("me()", 2, false);
    ASSERT_TRUE(waitForHeld(1));
    auto firstNames = op->getFriend();
    op->executeForWhoIsOldGen("me()", 3, false);
    ASSERT_TRUE(waitForHeld(2));
    EXPECT_NE(op->getFriend(), firstNames);
    EXPECT_FALSE(firstNames->isRunning());
    EXPECT_EQ(firstNames->delegate(), nullptr);
    server_->releaseHeld();

    ASSERT_TRUE(waitForReports(1));
    EXPECT_FALSE(pumpUntil([&] { return recorder_->reports.size() > 1; }, 0.5));
    ASSERT_TRUE(recorder_->reports[0].success);
    EXPECT_EQ(ids(*recorder_->reports[0].videos), (std::vector<std::string>{"400101", "400102"}));
    auto queries = fqlQueries();
    ASSERT_EQ(queries.size(), 3u);
    EXPECT_NE(queries.back().param("query").find("page_fan"), std::string::npos);
    // Nothing left under way in the session.
    EXPECT_TRUE(pumpUntil([&] { return session_->requests().empty(); }));
}

// One watchdog per run: it does not outlive its run, and every run gets one,
// including runs after one that received a response head.
TEST_F(GetVideoTest, EveryRunHasItsOwnWatchdog) {
    useManualClock();
    auto op = makeGetVideo();
    op->executeForWhoIsOldGen("me()", 0, false);
    ASSERT_TRUE(waitForReports(1));
    ASSERT_TRUE(recorder_->reports[0].success);
    EXPECT_TRUE(op->didReceiveData());
    EXPECT_EQ(op->watchdog(), nullptr);

    standin::StandinKnob hold;
    hold.hold = true;
    server_->setKnob("/method/fql.query", hold);
    op->executeForWhoIsOldGen("me()", 0, false);  // run 2: no answer
    ASSERT_TRUE(waitForHeld(1));
    EXPECT_FALSE(op->didReceiveData());
    advanceClock(200);
    pumpPending();
    op->executeForWhoIsOldGen("me()", 0, false);  // run 3 replaces run 2
    ASSERT_TRUE(waitForHeld(2));
    advanceClock(150);  // run 2's watchdog would be due now
    pumpPending();
    EXPECT_EQ(recorder_->reports.size(), 1u);
    advanceClock(150);  // run 3's is
    ASSERT_TRUE(waitForReports(2));
    const auto& report = recorder_->reports[1];
    EXPECT_FALSE(report.success);
    ASSERT_TRUE(report.error);
    EXPECT_EQ(report.error->code(), FBBaseClass::kTimeoutErrorCode);
    EXPECT_EQ(report.error->domain(), FBBaseClass::kTimeoutErrorDomain);
    EXPECT_FALSE(report.videos);

    server_->releaseHeld();
    EXPECT_TRUE(pumpUntil([&] { return session_->requests().empty(); }));
    advanceClock(1000);
    EXPECT_FALSE(pumpUntil([&] { return recorder_->reports.size() > 2; }, 0.5));
}

}  // namespace
}  // namespace clipora
