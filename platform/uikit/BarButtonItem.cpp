#include "platform/uikit/BarButtonItem.h"

#include "platform/uikit/Control.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

BarButtonItem::BarButtonItem(std::string title, Style style) : title_(std::move(title)), style_(style) {}

BarButtonItem::BarButtonItem(SystemItem item) : systemItem_(item), style_(StyleBordered) {
    if (item == SystemItemDone) style_ = StyleDone;
}

BarButtonItem::BarButtonItem(std::shared_ptr<Image> image, Style style) : style_(style), image_(std::move(image)) {}

BarButtonItem::BarButtonItem(std::shared_ptr<View> customView) : customView_(std::move(customView)) {}

std::string BarButtonItem::title() const {
    if (!title_.empty() || !systemItem_) return title_;
    switch (*systemItem_) {
    case SystemItemDone: return "Done";
    case SystemItemCancel: return "Cancel";
    case SystemItemEdit: return "Edit";
    case SystemItemSave: return "Save";
    case SystemItemUndo: return "Undo";
    case SystemItemRedo: return "Redo";
    default: return {};
    }
}

bool BarButtonItem::isSpace() const {
    return systemItem_ && (*systemItem_ == SystemItemFlexibleSpace || *systemItem_ == SystemItemFixedSpace);
}

void BarButtonItem::setAction(Action action) {
    target_.reset();
    action_ = std::move(action);
}

void BarButtonItem::setTargetAndAction(std::weak_ptr<void> target, Action action) {
    target_ = std::move(target);
    action_ = std::move(action);
}

bool BarButtonItem::tap() {
    if (!enabled_ || isSpace()) return false;
    auto self = shared_from_this();
    if (auto control = std::dynamic_pointer_cast<Control>(customView_)) return control->tap();
    if (!action_) return false;
    Action action = action_;  // the action may replace itself
    action(self);
    return true;
}

std::string BarButtonItem::description() const {
    std::string text = title();
    if (text.empty() && systemItem_) text = "system item " + std::to_string(*systemItem_);
    if (text.empty() && customView_) text = "custom view";
    if (text.empty() && image_) text = "image";
    return "<BarButtonItem: " + text + ">";
}

}  // namespace clipora::platform
