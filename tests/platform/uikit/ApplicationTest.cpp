#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/ApplicationDelegate.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/Pasteboard.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/Window.h"
#include "tests/platform/uikit/UIKitTest.h"

using namespace clipora::platform;
using clipora::test::UIKitTest;

namespace {

using Log = std::vector<std::string>;

class RecordingAppDelegate : public ApplicationDelegate {
public:
    Log log;
    bool acceptURLs = true;
    bool applicationDidFinishLaunchingWithOptions(const std::shared_ptr<Application>&, const Value& options) override {
        log.push_back(options.isNull() ? "launch" : "launch with options");
        return acceptURLs;
    }
    void applicationDidBecomeActive(const std::shared_ptr<Application>&) override { log.push_back("active"); }
    void applicationWillResignActive(const std::shared_ptr<Application>&) override { log.push_back("resign"); }
    void applicationDidEnterBackground(const std::shared_ptr<Application>& app) override {
        log.push_back("background " + std::to_string(app->applicationState()));
    }
    void applicationWillEnterForeground(const std::shared_ptr<Application>&) override { log.push_back("foreground"); }
    void applicationWillTerminate(const std::shared_ptr<Application>&) override { log.push_back("terminate"); }
    bool applicationHandleOpenURL(const std::shared_ptr<Application>&, const URL& url) override {
        log.push_back("open " + url.absoluteString());
        return url.scheme() == "fb123movara";
    }
};

class RotatingController : public ViewController {
public:
    bool shouldAutorotateToInterfaceOrientation(int o) override { return o != InterfaceOrientationPortraitUpsideDown; }
    void didRotateFromInterfaceOrientation(int old) override { rotations.push_back(old); }
    std::vector<int> rotations;
};

class ApplicationTest : public UIKitTest {
protected:
    void SetUp() override {
        UIKitTest::SetUp();
        app = Application::sharedApplication();
    }
    void TearDown() override {
        NotificationCenter::defaultCenter().removeObserver(this);
        UIKitTest::TearDown();
    }
    std::shared_ptr<Application> app;
};

URL url(const std::string& text) { return *URL::fromString(text); }

}  // namespace

TEST_F(ApplicationTest, CanOpenURLAnswersFromTheRegisteredSchemes) {
    EXPECT_TRUE(app->canOpenURL(url("https://m.example.com/")));
    EXPECT_FALSE(app->canOpenURL(url("fb://profile/1")));
    EXPECT_FALSE(app->openURL(url("fb://profile/1")));

    // "The network's app is installed".
    std::vector<std::string> received;
    app->registerURLSchemeHandler("FB", [&](const URL& u) {
        received.push_back(u.absoluteString());
        return true;
    });
    EXPECT_TRUE(app->canOpenURL(url("fb://profile/1")));
    EXPECT_TRUE(app->openURL(url("fb://profile/1")));
    EXPECT_EQ(received, (std::vector<std::string>{"fb://profile/1"}));

    // An installed app that refuses the URL: not opened, not recorded.
    app->registerURLSchemeHandler("twitter", [](const URL&) { return false; });
    EXPECT_TRUE(app->canOpenURL(url("twitter://user?screen_name=x")));
    EXPECT_FALSE(app->openURL(url("twitter://user?screen_name=x")));
    EXPECT_TRUE(app->openURL(url("http://example.com/page")));
    ASSERT_EQ(app->openedURLs().size(), 2u);
    EXPECT_EQ(app->openedURLs()[1].absoluteString(), "http://example.com/page");

    app->unregisterURLScheme("http");
    EXPECT_FALSE(app->canOpenURL(url("http://example.com/")));
}

TEST_F(ApplicationTest, LifeCycleReachesTheDelegateAndTheObservers) {
    Log notes;
    auto& center = NotificationCenter::defaultCenter();
    for (const char* name : {Application::kDidEnterBackgroundNotification,
                             Application::kWillEnterForegroundNotification, Application::kWillTerminateNotification}) {
        center.addObserver(
            name, [&notes](const Notification& n) { notes.push_back(n.name); }, this);
    }
    auto delegate = std::make_shared<RecordingAppDelegate>();
    Value options = Value::makeDictionary();
    options.set(Application::kLaunchOptionsURLKey, "fb123movara://authorize#access_token=t");
    EXPECT_TRUE(app->launch(delegate, options));
    EXPECT_EQ(delegate->log, (Log{"launch with options", "open fb123movara://authorize#access_token=t", "active"}));
    EXPECT_EQ(app->applicationState(), Application::StateActive);
    delegate->log.clear();

    app->enterBackground();
    app->enterBackground();  // already there
    app->enterForeground();
    app->terminate();
    EXPECT_EQ(delegate->log, (Log{"resign", "background 2", "foreground", "active", "terminate"}));
    EXPECT_EQ(notes, (Log{"UIApplicationDidEnterBackgroundNotification", "UIApplicationWillEnterForegroundNotification",
                          "UIApplicationWillTerminateNotification"}));

    // The application keeps the delegate it launched with.
    std::weak_ptr<RecordingAppDelegate> weak = delegate;
    delegate.reset();
    EXPECT_FALSE(weak.expired());
    EXPECT_FALSE(app->handleIncomingURL(url("other://x")));
    EXPECT_TRUE(app->handleIncomingURL(url("fb123movara://authorize")));
}

TEST_F(ApplicationTest, LaunchURLIsNotHandedOverWhenLaunchDeclines) {
    auto delegate = std::make_shared<RecordingAppDelegate>();
    delegate->acceptURLs = false;
    Value options = Value::makeDictionary();
    options.set(Application::kLaunchOptionsURLKey, "fb123movara://authorize");
    EXPECT_FALSE(app->launch(delegate, options));
    EXPECT_EQ(delegate->log, (Log{"launch with options", "active"}));
}

TEST_F(ApplicationTest, BackgroundTasksAndTheActivityIndicatorFromAnyThread) {
    int expired = 0;
    Application::BackgroundTaskIdentifier task = Application::kBackgroundTaskInvalid;
    task = app->beginBackgroundTaskWithExpirationHandler([&] {
        ++expired;
        app->endBackgroundTask(task);
    });
    EXPECT_NE(task, Application::kBackgroundTaskInvalid);
    auto other = app->beginBackgroundTaskWithExpirationHandler(nullptr);
    EXPECT_EQ(app->activeBackgroundTaskCount(), 2u);
    app->endBackgroundTask(other);
    app->endBackgroundTask(other);  // twice is harmless
    app->expireBackgroundTasks();
    EXPECT_EQ(expired, 1);
    EXPECT_EQ(app->activeBackgroundTaskCount(), 0u);

    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([this, i] {
            for (int n = 0; n < 1000; ++n) app->setNetworkActivityIndicatorVisible((n + i) % 2 == 0);
            auto id = app->beginBackgroundTaskWithExpirationHandler([] {});
            app->endBackgroundTask(id);
        });
    }
    for (auto& t : threads) t.join();
    app->setNetworkActivityIndicatorVisible(true);
    EXPECT_TRUE(app->isNetworkActivityIndicatorVisible());
    EXPECT_EQ(app->activeBackgroundTaskCount(), 0u);
}

TEST_F(ApplicationTest, StatusBarScreenAndDevice) {
    EXPECT_EQ(app->statusBarFrame(), (Rect{0, 0, 320, 20}));
    EXPECT_EQ(Screen::mainScreen()->applicationFrame(), (Rect{0, 20, 320, 460}));
    app->setStatusBarHidden(true);
    EXPECT_EQ(app->statusBarFrame(), Rect::zero());
    EXPECT_EQ(Screen::mainScreen()->applicationFrame(), (Rect{0, 0, 320, 480}));

    auto device = Device::currentDevice();
    EXPECT_EQ(device->model(), "iPhone");
    device->setUserInterfaceIdiom(std::nullopt);  // an old device that does not answer
    EXPECT_FALSE(device->answersUserInterfaceIdiom());
    EXPECT_EQ(device->userInterfaceIdiom(), Device::UserInterfaceIdiomPhone);
    device->setUserInterfaceIdiom(Device::UserInterfaceIdiomPad);
    EXPECT_EQ(device->model(), "iPad");
    EXPECT_EQ(Screen::mainScreen()->bounds(), (Rect{0, 0, 768, 1024}));
    device->setMultitaskingSupported(std::nullopt);
    EXPECT_FALSE(device->isMultitaskingSupported());
}

TEST_F(ApplicationTest, TurningTheDeviceRotatesWhatTheTopControllerAllows) {
    int notes = 0;
    NotificationCenter::defaultCenter().addObserver(
        Device::kOrientationDidChangeNotification, [&](const Notification&) { ++notes; }, this);
    auto window = std::make_shared<Window>();
    auto controller = std::make_shared<RotatingController>();
    auto nav = std::make_shared<NavigationController>();
    nav->initWithRootViewController(controller);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    auto device = Device::currentDevice();

    device->setOrientation(Device::OrientationLandscapeLeft);
    EXPECT_EQ(notes, 0);  // nobody asked for the notifications
    EXPECT_EQ(app->statusBarOrientation(), InterfaceOrientationPortrait);

    device->beginGeneratingDeviceOrientationNotifications();
    device->setOrientation(Device::OrientationLandscapeRight);
    EXPECT_EQ(notes, 1);
    EXPECT_EQ(app->statusBarOrientation(), InterfaceOrientationLandscapeLeft);
    EXPECT_EQ(controller->rotations, (std::vector<int>{InterfaceOrientationPortrait}));
    EXPECT_EQ(app->statusBarFrame(), (Rect{300, 0, 20, 480}));
    device->setOrientation(Device::OrientationPortraitUpsideDown);  // refused by the controller
    EXPECT_EQ(notes, 2);
    EXPECT_EQ(app->statusBarOrientation(), InterfaceOrientationLandscapeLeft);
}

TEST_F(ApplicationTest, GeneralPasteboardHoldsOneItem) {
    auto board = Pasteboard::generalPasteboard();
    EXPECT_EQ(board->string(), std::nullopt);
    board->setURL(url("http://example.com/v"));
    EXPECT_EQ(board->string(), "http://example.com/v");
    board->setString("copied");
    EXPECT_EQ(board->url(), std::nullopt);
    EXPECT_EQ(board->string(), "copied");
    EXPECT_EQ(board->changeCount(), 2);
}

TEST_F(ApplicationTest, NamedPasteboardsHoldBytesByTypeAndPersistWhenAsked) {
    EXPECT_EQ(Pasteboard::pasteboardWithNameCreate("board", false), nullptr);
    auto board = Pasteboard::pasteboardWithNameCreate("board", true);
    ASSERT_TRUE(board);
    EXPECT_EQ(Pasteboard::pasteboardWithNameCreate("board", false), board);
    board->setDataForPasteboardType({1, 2}, "t");
    EXPECT_EQ(board->dataForPasteboardType("t"), (Data{1, 2}));
    EXPECT_EQ(board->dataForPasteboardType("other"), std::nullopt);
    Pasteboard::reset();  // a new process: a pasteboard that was not persistent is gone
    EXPECT_EQ(Pasteboard::pasteboardWithNameCreate("board", false), nullptr);

    auto kept = Pasteboard::pasteboardWithNameCreate("kept/name", true);
    kept->setPersistent(true);
    kept->setDataForPasteboardType({3}, "t");
    Pasteboard::reset();
    auto again = Pasteboard::pasteboardWithNameCreate("kept/name", false);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->isPersistent());
    EXPECT_EQ(again->dataForPasteboardType("t"), (Data{3}));
}
