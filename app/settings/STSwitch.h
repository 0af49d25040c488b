#pragma once

#include <optional>
#include <string>

#include "platform/uikit/Switch.h"

namespace clipora {

// A switch that carries the settings key it edits.
class STSwitch : public platform::Switch {
public:
    using platform::Switch::Switch;

    const std::optional<std::string>& key() const { return key_; }
    void setKey(std::optional<std::string> key) { key_ = std::move(key); }

    std::string className() const override { return "STSwitch"; }

private:
    std::optional<std::string> key_;
};

}  // namespace clipora
