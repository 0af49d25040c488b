#include "social/graph/FBBaseClass.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "social/graph/StreamPublish.h"
#include "social/sdk/FBHosts.h"
#include "social/sdk/FBRequest.h"
#include "tests/social/graph/GraphTest.h"

namespace clipora {
namespace {

class FBBaseClassTest : public test::GraphTest {
protected:
    std::shared_ptr<StreamPublish> makePublish() { return StreamPublish::initWithDelegate(session_, recorder_); }
    void holdLinks() {
        standin::StandinKnob hold;
        hold.hold = true;
        server_->setKnob("/method/links.post", hold);
    }
};

// Let go of right after it starts, the operation still posts and reports,
// and then goes away.
TEST_F(FBBaseClassTest, ReleasedOperationCompletes) {
    std::weak_ptr<StreamPublish> weak;
    {
        auto op = makePublish();
        weak = op;
        op->postLinkWithComment("https://www.social.test/video/video.php?v=400001", "Check out this cool video!");
    }
    EXPECT_FALSE(weak.expired());
    ASSERT_TRUE(waitForReports(1));
    const auto& report = recorder_->reports[0];
    ASSERT_TRUE(report.success) << (report.error ? report.error->description() : "");
    ASSERT_TRUE(report.result);  // the new link's id
    EXPECT_FALSE(report.result->isNull());
    auto posts = server_->requestsTo("/method/links.post");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].method, "POST");
    EXPECT_EQ(posts[0].param("url"), "https://www.social.test/video/video.php?v=400001");
    EXPECT_EQ(posts[0].param("comment"), "Check out this cool video!");
    EXPECT_TRUE(pumpUntil([&] { return weak.expired() && session_->requests().empty(); }));
}

// The watchdog reports a request without a response head once, cancels it
// (the session lets it go), and nothing of it arrives later; the released
// operation then goes away.
TEST_F(FBBaseClassTest, WatchdogReportsOnceAndCancels) {
    useManualClock();
    holdLinks();
    std::weak_ptr<StreamPublish> weak;
    {
        auto op = makePublish();
        weak = op;
        op->postLinkWithComment("https://www.social.test/x", "c");
        EXPECT_EQ(op->timeToWaitBeforeTimeout(), FBBaseClass::kDefaultTimeout);
    }
    ASSERT_TRUE(waitForHeld(1));
    advanceClock(29.5);
    pumpPending();
    EXPECT_TRUE(recorder_->reports.empty());
    EXPECT_FALSE(weak.expired());

    platform::Log::Capture log;
    advanceClock(0.5);
    ASSERT_TRUE(waitForReports(1));
    const auto& report = recorder_->reports[0];
    EXPECT_FALSE(report.success);
    ASSERT_TRUE(report.error);
    EXPECT_EQ(report.error->code(), -2);
    EXPECT_EQ(report.error->domain(), "Request is taking too long. Timeout.");
    EXPECT_TRUE(log.contains("StreamPublish Failed: Error(-2)"));
    // The cancelled request is complete, so the session has let it go.
    for (const auto& request : session_->requests()) EXPECT_EQ(request->url().find("links.post"), std::string::npos);

    server_->releaseHeld();
    advanceClock(100);
    EXPECT_FALSE(pumpUntil([&] { return recorder_->reports.size() > 1; }, 0.5));
    EXPECT_TRUE(weak.expired());
}

// A response head disarms the watchdog: a reply that takes longer than the
// delay after its head is a success.
TEST_F(FBBaseClassTest, ResponseHeadDisarmsTheWatchdog) {
    useManualClock();
    standin::StandinKnob slowBody;
    slowBody.bodyDelay = std::chrono::milliseconds(300);
    server_->setKnob("/method/links.post", slowBody);
    auto op = makePublish();
    op->postLinkWithComment("https://www.social.test/x", "c");
    ASSERT_TRUE(op->watchdog());
    ASSERT_TRUE(pumpUntil([&] { return op->didReceiveData(); }));
    EXPECT_EQ(op->watchdog(), nullptr);
    advanceClock(45);
    ASSERT_TRUE(waitForReports(1));
    EXPECT_TRUE(recorder_->reports[0].success);
    EXPECT_FALSE(pumpUntil([&] { return recorder_->reports.size() > 1; }, 0.3));
}

// -1 switches the watchdog off; a failure without any head is reported
// once, not again by the watchdog.
TEST_F(FBBaseClassTest, NoWatchdogAndSingleFailureReport) {
    useManualClock();
    holdLinks();
    auto op = makePublish();
    op->setTimeToWaitBeforeTimeout(FBBaseClass::kNoTimeout);
    op->postLinkWithComment("https://www.social.test/x", "c");
    ASSERT_TRUE(waitForHeld(1));
    EXPECT_EQ(op->watchdog(), nullptr);
    advanceClock(10000);
    pumpPending();
    EXPECT_TRUE(recorder_->reports.empty());
    op->cancelRequest();
    EXPECT_FALSE(op->isRunning());
    for (const auto& request : session_->requests()) EXPECT_EQ(request->url().find("links.post"), std::string::npos);
    server_->releaseHeld();

    // Nobody listens on the REST host now: the connection fails at once.
    FBHosts hosts;
    hosts.rest = "127.0.0.1:1";
    FBHosts::setCurrent(hosts);
    op->setTimeToWaitBeforeTimeout(0);
    op->postLinkWithComment("https://www.social.test/x", "c");
    ASSERT_TRUE(waitForReports(1));
    EXPECT_FALSE(recorder_->reports[0].success);
    EXPECT_NE(recorder_->reports[0].error->code(), -2);
    advanceClock(60);
    EXPECT_FALSE(pumpUntil([&] { return recorder_->reports.size() > 1; }, 0.3));
}

// Without a session nothing can be sent: the caller hears of it.
TEST_F(FBBaseClassTest, NoSessionIsReported) {
    auto op = StreamPublish::initWithDelegate(nullptr, recorder_);
    op->postLinkWithComment("https://www.social.test/x", "c");
    EXPECT_TRUE(recorder_->reports.empty());  // not from inside the call
    ASSERT_TRUE(waitForReports(1));
    EXPECT_FALSE(recorder_->reports[0].success);
    EXPECT_EQ(recorder_->reports[0].error->code(), FBBaseClass::kJunkDataErrorCode);
}

}  // namespace
}  // namespace clipora
