#include <gtest/gtest.h>

#include <memory>

#include "app/ProgressHUD.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Window.h"
#include "tests/app/AppTest.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class ProgressHUDTest : public test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        window = std::make_shared<Window>();
        screen = std::make_shared<View>(window->bounds());
        window->addSubview(screen);
        window->makeKeyAndVisible();
    }
    std::shared_ptr<Window> window;
    std::shared_ptr<View> screen;
};

TEST_F(ProgressHUDTest, DismissedRightAfterItWasShownStillGoesAway) {
    // The video screen shows "Sharing Video..." and dismisses with a mark in
    // the same turn; the HUD blocks touches, so it must not stay.
    ProgressHUD::showInViewStatusNetworkIndicatorPosYMaskType(screen, std::string("Sharing Video..."), true, -1,
                                                              ProgressHUD::MaskTypeGradient);
    ProgressHUD::dismissWithSuccessAfterDelay(std::nullopt, 0.5);
    auto hud = ProgressHUD::existingSharedView();
    ASSERT_TRUE(hud);
    EXPECT_EQ(hud->superview(), screen);
    EXPECT_TRUE(hud->isUserInteractionEnabled());
    EXPECT_EQ(hud->markImageName(), std::optional<std::string>(ProgressHUD::kSuccessImage));
    EXPECT_FALSE(Application::sharedApplication()->isNetworkActivityIndicatorVisible());

    advanceClock(0.5);
    pumpPending();  // the fade starts
    EXPECT_EQ(hud->alpha(), 0.0f);
    advanceClock(ProgressHUD::kFadeDuration);
    pumpPending();  // and ends
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_FALSE(ProgressHUD::isVisible());
}

TEST_F(ProgressHUDTest, MarkOnlyWhileShownAndShowCancelsPendingFade) {
    ProgressHUD::dismissWithErrorAfterDelay(std::string("Error"), 1.0);  // nothing shown: nothing happens
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_FALSE(ProgressHUD::sharedView()->fadeOutTimer());

    ProgressHUD::showInViewStatus(screen, std::string("Retrieving..."));
    EXPECT_TRUE(Application::sharedApplication()->isNetworkActivityIndicatorVisible());
    EXPECT_EQ(ProgressHUD::sharedView()->statusText(), std::optional<std::string>("Retrieving..."));
    ProgressHUD::dismissWithErrorAfterDelay(std::string("Error"), 1.0);
    EXPECT_EQ(ProgressHUD::sharedView()->statusText(), std::optional<std::string>("Error"));
    // A new show before the fade keeps the HUD up and clears the mark.
    ProgressHUD::showInViewStatus(screen, std::string("Retrieving..."));
    advanceClock(2);
    pumpPending();
    EXPECT_TRUE(ProgressHUD::isVisible());
    EXPECT_FALSE(ProgressHUD::sharedView()->markImageName());
}

TEST_F(ProgressHUDTest, BoxFitsItsText) {
    auto hud = ProgressHUD::sharedView();
    hud->updateStatus(std::nullopt);
    EXPECT_EQ(hud->hudView()->bounds().size.width, 100);
    EXPECT_EQ(hud->hudView()->bounds().size.height, 100);
    // 15 bold 16-point characters measure 132 points: an even 132 plus 24.
    hud->updateStatus(std::string("Downloading now"));
    EXPECT_EQ(hud->hudView()->bounds().size.width, 156);
    EXPECT_EQ(hud->stringLabel()->frame().origin.x, 0);
}

}  // namespace
