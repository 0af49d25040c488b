#include <gtest/gtest.h>

#include <string>

#include "app/AppConfig.h"
#include "app/ReviewRequest.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Application.h"
#include "tests/app/AppTest.h"
#include "tests/support/LoopbackServer.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class ReviewRequestTest : public test::AppTest {
protected:
    std::shared_ptr<UserDefaults> defaults() { return UserDefaults::standardUserDefaults(); }
    double now() { return Date::now().timeIntervalSinceReferenceDate(); }
    // Makes the prompt due: the first test sets the time, then it passes.
    void becomeDue() {
        EXPECT_FALSE(ReviewRequest::shouldAskForReview());
        advanceClock(ReviewRequest::kFirstDelay);
    }
};

TEST_F(ReviewRequestTest, FirstAskOnlySetsTheTimeThenLaunchesAreCounted) {
    EXPECT_FALSE(ReviewRequest::shouldAskForReview());
    EXPECT_DOUBLE_EQ(defaults()->doubleForKey(ReviewRequest::kNextTimeToAskKey), now() + 165600);
    advanceClock(165599);
    EXPECT_FALSE(ReviewRequest::shouldAskForReview());
    EXPECT_FALSE(ReviewRequest::shouldAskForReviewAtLaunch());  // not eligible: not counted
    EXPECT_EQ(defaults()->integerForKey(ReviewRequest::kSessionCountKey), 0);
    advanceClock(1);
    EXPECT_TRUE(ReviewRequest::shouldAskForReview());

    defaults()->setInteger(11, ReviewRequest::kSessionCountKey);
    EXPECT_FALSE(ReviewRequest::shouldAskForReviewAtLaunch());
    EXPECT_EQ(defaults()->integerForKey(ReviewRequest::kSessionCountKey), 12);
    EXPECT_TRUE(ReviewRequest::shouldAskForReviewAtLaunch());
    EXPECT_EQ(defaults()->integerForKey(ReviewRequest::kSessionCountKey), 13);
}

TEST_F(ReviewRequestTest, AnswersSetTheNextTimeAndResetTheCount) {
    becomeDue();
    defaults()->setInteger(20, ReviewRequest::kSessionCountKey);
    ReviewRequest::askForReview();
    EXPECT_EQ(AlertRegistry::topmostTitle(), "Enjoying Clipora?");
    EXPECT_EQ(AlertRegistry::topmostButtonTitles(),
              (std::vector<std::string>{"Remind me later", "Yes, rate it!", "Don't ask again"}));
    ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("Remind me later"));
    EXPECT_DOUBLE_EQ(defaults()->doubleForKey(ReviewRequest::kNextTimeToAskKey), now() + 82800);
    EXPECT_EQ(defaults()->integerForKey(ReviewRequest::kSessionCountKey), 0);
    EXPECT_FALSE(ReviewRequest::shouldAskForReview());
    advanceClock(82800);
    EXPECT_TRUE(ReviewRequest::shouldAskForReview());

    defaults()->setInteger(5, ReviewRequest::kSessionCountKey);
    ReviewRequest::askForReview();
    ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("Don't ask again"));
    EXPECT_EQ(defaults()->integerForKey(ReviewRequest::kSessionCountKey), 0);
    advanceClock(1e7);
    EXPECT_FALSE(ReviewRequest::shouldAskForReview());
}

TEST_F(ReviewRequestTest, RatingSilencesUntilTheVersionChangesAndOpensTheStoreThroughTheRedirects) {
    // The affiliate click host is played on loopback: it redirects to the
    // store's web page, which redirects on to the store application.
    test::LoopbackServer server;
    server.server().set_keep_alive_max_count(1);  // no idle connection to wait for at the end
    server.server().Get("/fs-bin/click", [&](const httplib::Request&, httplib::Response& response) {
        response.status = 302;
        response.set_header("Location", server.url("/store/review"));
    });
    server.server().Get("/store/review", [](const httplib::Request&, httplib::Response& response) {
        response.status = 302;
        response.set_header("Location", "itms-apps://store.test/app/id0?action=write-review");
    });
    server.start();
    AppConfig config = AppConfig::current();
    config.affiliateClickHost = "127.0.0.1:" + std::to_string(server.port());
    AppConfig::setCurrent(config);
    auto app = Application::sharedApplication();
    app->registerURLSchemeHandler("itms-apps", [](const URL&) { return true; });

    becomeDue();
    ReviewRequest::askForReview();
    ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("Yes, rate it!"));
    EXPECT_EQ(defaults()->stringForKey(ReviewRequest::kReviewedForVersionKey), std::optional<std::string>("1.0"));
    EXPECT_FALSE(ReviewRequest::shouldAskForReview());
    ASSERT_TRUE(pumpUntil([&] { return !app->openedURLs().empty(); }));
    EXPECT_EQ(app->openedURLs().back().absoluteString(), "itms-apps://store.test/app/id0?action=write-review");

    // Another bundle version is eligible again.
    defaults()->setObject(Value("0.9"), ReviewRequest::kReviewedForVersionKey);
    EXPECT_TRUE(ReviewRequest::shouldAskForReview());
}

}  // namespace
