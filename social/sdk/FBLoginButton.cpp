#include "social/sdk/FBLoginButton.h"

namespace clipora {

using platform::Image;

std::shared_ptr<Image> FBLoginButton::buttonImage() const {
    return Image::imageNamed(isLoggedIn_ ? kLogoutNormalImage : kLoginNormalImage);
}

std::shared_ptr<Image> FBLoginButton::buttonHighlightedImage() const {
    return Image::imageNamed(isLoggedIn_ ? kLogoutPressedImage : kLoginPressedImage);
}

void FBLoginButton::updateImage() {
    auto normal = buttonImage();
    imageView()->setImage(normal);
    setImageForState(normal, StateNormal);
    setImageForState(buttonHighlightedImage(), StateHighlighted | StateSelected);
}

}  // namespace clipora
