#pragma once

#include <optional>
#include <string>

#include "platform/uikit/TextField.h"

namespace clipora {

// A text field that carries the settings key it edits.
class STTextField : public platform::TextField {
public:
    using platform::TextField::TextField;

    const std::optional<std::string>& key() const { return key_; }
    void setKey(std::optional<std::string> key) { key_ = std::move(key); }

    std::string className() const override { return "STTextField"; }

private:
    std::optional<std::string> key_;
};

}  // namespace clipora
