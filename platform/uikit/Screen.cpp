#include "platform/uikit/Screen.h"

#include <mutex>

#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/InterfaceOrientation.h"

namespace clipora::platform {

namespace {
struct MainScreenSlot {
    std::mutex mutex;
    std::shared_ptr<Screen> screen = std::make_shared<Screen>();
};

MainScreenSlot& slot() {
    // Never destroyed, and locked: image work on background threads reads
    // the main screen's scale, and such work may still run while tests
    // reset the screen or while statics are destroyed at exit.
    static MainScreenSlot& s = *new MainScreenSlot;
    return s;
}
}  // namespace

std::shared_ptr<Screen> Screen::mainScreen() {
    auto& s = slot();
    std::lock_guard lock(s.mutex);
    return s.screen;
}

void Screen::reset() {
    auto fresh = std::make_shared<Screen>();
    auto& s = slot();
    std::lock_guard lock(s.mutex);
    s.screen.swap(fresh);
}

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
    case InterfaceOrientationLandscapeRight: return {b.origin.x + bar, b.origin.y, b.size.width - bar, b.size.height};
    case InterfaceOrientationLandscapeLeft: return {b.origin.x, b.origin.y, b.size.width - bar, b.size.height};
    default: return {b.origin.x, b.origin.y + bar, b.size.width, b.size.height - bar};
    }
}

}  // namespace clipora::platform
