#include "social/sdk/FBLoginButton.h"

#include <memory>

#include <gtest/gtest.h>

#include "platform/uikit/Image.h"
#include "tests/social/sdk/SdkTest.h"

namespace clipora {
namespace {

class FBLoginButtonTest : public test::SdkTest {};

TEST_F(FBLoginButtonTest, ImagesFollowTheFlagOnUpdate) {
    auto button = std::make_shared<FBLoginButton>();
    button->updateImage();
    auto loginImage = platform::Image::imageNamed(FBLoginButton::kLoginNormalImage);
    ASSERT_TRUE(loginImage);
    EXPECT_EQ(button->imageForState(platform::Control::StateNormal), loginImage);
    EXPECT_EQ(button->imageView()->image(), loginImage);

    button->setIsLoggedIn(true);
    EXPECT_EQ(button->imageForState(platform::Control::StateNormal), loginImage);
    button->updateImage();
    auto logoutImage = platform::Image::imageNamed(FBLoginButton::kLogoutNormalImage);
    ASSERT_TRUE(logoutImage);
    EXPECT_EQ(button->imageForState(platform::Control::StateNormal), logoutImage);
    EXPECT_EQ(button->imageForState(platform::Control::StateHighlighted | platform::Control::StateSelected),
              platform::Image::imageNamed(FBLoginButton::kLogoutPressedImage));
    EXPECT_TRUE(platform::Image::imageNamed("FBDialog.bundle/images/close.png"));
}

}  // namespace
}  // namespace clipora
