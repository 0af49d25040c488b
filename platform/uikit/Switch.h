#pragma once

#include <optional>

#include "platform/uikit/Color.h"
#include "platform/uikit/Control.h"

namespace clipora::platform {

// An on/off switch of fixed size (79 x 27). A tap flips it and sends
// value-changed; setting it from code sends nothing.
class Switch : public Control {
public:
    static constexpr float kWidth = 79;
    static constexpr float kHeight = 27;

    Switch();
    explicit Switch(Rect frame);

    bool isOn() const { return on_; }
    void setOn(bool on) { on_ = on; }
    void setOnAnimated(bool on, bool) { on_ = on; }
    const std::optional<Color>& onTintColor() const { return onTintColor_; }
    void setOnTintColor(std::optional<Color> color) { onTintColor_ = std::move(color); }

    bool tap() override;
    Size sizeThatFits(Size) const override { return {kWidth, kHeight}; }
    std::string className() const override { return "Switch"; }

private:
    bool on_ = false;
    std::optional<Color> onTintColor_;
};

}  // namespace clipora::platform
