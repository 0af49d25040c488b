#pragma once

#include <optional>
#include <string>

#include "platform/uikit/Slider.h"

namespace clipora {

// A slider that carries the settings key it edits.
class STSlider : public platform::Slider {
public:
    using platform::Slider::Slider;

    const std::optional<std::string>& key() const { return key_; }
    void setKey(std::optional<std::string> key) { key_ = std::move(key); }

    std::string className() const override { return "STSlider"; }

private:
    std::optional<std::string> key_;
};

}  // namespace clipora
