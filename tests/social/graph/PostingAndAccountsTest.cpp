#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "social/graph/GetAccounts.h"
#include "social/graph/GetFanPages.h"
#include "social/graph/GetUserName.h"
#include "social/graph/Posting.h"
#include "social/graph/StreamPublish.h"
#include "social/graph/StreamRemove.h"
#include "tests/social/graph/GraphTest.h"

namespace clipora {
namespace {

using standin::StandinHost;

class PostingAndAccountsTest : public test::GraphTest {
protected:
    void replyWith(const std::string& path, const std::string& body) {
        standin::StandinKnob knob;
        knob.body = body;
        knob.contentType = "application/json";
        server_->setKnob(path, knob);
    }
    const test::GraphReport& onlyReport() {
        EXPECT_TRUE(waitForReports(1));
        EXPECT_EQ(recorder_->reports.size(), 1u);
        static const test::GraphReport none;
        return recorder_->reports.empty() ? none : recorder_->reports[0];
    }
};

// Parameter lists end at their first absent value.
TEST_F(PostingAndAccountsTest, PostParametersEndAtTheFirstAbsentValue) {
    struct Case {
        std::optional<std::string> link, comment;
        std::vector<std::string> sent;
    };
    for (const Case& c :
         std::vector<Case>{{"https://www.social.test/x", std::nullopt, {"url"}}, {std::nullopt, "c", {}}}) {
        server_->clearRequests();
        recorder_->reports.clear();
        StreamPublish::initWithDelegate(session_, recorder_)->postLinkWithComment(c.link, c.comment);
        onlyReport();
        auto posts = server_->requestsTo("/method/links.post");
        ASSERT_EQ(posts.size(), 1u);
        for (const char* name : {"url", "comment"}) {
            bool expected = std::find(c.sent.begin(), c.sent.end(), name) != c.sent.end();
            EXPECT_EQ(posts[0].hasParam(name), expected) << name;
        }
    }
}

TEST_F(PostingAndAccountsTest, FeedStory) {
    auto op = StreamPublish::initWithDelegate(session_, recorder_);
    op->postToNewFeedNameMessage("200001", "Standin Films", "Hello");
    EXPECT_EQ(op->timeToWaitBeforeTimeout(), StreamPublish::kFeedTimeout);
    const auto& report = onlyReport();
    ASSERT_TRUE(report.success) << (report.error ? report.error->description() : "");
    ASSERT_TRUE(op->lastPostID());
    EXPECT_EQ(report.result, op->lastPostID());
    auto posts = server_->requestsTo("/method/stream.publish");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].param("message"), "Hello");
    EXPECT_EQ(posts[0].param("attachment"), StreamPublish::kAttachment);
    EXPECT_EQ(posts[0].param("action_links"), StreamPublish::kActionLinks);
    EXPECT_EQ(posts[0].param("target_id"), "200001");

    // Without a target id the first three are sent.
    server_->clearRequests();
    recorder_->reports.clear();
    op->postToNewFeedNameMessage(std::nullopt, "Nobody", "Hi");
    ASSERT_TRUE(waitForReports(1));
    posts = server_->requestsTo("/method/stream.publish");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_TRUE(posts[0].hasParam("action_links"));
    EXPECT_FALSE(posts[0].hasParam("target_id"));

    // A failed post keeps the earlier id.
    auto earlier = op->lastPostID();
    ASSERT_TRUE(earlier);
    recorder_->reports.clear();
    op->postToNewFeedNameMessage("999", "Nobody", "Hi");  // an unknown target
    ASSERT_TRUE(waitForReports(1));
    EXPECT_FALSE(recorder_->reports[0].success);
    EXPECT_EQ(op->lastPostID(), earlier);
}

TEST_F(PostingAndAccountsTest, RemoveAndGraphPostings) {
    auto remove = StreamRemove::initWithDelegate(session_, recorder_);
    remove->execute("100001_1");
    onlyReport();
    auto removals = server_->requestsTo("/method/stream.remove");
    ASSERT_EQ(removals.size(), 1u);
    EXPECT_EQ(removals[0].param("post_id"), "100001_1");

    struct Case {
        std::string label;
        void (*start)(Posting&);
        std::string path, method;
        std::optional<std::string> message;
    };
    const std::vector<Case> cases = {
        {"like", [](Posting& p) { p.likeObjectID("400001"); }, "/400001/likes", "POST", std::nullopt},
        {"comment", [](Posting& p) { p.commentObjectIDMessage("400001", "Nice!"); }, "/400001/comments", "POST",
         "Nice!"},
        {"unlike", [](Posting& p) { p.deleteLike("400001"); }, "/400001/likes", "DELETE", std::nullopt},
        {"uncomment", [](Posting& p) { p.deleteComment("400001"); }, "/400001/comments", "DELETE", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        server_->clearRequests();
        recorder_->reports.clear();
        auto posting = Posting::initWithDelegate(session_, recorder_);
        c.start(*posting);
        const auto& report = onlyReport();
        EXPECT_TRUE(report.success) << (report.error ? report.error->description() : "");
        EXPECT_TRUE(report.result);
        auto sent = server_->requestsTo(c.path, StandinHost::Graph);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].method, c.method);
        EXPECT_EQ(sent[0].hasParam("message"), c.message.has_value());
        if (c.message) {
            EXPECT_EQ(sent[0].param("message"), *c.message);
        }
    }

    // Without a delegate a success reaches nobody and stays recorded.
    auto quiet = Posting::initWithDelegate(session_, {});
    quiet->likeObjectID("400001");
    ASSERT_TRUE(pumpUntil([&] { return !quiet->isRunning(); }));
    EXPECT_TRUE(quiet->success());
}

TEST_F(PostingAndAccountsTest, Accounts) {
    auto op = GetAccounts::initWithDelegate(session_, recorder_);
    op->execute();
    const auto& report = onlyReport();
    ASSERT_TRUE(report.success) << (report.error ? report.error->description() : "");
    ASSERT_TRUE(report.pages);
    ASSERT_EQ(report.pages->size(), 1u);
    EXPECT_FALSE((*report.pages)[0]->name().value_or("").empty());
    EXPECT_TRUE((*report.pages)[0]->accessToken());
    ASSERT_EQ(server_->requestsTo("/me/accounts", StandinHost::Graph).size(), 1u);

    recorder_->reports.clear();
    replyWith("/me/accounts", R"({"data":[
        {"name":"A","id":1,"category":"Movie","access_token":"ta"},
        {"name":"","id":2,"access_token":"tb"},
        {"name":"C","id":"3","access_token":"tc"}]})");
    op->execute();
    const auto& three = onlyReport();
    ASSERT_TRUE(three.pages);
    ASSERT_EQ(three.pages->size(), 2u);
    EXPECT_EQ((*three.pages)[0]->pageID(), "1");
    EXPECT_EQ((*three.pages)[0]->category(), "Movie");
    EXPECT_EQ((*three.pages)[0]->accessToken(), "ta");
    EXPECT_EQ((*three.pages)[0]->lastPostID(), std::nullopt);
    EXPECT_EQ((*three.pages)[1]->name(), "C");
    EXPECT_EQ((*three.pages)[1]->accessToken(), "tc");

    for (const char* junk : {R"([{"name":"A"}])", R"({"data":{"name":"A"}})", R"({"data":["A"]})", R"("text")"}) {
        SCOPED_TRACE(junk);
        recorder_->reports.clear();
        replyWith("/me/accounts", junk);
        op->execute();
        const auto& failed = onlyReport();
        EXPECT_FALSE(failed.success);
        EXPECT_FALSE(failed.pages);
        ASSERT_TRUE(failed.error);
        EXPECT_EQ(failed.error->code(), FBBaseClass::kJunkDataErrorCode);
    }
}

TEST_F(PostingAndAccountsTest, FanPages) {
    auto op = GetFanPages::initWithDelegate(session_, recorder_);
    op->executeUid("group", "me()");
    const auto& groups = onlyReport();
    ASSERT_TRUE(groups.success);
    ASSERT_TRUE(groups.result && groups.result->isArray());
    auto queries = fqlQueries();
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].param("query"),
              "SELECT gid, name FROM group WHERE gid IN (SELECT gid FROM group_member WHERE uid == me())");

    recorder_->reports.clear();
    op->executeUid("page", "100001");
    onlyReport();
    auto info = server_->requestsTo("/method/pages.getInfo");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0].param("fields"), "name");
    EXPECT_FALSE(info[0].hasParam("uid"));
    EXPECT_EQ(op->which(), "page");
}

TEST_F(PostingAndAccountsTest, UserName) {
    auto op = GetUserName::initWithDelegate(session_, recorder_);
    op->execute();
    const auto& report = onlyReport();
    ASSERT_TRUE(report.success) << (report.error ? report.error->description() : "");
    ASSERT_TRUE(report.user);
    EXPECT_EQ(report.user->uid(), "100001");
    EXPECT_EQ(report.user->name(), "Robin");
    EXPECT_EQ(report.user->profilePhotoLink(), "https://graph.social.test/files/pics/100001.png");
    auto sent = server_->requestsTo("/fql", StandinHost::Graph);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "GET");
    EXPECT_EQ(sent[0].param("q"), GetUserName::kQuery);

    // Anything but {"data": [row, ...]} is reported as junk, not kept silent.
    for (const char* junk : {R"({"data":[{"uid":1}],"paging":{}})", R"({"data":[]})", R"({"data":[5]})",
                             R"([{"uid":1}])", "<html></html>"}) {
        SCOPED_TRACE(junk);
        recorder_->reports.clear();
        replyWith("/fql", junk);
        op->execute();
        const auto& failed = onlyReport();
        EXPECT_FALSE(failed.success);
        EXPECT_EQ(failed.user, nullptr);
        ASSERT_TRUE(failed.error);
        EXPECT_EQ(failed.error->code(), FBBaseClass::kJunkDataErrorCode);
    }
}

}  // namespace
}  // namespace clipora
