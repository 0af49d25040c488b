#include "platform/uikit/Keyboard.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/InterfaceOrientation.h"
#include "platform/uikit/Screen.h"

namespace clipora::platform {

namespace {

bool& visibleFlag() {
    static bool visible = false;
    return visible;
}

float keyboardHeight(bool landscape) {
    bool pad = Device::currentDevice()->userInterfaceIdiom() == Device::UserInterfaceIdiomPad;
    if (pad) return landscape ? 352 : 264;
    return landscape ? 162 : 216;
}

Rect offscreenFrame(Rect onScreen, int orientation) {
    Rect screen = Screen::mainScreen()->bounds();
    switch (orientation) {
    case InterfaceOrientationPortraitUpsideDown: return onScreen.offsetBy(0, -onScreen.size.height);
    case InterfaceOrientationLandscapeRight: return onScreen.offsetBy(-onScreen.size.width, 0);
    case InterfaceOrientationLandscapeLeft: return onScreen.offsetBy(screen.size.width - onScreen.minX(), 0);
    default: return onScreen.offsetBy(0, screen.size.height - onScreen.minY());
    }
}

Value userInfo(Rect begin, Rect end) {
    Value info = Value::makeDictionary();
    info.set(Keyboard::kFrameBeginUserInfoKey, GeometryValue::valueWithRect(begin));
    info.set(Keyboard::kFrameEndUserInfoKey, GeometryValue::valueWithRect(end));
    info.set(Keyboard::kBoundsUserInfoKey, GeometryValue::valueWithRect(Keyboard::bounds()));
    info.set(Keyboard::kCenterBeginUserInfoKey, GeometryValue::valueWithPoint(begin.center()));
    info.set(Keyboard::kCenterEndUserInfoKey, GeometryValue::valueWithPoint(end.center()));
    info.set(Keyboard::kAnimationDurationUserInfoKey, Keyboard::kAnimationDuration);
    return info;
}

}  // namespace

bool Keyboard::isVisible() { return visibleFlag(); }

Rect Keyboard::frame() {
    Rect screen = Screen::mainScreen()->bounds();
    int orientation = Application::sharedApplication()->statusBarOrientation();
    float h = keyboardHeight(interfaceOrientationIsLandscape(orientation));
    switch (orientation) {
    case InterfaceOrientationPortraitUpsideDown: return {0, 0, screen.size.width, h};
    case InterfaceOrientationLandscapeRight: return {0, 0, h, screen.size.height};
    case InterfaceOrientationLandscapeLeft: return {screen.size.width - h, 0, h, screen.size.height};
    default: return {0, screen.size.height - h, screen.size.width, h};
    }
}

Rect Keyboard::bounds() {
    Rect screen = Screen::mainScreen()->bounds();
    int orientation = Application::sharedApplication()->statusBarOrientation();
    bool landscape = interfaceOrientationIsLandscape(orientation);
    float width = landscape ? screen.size.height : screen.size.width;
    return {0, 0, width, keyboardHeight(landscape)};
}

float Keyboard::visibleHeight() { return isVisible() ? bounds().size.height : 0; }

void Keyboard::show() {
    if (visibleFlag()) return;
    int orientation = Application::sharedApplication()->statusBarOrientation();
    Rect end = frame();
    Value info = userInfo(offscreenFrame(end, orientation), end);
    auto& center = NotificationCenter::defaultCenter();
    center.post(kWillShowNotification, Value(), info);
    visibleFlag() = true;
    center.post(kDidShowNotification, Value(), info);
}

void Keyboard::hide() {
    if (!visibleFlag()) return;
    int orientation = Application::sharedApplication()->statusBarOrientation();
    Rect begin = frame();
    Value info = userInfo(begin, offscreenFrame(begin, orientation));
    auto& center = NotificationCenter::defaultCenter();
    center.post(kWillHideNotification, Value(), info);
    visibleFlag() = false;
    center.post(kDidHideNotification, Value(), info);
}

void Keyboard::reset() { visibleFlag() = false; }

}  // namespace clipora::platform
