#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/Button.h"
#include "platform/uikit/TableViewCell.h"

namespace clipora::device {

// The controls a table row holds (a switch, a slider, a text field, a
// button), drawn as text and played by the finger: the settings screen's
// rows edit their values in place, a saved video's row has its album button.
class RowControls {
public:
    RowControls() = delete;

    // " [on]", " [off]", " [0.5]", " [text]", " [web widget]" or " ✓"; empty
    // for a plain row.
    static std::string describe(const std::shared_ptr<platform::TableViewCell>& cell);
    // Taps the row's switch; false when it has none that takes the tap.
    static bool toggle(const std::shared_ptr<platform::TableViewCell>& cell);
    // Moves the row's slider to the value; false when it has none.
    static bool slide(const std::shared_ptr<platform::TableViewCell>& cell, float value);
    // The visible buttons inside the row (an accessory button), in view order.
    static std::vector<std::shared_ptr<platform::Button>> buttons(const std::shared_ptr<platform::TableViewCell>& cell);
};

}  // namespace clipora::device
