#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/AboutViewController.h"
#include "app/IKWebController.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/ActionSheet.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/Pasteboard.h"
#include "tests/app/AppTest.h"
#include "tests/support/LoopbackServer.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class IKWebControllerTest : public test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        server.server().set_keep_alive_max_count(1);
        for (const char* name : {"one", "two"}) {
            server.server().Get(std::string("/") + name, [name](const httplib::Request&, httplib::Response& response) {
                response.set_content(
                    std::string("<html><head><title>Page ") + name + "</title></head><body></body></html>",
                    "text/html");
            });
        }
        server.server().Get("/slow", [this](const httplib::Request&, httplib::Response& response) {
            std::unique_lock lock(mutex);
            released.wait(lock, [this] { return release; });
            response.set_content("<title>Slow</title>", "text/html");
        });
        server.start();
        nav = std::make_shared<NavigationController>();
        web = std::make_shared<IKWebController>();
        nav->initWithRootViewController(web);
        nav->view();
        web->viewWillAppear(false);
    }
    void TearDown() override {
        {
            std::lock_guard lock(mutex);
            release = true;
        }
        released.notify_all();
        AppTest::TearDown();
    }
    bool loaded(const std::string& title) {
        return pumpUntil([&] { return !web->webView()->isLoading() && web->title() == title; }, 10);
    }
    int refreshStopKind() {
        for (const auto& item : web->toolbar()->items())
            if (item->tag() == IKWebController::kRefreshStopTag) return *item->systemItem();
        return -1;
    }

    test::LoopbackServer server;
    std::shared_ptr<NavigationController> nav;
    std::shared_ptr<IKWebController> web;
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
};

TEST_F(IKWebControllerTest, BackForwardReloadAndStop) {
    EXPECT_FALSE(web->backButton()->isEnabled());
    web->openURL(*URL::fromString(server.url("/one")));
    ASSERT_TRUE(loaded("Page one"));
    EXPECT_EQ(refreshStopKind(), BarButtonItem::SystemItemRefresh);
    EXPECT_FALSE(web->navigationItem()->rightBarButtonItem());
    web->openURL(*URL::fromString(server.url("/two")));
    ASSERT_TRUE(loaded("Page two"));
    EXPECT_TRUE(web->backButton()->isEnabled());
    web->backButton()->tap();
    ASSERT_TRUE(loaded("Page one"));
    EXPECT_TRUE(web->forwardButton()->isEnabled());
    web->forwardButton()->tap();
    ASSERT_TRUE(loaded("Page two"));
    web->refreshButton()->tap();
    ASSERT_TRUE(pumpUntil([&] { return web->webView()->isLoading(); }) || loaded("Page two"));
    ASSERT_TRUE(loaded("Page two"));

    // While a page loads: stop in place of refresh and the spinner in the
    // bar; stopping brings refresh back.
    web->openURL(*URL::fromString(server.url("/slow")));
    ASSERT_TRUE(pumpUntil([&] { return refreshStopKind() == BarButtonItem::SystemItemStop; }));
    EXPECT_EQ(web->navigationItem()->rightBarButtonItem(), web->activityItem());
    EXPECT_EQ(web->title(), "Loading...");
    web->stopButton()->tap();
    ASSERT_TRUE(pumpUntil([&] { return refreshStopKind() == BarButtonItem::SystemItemRefresh; }));
    EXPECT_FALSE(web->navigationItem()->rightBarButtonItem());
    EXPECT_EQ(web->title(), "Page two");
}

TEST_F(IKWebControllerTest, TheActionSheetOpensOrCopiesThePage) {
    web->openURL(*URL::fromString(server.url("/one")));
    ASSERT_TRUE(loaded("Page one"));
    web->actionButton()->tap();
    auto sheet = AlertRegistry::topActionSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), server.url("/one"));
    EXPECT_EQ(sheet->buttonTitles(), (std::vector<std::string>{"Open in Safari", "Copy URL", "Cancel"}));
    web->actionButton()->tap();  // a second tap closes it
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(web->actionSheet());

    web->actionButton()->tap();
    ASSERT_TRUE(AlertRegistry::topActionSheet()->pressButtonWithTitle("Copy URL"));
    EXPECT_EQ(Pasteboard::generalPasteboard()->string(), std::optional<std::string>(server.url("/one")));
    EXPECT_FALSE(web->actionSheet());
}

TEST_F(IKWebControllerTest, TheAboutScreenStoresTheHDSwitch) {
    auto about = std::make_shared<AboutViewController>();
    auto aboutNav = std::make_shared<NavigationController>();
    aboutNav->initWithRootViewController(about);
    aboutNav->view();
    EXPECT_FALSE(about->switchHDVideo()->isOn());
    about->switchHDVideo()->setOn(true);
    about->switchHDVideo()->sendActionsForControlEvents(Control::EventValueChanged);
    EXPECT_TRUE(UserDefaults::standardUserDefaults()->boolForKey(AboutViewController::kHDVideoKey));
    EXPECT_EQ(about->uplonixLabel()->text(), "Uplonix 2");
    EXPECT_EQ(about->scrollView()->contentSize().height, 1140);

    // A second screen shows the stored choice.
    auto again = std::make_shared<AboutViewController>();
    again->view();
    EXPECT_TRUE(again->switchHDVideo()->isOn());

    // Web pages open in the kit's web controller, pushed on the screen's stack.
    about->buttonClick(about->buttonWithTag(11));
    EXPECT_EQ(aboutNav->topViewController(), about->webViewController());
}

}  // namespace
