#include "tools/clipora/RowControls.h"

#include "platform/foundation/Value.h"
#include "platform/uikit/Slider.h"
#include "platform/uikit/Switch.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/WebView.h"

namespace clipora::device {

using namespace platform;

namespace {

template <class T>
std::shared_ptr<T> find(const std::shared_ptr<View>& view) {
    if (!view) return nullptr;
    if (auto found = std::dynamic_pointer_cast<T>(view)) return found;
    for (const auto& subview : view->subviews())
        if (auto found = find<T>(subview)) return found;
    return nullptr;
}

}  // namespace

std::string RowControls::describe(const std::shared_ptr<TableViewCell>& cell) {
    if (!cell) return {};
    if (auto toggle = find<Switch>(cell)) return toggle->isOn() ? " [on]" : " [off]";
    if (auto slider = find<Slider>(cell)) return " [" + Value(static_cast<double>(slider->value())).description() + "]";
    if (auto field = find<TextField>(cell)) return " [" + field->displayedText() + "]";
    if (find<WebView>(cell)) return " [web widget]";
    if (cell->accessoryType() == TableViewCell::AccessoryCheckmark) return " \u2713";
    return {};
}

bool RowControls::toggle(const std::shared_ptr<TableViewCell>& cell) {
    auto control = find<Switch>(cell);
    return control && control->tap();
}

bool RowControls::slide(const std::shared_ptr<TableViewCell>& cell, float value) {
    auto control = find<Slider>(cell);
    return control && control->slideTo(value);
}

namespace {

void collectButtons(const std::shared_ptr<View>& view, std::vector<std::shared_ptr<Button>>& found) {
    if (!view || view->isHidden() || view->alpha() <= 0) return;
    if (auto button = std::dynamic_pointer_cast<Button>(view)) {
        found.push_back(button);
        return;
    }
    for (const auto& subview : view->subviews()) collectButtons(subview, found);
}

}  // namespace

std::vector<std::shared_ptr<Button>> RowControls::buttons(const std::shared_ptr<TableViewCell>& cell) {
    std::vector<std::shared_ptr<Button>> found;
    collectButtons(cell, found);
    return found;
}

}  // namespace clipora::device
