#pragma once

#include <memory>

#include "platform/uikit/Control.h"

namespace clipora::platform {

class Image;

// A value between a minimum and a maximum, moved by a finger.
class Slider : public Control {
public:
    Slider();
    explicit Slider(Rect frame);

    float value() const { return value_; }
    // Clamped to the range; sends nothing.
    void setValue(float value);
    void setValueAnimated(float value, bool) { setValue(value); }
    float minimumValue() const { return minimum_; }
    void setMinimumValue(float value);
    float maximumValue() const { return maximum_; }
    void setMaximumValue(float value);
    bool isContinuous() const { return continuous_; }
    void setContinuous(bool continuous) { continuous_ = continuous; }
    const std::shared_ptr<Image>& minimumValueImage() const { return minimumImage_; }
    void setMinimumValueImage(std::shared_ptr<Image> image) { minimumImage_ = std::move(image); }
    const std::shared_ptr<Image>& maximumValueImage() const { return maximumImage_; }
    void setMaximumValueImage(std::shared_ptr<Image> image) { maximumImage_ = std::move(image); }

    // A finger moving the thumb to `value` (clamped): touch-down, value-changed
    // (when the value changed), touch-up-inside. False when the slider takes
    // no touches.
    bool slideTo(float value);

    std::string className() const override { return "Slider"; }

private:
    float value_ = 0;
    float minimum_ = 0;
    float maximum_ = 1;
    bool continuous_ = true;
    std::shared_ptr<Image> minimumImage_;
    std::shared_ptr<Image> maximumImage_;
};

}  // namespace clipora::platform
