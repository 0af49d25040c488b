#include "platform/uikit/Switch.h"

namespace clipora::platform {

Switch::Switch() : Switch(Rect{}) {}

// The platform keeps a switch at its own size, whatever frame it is given.
Switch::Switch(Rect frame) : Control(Rect{frame.origin.x, frame.origin.y, kWidth, kHeight}) {}

bool Switch::tap() {
    if (!acceptsTouches()) return false;
    auto keep = shared_from_this();
    sendActionsForControlEvents(EventTouchDown);
    on_ = !on_;
    sendActionsForControlEvents(EventValueChanged);
    sendActionsForControlEvents(EventTouchUpInside);
    return true;
}

}  // namespace clipora::platform
