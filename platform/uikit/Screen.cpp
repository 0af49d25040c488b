#include "platform/uikit/Screen.h"

#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/InterfaceOrientation.h"

namespace clipora::platform {

namespace {
std::shared_ptr<Screen>& shared() {
    static std::shared_ptr<Screen> screen = std::make_shared<Screen>();
    return screen;
}
}  // namespace

std::shared_ptr<Screen> Screen::mainScreen() { return shared(); }

void Screen::reset() { shared() = std::make_shared<Screen>(); }

Rect Screen::bounds() const {
    if (bounds_) return *bounds_;
    if (Device::currentDevice()->userInterfaceIdiom() == Device::UserInterfaceIdiomPad) return {0, 0, 768, 1024};
    return {0, 0, 320, 480};
}

Rect Screen::applicationFrame() const {
    Rect b = bounds();
    auto app = Application::sharedApplication();
    if (app->isStatusBarHidden()) return b;
    const float bar = Application::kStatusBarHeight;
    switch (app->statusBarOrientation()) {
        case InterfaceOrientationPortraitUpsideDown: return {b.origin.x, b.origin.y, b.size.width, b.size.height - bar};
        case InterfaceOrientationLandscapeRight:
            return {b.origin.x + bar, b.origin.y, b.size.width - bar, b.size.height};
        case InterfaceOrientationLandscapeLeft: return {b.origin.x, b.origin.y, b.size.width - bar, b.size.height};
        default: return {b.origin.x, b.origin.y + bar, b.size.width, b.size.height - bar};
    }
}

}  // namespace clipora::platform
