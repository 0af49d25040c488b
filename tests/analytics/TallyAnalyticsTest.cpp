#include <stdexcept>

#include "analytics/TallyAnalytics.h"
#include "analytics/TallyEvent.h"
#include "analytics/TallyPageViewDelegate.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/TabBarController.h"
#include "platform/uikit/Window.h"
#include "tests/analytics/AnalyticsTest.h"

namespace clipora {
namespace {

using namespace platform;

class TallyAnalyticsTest : public test::AnalyticsTest {
protected:
    void SetUp() override {
        AnalyticsTest::SetUp();
        // Uploads go nowhere that answers.
        TallyAnalytics::setServerURL("http://127.0.0.1:1/aas.do");
    }
    void TearDown() override {
        TallyPageViewDelegate::reset();
        AnalyticsTest::TearDown();
    }
    static void post(const char* name) { NotificationCenter::defaultCenter().post(name); }
};

TEST_F(TallyAnalyticsTest, NothingIsRecordedWithoutASession) {
    TallyAnalytics::setDebugLogEnabled(true);
    Log::Capture capture;
    TallyAnalytics::logEvent("Watch Video");
    TallyAnalytics::logPageView();
    TallyAnalytics::setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(1, 2, 3, 4);
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_FALSE(TallySession::currentSession());
}

TEST_F(TallyAnalyticsTest, StartedOnceWithTheBlanksOfItsKeyRemoved) {
    TallyAnalytics::setUserID("u1");
    TallyAnalytics::startSession(" AB CD\t ");
    auto session = TallySession::currentSession();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->apiKey(), "ABCD\t");
    EXPECT_EQ(session->userID(), "u1");
    EXPECT_TRUE(session->sessionReportsOnPauseEnabled());
    TallyAnalytics::startSession("OTHER");
    EXPECT_EQ(TallySession::currentSession(), session);
    auto alert = AlertRegistry::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "startSession has been called already. It should only be called once.");
    EXPECT_EQ(alert->title(), "");
    TallyAnalytics::setAppVersion("2.0");
    EXPECT_FALSE(TallyAnalytics::appVersion());
    TallyAnalytics::logEvent("Watch Video");
    EXPECT_EQ(session->eventCounts().at("Watch Video").integer(), 1);
    EXPECT_TRUE(pumpUntil([] { return TallyAnalytics::uploadsInFlight() == 0; }, 30));
}

TEST_F(TallyAnalyticsTest, FollowsTheApplicationsLifeCycle) {
    TallyAnalytics::setSessionReportsOnPauseEnabled(false);
    TallyAnalytics::startSession("KEY");
    auto first = TallySession::currentSession();
    post(Application::kWillResignActiveNotification);
    EXPECT_TRUE(first->endTime());
    EXPECT_EQ(Application::sharedApplication()->activeBackgroundTaskCount(), 0u);  // no pause upload
    advanceClock(10);
    post(Application::kDidBecomeActiveNotification);
    EXPECT_EQ(TallySession::currentSession(), first);  // exactly 10,000 ms: the same session

    post(Application::kWillResignActiveNotification);
    advanceClock(10.0015);  // 10,001 ms (milliseconds are truncated)
    post(Application::kDidBecomeActiveNotification);
    auto second = TallySession::currentSession();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(TallySession::savedSessions().size(), 1u);

    post(Application::kWillTerminateNotification);
    EXPECT_FALSE(TallySession::currentSession());
    EXPECT_EQ(TallySession::savedSessions().size(), 2u);
    EXPECT_TRUE(pumpUntil([] { return TallyAnalytics::uploadsInFlight() == 0; }, 30));
}

TEST_F(TallyAnalyticsTest, ThePauseUploadEndsItsBackgroundTaskOnce) {
    TallyAnalytics::startSession("KEY");
    auto application = Application::sharedApplication();
    post(Application::kWillResignActiveNotification);
    // The upload thread or the expiry, whichever comes first, ends it.
    application->expireBackgroundTasks();
    EXPECT_TRUE(pumpUntil([&] { return application->activeBackgroundTaskCount() == 0; }));
    EXPECT_TRUE(pumpUntil([] { return TallyAnalytics::uploadsInFlight() == 0; }, 30));
}

class Recorder : public NavigationControllerDelegate, public TabBarControllerDelegate {
public:
    void navigationControllerDidShowViewControllerAnimated(const std::shared_ptr<NavigationController>&,
                                                           const std::shared_ptr<ViewController>&, bool) override {
        ++shown;
        if (fails) throw std::runtime_error("delegate failed");
    }
    bool tabBarControllerShouldSelectViewController(const std::shared_ptr<TabBarController>&,
                                                    const std::shared_ptr<ViewController>&) override {
        return allow;
    }
    void tabBarControllerDidEndCustomizingViewControllersChanged(const std::shared_ptr<TabBarController>&,
                                                                 const std::vector<std::shared_ptr<ViewController>>&,
                                                                 bool) override {
        ++customized;
    }
    int shown = 0;
    int customized = 0;
    bool allow = true;
    bool fails = false;
};

TEST_F(TallyAnalyticsTest, PageViewsAreCountedThroughTheControllersDelegates) {
    TallyAnalytics::startSession("KEY");
    auto session = TallySession::currentSession();
    auto navigation = std::make_shared<NavigationController>();
    navigation->initWithRootViewController(std::make_shared<ViewController>());
    auto window = std::make_shared<Window>();  // transitions are told only on screen
    window->addSubview(navigation->view());
    window->makeKeyAndVisible();
    auto recorder = std::make_shared<Recorder>();
    navigation->setDelegate(recorder);
    TallyAnalytics::logAllPageViews(navigation);
    navigation->pushViewControllerAnimated(std::make_shared<ViewController>(), false);
    navigation->pushViewControllerAnimated(std::make_shared<ViewController>(), false);  // within 0.3 s
    EXPECT_EQ(recorder->shown, 2);
    EXPECT_EQ(session->pageViewCount(), 1);
    advanceClock(0.31);
    navigation->popViewControllerAnimated(false);
    EXPECT_EQ(session->pageViewCount(), 2);
    // A second proxy chains in front of the first: the transition reaches
    // the host's delegate once, and the second count falls within 0.3 s.
    TallyAnalytics::logAllPageViews(navigation);
    advanceClock(1);
    navigation->pushViewControllerAnimated(std::make_shared<ViewController>(), false);
    EXPECT_EQ(recorder->shown, 4);
    EXPECT_EQ(session->pageViewCount(), 3);
    // What the host's delegate throws stays inside the proxy that called it,
    // which skips its count; the outer proxy carries on and counts.
    recorder->fails = true;
    advanceClock(1);
    EXPECT_NO_THROW(navigation->popViewControllerAnimated(false));
    EXPECT_EQ(recorder->shown, 5);
    EXPECT_EQ(session->pageViewCount(), 4);
    recorder->fails = false;

    auto tabs = std::make_shared<TabBarController>();
    auto a = std::make_shared<ViewController>(), b = std::make_shared<ViewController>();
    tabs->setViewControllers({a, b});
    tabs->setDelegate(recorder);
    EXPECT_TRUE(TallyPageViewDelegate::createDelegateOnTarget(tabs));
    recorder->allow = false;
    advanceClock(1);
    EXPECT_FALSE(tabs->tapViewController(b));  // refused: nothing counted
    EXPECT_EQ(session->pageViewCount(), 4);
    recorder->allow = true;
    EXPECT_TRUE(tabs->tapViewController(b));
    EXPECT_EQ(session->pageViewCount(), 5);
    tabs->beginCustomizing();
    tabs->endCustomizing(true);
    EXPECT_EQ(recorder->customized, 1);

    // A controller without a delegate: counted, nothing passed on.
    auto bare = std::make_shared<TabBarController>();
    bare->setViewControllers({a, b});
    TallyAnalytics::logAllPageViews(bare);
    advanceClock(1);
    EXPECT_TRUE(bare->tapViewController(b));
    EXPECT_EQ(session->pageViewCount(), 6);
    EXPECT_FALSE(TallyPageViewDelegate::createDelegateOnTarget(std::make_shared<ViewController>()));
    EXPECT_TRUE(pumpUntil([] { return TallyAnalytics::uploadsInFlight() == 0; }, 30));
}

}  // namespace
}  // namespace clipora
