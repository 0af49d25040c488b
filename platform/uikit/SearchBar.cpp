#include "platform/uikit/SearchBar.h"

#include "platform/uikit/SearchDisplayController.h"

namespace clipora::platform {

void SearchBar::typeText(const std::string& text) {
    auto keep = self();
    text_ = text;
    if (auto controller = displayController_.lock()) controller->searchBarTextDidChange(text);
    if (auto d = delegate()) d->searchBarTextDidChange(keep, text);
}

void SearchBar::pressSearchButton() {
    auto keep = self();
    if (auto d = delegate()) d->searchBarSearchButtonClicked(keep);
}

Size SearchBar::sizeThatFits(Size) const {
    auto parent = superview();
    return {parent ? parent->bounds().size.width : kDefaultWidth, kHeight};
}

}  // namespace clipora::platform
