#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/TabBarController.h"
#include "tests/platform/uikit/UIKitTest.h"

namespace clipora {
namespace {

using namespace platform;

// Writes down every message, in order; refuses selections while `allow` is false.
class LoggingTabDelegate : public TabBarControllerDelegate {
public:
    bool tabBarControllerShouldSelectViewController(const std::shared_ptr<TabBarController>&,
                                                    const std::shared_ptr<ViewController>&) override {
        log.push_back("should");
        return allow;
    }
    void tabBarControllerDidSelectViewController(const std::shared_ptr<TabBarController>&,
                                                 const std::shared_ptr<ViewController>&) override {
        log.push_back("did");
    }
    void tabBarControllerWillBeginCustomizingViewControllers(
        const std::shared_ptr<TabBarController>&, const std::vector<std::shared_ptr<ViewController>>&) override {
        log.push_back("begin");
    }
    void tabBarControllerWillEndCustomizingViewControllersChanged(const std::shared_ptr<TabBarController>&,
                                                                  const std::vector<std::shared_ptr<ViewController>>&,
                                                                  bool changed) override {
        log.push_back(changed ? "will-end changed" : "will-end");
    }
    void tabBarControllerDidEndCustomizingViewControllersChanged(const std::shared_ptr<TabBarController>&,
                                                                 const std::vector<std::shared_ptr<ViewController>>&,
                                                                 bool changed) override {
        log.push_back(changed ? "did-end changed" : "did-end");
    }
    std::vector<std::string> log;
    bool allow = true;
};

class TabBarControllerTest : public test::UIKitTest {};

TEST_F(TabBarControllerTest, TapsAskTheDelegateAndCodeTellsNobody) {
    auto tabs = std::make_shared<TabBarController>();
    auto a = std::make_shared<ViewController>(), b = std::make_shared<ViewController>();
    tabs->setViewControllers({a, b});
    EXPECT_EQ(tabs->selectedViewController(), a);
    EXPECT_TRUE(tabs->tapViewController(b));  // no delegate: selected
    EXPECT_EQ(tabs->selectedViewController(), b);

    auto delegate = std::make_shared<LoggingTabDelegate>();
    tabs->setDelegate(delegate);
    delegate->allow = false;
    EXPECT_FALSE(tabs->tapViewController(a));
    EXPECT_EQ(tabs->selectedViewController(), b);
    delegate->allow = true;
    EXPECT_TRUE(tabs->tapViewController(a));
    EXPECT_EQ(tabs->selectedViewController(), a);
    EXPECT_FALSE(tabs->tapViewController(std::make_shared<ViewController>()));  // not one of its tabs
    tabs->setSelectedViewController(b);
    EXPECT_EQ(tabs->selectedViewController(), b);
    tabs->beginCustomizing();
    tabs->endCustomizing(true);
    EXPECT_EQ(delegate->log,
              (std::vector<std::string>{"should", "should", "did", "begin", "will-end changed", "did-end changed"}));
    // The delegate is not owned.
    delegate.reset();
    EXPECT_FALSE(tabs->delegate());
    EXPECT_TRUE(tabs->tapViewController(a));
}

}  // namespace
}  // namespace clipora
