#include "platform/uikit/Slider.h"

#include <algorithm>

namespace clipora::platform {

Slider::Slider() : Slider(Rect{}) {}

Slider::Slider(Rect frame) : Control(frame) {}

void Slider::setValue(float value) { value_ = std::clamp(value, minimum_, std::max(minimum_, maximum_)); }

void Slider::setMinimumValue(float value) {
    minimum_ = value;
    setValue(value_);
}

void Slider::setMaximumValue(float value) {
    maximum_ = value;
    setValue(value_);
}

bool Slider::slideTo(float value) {
    if (!acceptsTouches()) return false;
    auto keep = shared_from_this();
    sendActionsForControlEvents(EventTouchDown);
    float old = value_;
    setValue(value);
    if (value_ != old) sendActionsForControlEvents(EventValueChanged);
    sendActionsForControlEvents(EventTouchUpInside);
    return true;
}

}  // namespace clipora::platform
