#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/IKNavigationAppearance.h"
#include "app/IKReadFileFromDiskOperation.h"
#include "app/IKStringAdditions.h"
#include "app/InterfaceKit.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/NavigationController.h"
#include "tests/app/AppTest.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class InterfaceKitTest : public test::AppTest {};

TEST_F(InterfaceKitTest, QueryStringsAndVersions) {
    auto contents = IKStringAdditions::queryContentsUsingEncoding("a=1&a=2;b&&c=x%20y&d=1=2");
    ASSERT_EQ(contents["a"].size(), 2u);
    EXPECT_EQ(contents["a"][0], Value("1"));
    EXPECT_EQ(contents["a"][1], Value("2"));
    ASSERT_EQ(contents["b"].size(), 1u);
    EXPECT_TRUE(contents["b"][0].isNull());
    EXPECT_EQ(contents["c"][0], Value("x y"));
    EXPECT_FALSE(contents.count("d"));

    const Value::Dictionary query{{"k", Value("a b")}};
    EXPECT_EQ(IKStringAdditions::stringByAddingQueryDictionary("/p", query), "/p?k=a%20b");
    EXPECT_EQ(IKStringAdditions::stringByAddingQueryDictionary("/p?x=1", query), "/p?x=1&k=a%20b");
    EXPECT_EQ(IKStringAdditions::stringByAddingPercentEscapesForURLParameter("a/b?c=d&e"), "a%2Fb%3Fc%3Dd%26e");

    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    for (const auto& c : {Case{"1.0", "1.0a2", 1}, Case{"1.0a2", "1.0a1", 1}, Case{"1.10", "1.9", 1},
                          Case{"1.9a3", "1.10a1", -1}, Case{"2.0", "2.0", 0}})
        EXPECT_EQ(IKStringAdditions::versionStringCompare(c.a, c.b), c.expected) << c.a << " vs " << c.b;

    EXPECT_EQ(IKStringAdditions::md5Hash(std::string_view("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(IKStringAdditions::sha1Hash(std::string_view("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_TRUE(IKStringAdditions::isWhitespaceAndNewlines(" \n\t"));
    EXPECT_FALSE(IKStringAdditions::isWhitespaceAndNewlines(" x "));
}

TEST_F(InterfaceKitTest, PhoneOrientationsAndToolbarHeights) {
    ASSERT_FALSE(InterfaceKit::isPad());
    EXPECT_EQ(InterfaceKit::toolbarHeightForOrientation(InterfaceOrientationLandscapeLeft), 33);
    EXPECT_EQ(InterfaceKit::toolbarHeightForOrientation(InterfaceOrientationPortrait), 44);
    EXPECT_TRUE(InterfaceKit::isSupportedOrientation(InterfaceOrientationLandscapeRight));
    EXPECT_FALSE(InterfaceKit::isSupportedOrientation(InterfaceOrientationPortraitUpsideDown));
    Rect r = InterfaceKit::rectContract(Rect(1, 2, 30, 40), 5, 10);
    EXPECT_EQ(r.size.width, 25);
    EXPECT_EQ(r.size.height, 30);
    EXPECT_EQ(r.origin.x, 1);
}

class Reporter : public IKOperationDelegate {
public:
    void operationDidStart(const std::shared_ptr<IKOperation>&) override { startedOnMain = Thread::isMainThread(); }
    void operationDidFinish(const std::shared_ptr<IKOperation>&) override { finishedOnMain = Thread::isMainThread(); }
    void operationDidFailWithError(const std::shared_ptr<IKOperation>&, const Error&) override {
        failedOnMain = Thread::isMainThread();
    }
    void operationWillFinish(const std::shared_ptr<IKOperation>&) override {
        willFinishOnMain = Thread::isMainThread();
    }
    std::optional<bool> startedOnMain, finishedOnMain, failedOnMain, willFinishOnMain;
};

TEST_F(InterfaceKitTest, OperationsReportOnTheMainThread) {
    const std::string path = FileManager::documentsDirectory() + "/note.txt";
    ASSERT_TRUE(FileManager::writeData(path, Text::toData("hello")));
    auto reporter = std::make_shared<Reporter>();
    auto read = IKReadFileFromDiskOperation::initWithPathToFile(path);
    read->setDelegate(reporter);
    bool blockRan = false;
    read->setDidFinishBlock([&](const std::shared_ptr<IKOperation>&) { blockRan = Thread::isMainThread(); });
    auto queue = InterfaceKit::networkOperationQueue();
    queue->addOperation(read);
    ASSERT_TRUE(pumpUntil([&] { return blockRan; }));
    EXPECT_EQ(reporter->startedOnMain, std::optional<bool>(true));
    EXPECT_EQ(reporter->finishedOnMain, std::optional<bool>(true));
    EXPECT_EQ(reporter->willFinishOnMain, std::optional<bool>(false));
    EXPECT_EQ(read->data(), std::optional<Data>(Text::toData("hello")));

    auto missing = IKReadFileFromDiskOperation::initWithPathToFile(path + ".gone");
    auto failing = std::make_shared<Reporter>();
    missing->setDelegate(failing);
    queue->addOperation(missing);
    ASSERT_TRUE(pumpUntil([&] { return failing->failedOnMain.has_value(); }));
    EXPECT_TRUE(*failing->failedOnMain);
    EXPECT_TRUE(missing->lastError());
    EXPECT_FALSE(failing->finishedOnMain);
}

TEST_F(InterfaceKitTest, AppearancesComeBackOldestFirst) {
    auto nav = std::make_shared<NavigationController>();
    auto app = Application::sharedApplication();
    app->setStatusBarStyle(Application::StatusBarStyleDefault);
    IKNavigationAppearance::pushAppearanceForNavigationController(nav);
    nav->navigationBar()->setBarStyle(NavigationBar::BarStyleBlack);
    nav->navigationBar()->setTranslucent(true);
    app->setStatusBarStyle(Application::StatusBarStyleBlackOpaque);
    IKNavigationAppearance::pushAppearanceForNavigationController(nav);
    EXPECT_EQ(IKNavigationAppearance::count(), 2u);
    IKNavigationAppearance::popAppearanceForNavigationControllerAnimated(nav, false);
    EXPECT_EQ(nav->navigationBar()->barStyle(), NavigationBar::BarStyleDefault);
    EXPECT_FALSE(nav->navigationBar()->isTranslucent());
    EXPECT_EQ(app->statusBarStyle(), Application::StatusBarStyleDefault);
    IKNavigationAppearance::clear();
    EXPECT_EQ(IKNavigationAppearance::count(), 0u);
}

}  // namespace
