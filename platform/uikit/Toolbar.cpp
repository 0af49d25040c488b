#include "platform/uikit/Toolbar.h"

namespace clipora::platform {

Toolbar::Toolbar() : Toolbar(Rect{0, 0, 320, kHeight}) {}

Toolbar::Toolbar(Rect frame) : View(frame) {}

std::shared_ptr<BarButtonItem> Toolbar::itemWithTag(int tag) const {
    for (auto& item : items_) {
        if (item && item->tag() == tag) return item;
    }
    return nullptr;
}

}  // namespace clipora::platform
