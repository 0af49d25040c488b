#pragma once

#include <memory>

#include "platform/uikit/Button.h"
#include "platform/uikit/Image.h"

namespace clipora {

// The login/logout button of the root menu's bottom bar: a plain button
// whose images follow a logged-in flag. Setting the flag does not redraw;
// callers follow it with updateImage().
class FBLoginButton : public platform::Button {
public:
    static constexpr const char* kLoginNormalImage = "FBConnect.bundle/images/LoginNormal.png";
    static constexpr const char* kLoginPressedImage = "FBConnect.bundle/images/LoginPressed.png";
    static constexpr const char* kLogoutNormalImage = "FBConnect.bundle/images/LogoutNormal.png";
    static constexpr const char* kLogoutPressedImage = "FBConnect.bundle/images/LogoutPressed.png";

    using Button::Button;

    std::shared_ptr<platform::Image> buttonImage() const;
    std::shared_ptr<platform::Image> buttonHighlightedImage() const;
    void updateImage();

    bool isLoggedIn() const { return isLoggedIn_; }
    void setIsLoggedIn(bool loggedIn) { isLoggedIn_ = loggedIn; }

    std::string className() const override { return "FBLoginButton"; }

private:
    bool isLoggedIn_ = false;
};

}  // namespace clipora
