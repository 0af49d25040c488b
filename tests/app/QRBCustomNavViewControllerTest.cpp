#include <gtest/gtest.h>

#include <memory>

#include "app/QRBCustomNavViewController.h"
#include "app/QRBNavigationBar.h"
#include "platform/uikit/ViewController.h"
#include "tests/app/AppTest.h"

namespace clipora {
namespace {

using QRBCustomNavViewControllerTest = test::AppTest;

TEST_F(QRBCustomNavViewControllerTest, WrapsTheRootUnderThePaintedBar) {
    auto root = std::make_shared<platform::ViewController>();
    auto nav = std::make_shared<QRBCustomNavViewController>();
    nav->initWithRootViewController(root);
    EXPECT_NE(std::dynamic_pointer_cast<QRBNavigationBar>(nav->navigationBar()), nullptr);
    EXPECT_EQ(nav->topViewController(), root);
    nav->themeChanged();
}

}  // namespace
}  // namespace clipora
