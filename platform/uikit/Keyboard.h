#pragma once

#include "platform/foundation/Rect.h"

namespace clipora::platform {

// The on-screen keyboard. It shows when a text input becomes first responder
// and hides when the last one resigns, posting the platform's will/did
// show/hide notifications (object null) with the frames in the user info as
// GeometryValue rects (screen coordinates) and the animation duration.
class Keyboard {
public:
    static constexpr const char* kWillShowNotification = "UIKeyboardWillShowNotification";
    static constexpr const char* kDidShowNotification = "UIKeyboardDidShowNotification";
    static constexpr const char* kWillHideNotification = "UIKeyboardWillHideNotification";
    static constexpr const char* kDidHideNotification = "UIKeyboardDidHideNotification";
    static constexpr const char* kFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
    static constexpr const char* kFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
    static constexpr const char* kBoundsUserInfoKey = "UIKeyboardBoundsUserInfoKey";
    static constexpr const char* kCenterBeginUserInfoKey = "UIKeyboardCenterBeginUserInfoKey";
    static constexpr const char* kCenterEndUserInfoKey = "UIKeyboardCenterEndUserInfoKey";
    static constexpr const char* kAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey";
    static constexpr double kAnimationDuration = 0.25;

    Keyboard() = delete;

    static bool isVisible();
    // The keyboard's frame on screen in the current status-bar orientation
    // (216 points high on a phone in portrait, 162 in landscape; 264 and 352
    // on a tablet), whether or not it is showing.
    static Rect frame();
    // The keyboard's own bounds: interface width by keyboard height.
    static Rect bounds();
    // Height covered on screen while visible, else 0.
    static float visibleHeight();

    static void show();
    static void hide();
    // Forgets the keyboard without notifications (tests).
    static void reset();
};

}  // namespace clipora::platform
