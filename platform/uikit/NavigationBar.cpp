#include "platform/uikit/NavigationBar.h"

namespace clipora::platform {

NavigationBar::NavigationBar() : NavigationBar(Rect{0, 0, 320, kHeight}) {}

NavigationBar::NavigationBar(Rect frame) : View(frame) {}

std::shared_ptr<NavigationItem> NavigationBar::topItem() const { return items_.empty() ? nullptr : items_.back(); }

std::shared_ptr<NavigationItem> NavigationBar::backItem() const {
    return items_.size() < 2 ? nullptr : items_[items_.size() - 2];
}

void NavigationBar::pushNavigationItemAnimated(const std::shared_ptr<NavigationItem>& item, bool) {
    if (!item) return;
    auto self = std::static_pointer_cast<NavigationBar>(shared_from_this());
    auto d = delegate_.lock();
    if (d && !d->navigationBarShouldPushItem(self, item)) return;
    items_.push_back(item);
    if (d) d->navigationBarDidPushItem(self, item);
}

std::shared_ptr<NavigationItem> NavigationBar::popNavigationItemAnimated(bool) {
    if (items_.empty()) return nullptr;
    auto self = std::static_pointer_cast<NavigationBar>(shared_from_this());
    auto item = items_.back();
    auto d = delegate_.lock();
    if (d && !d->navigationBarShouldPopItem(self, item)) return nullptr;
    items_.pop_back();
    if (d) d->navigationBarDidPopItem(self, item);
    return item;
}

std::string NavigationBar::shownTitle() const {
    auto top = topItem();
    return top ? top->title() : std::string();
}

bool NavigationBar::showsBackButton() const {
    auto top = topItem();
    return backItem() && top && !top->hidesBackButton() && !top->leftBarButtonItem();
}

std::string NavigationBar::backButtonTitle() const {
    auto back = backItem();
    if (!back) return {};
    if (back->backBarButtonItem() && !back->backBarButtonItem()->title().empty())
        return back->backBarButtonItem()->title();
    if (!back->title().empty()) return back->title();
    return "Back";
}

bool NavigationBar::tapBackButton() {
    if (!showsBackButton()) return false;
    auto keep = shared_from_this();
    if (backAction_) return backAction_();
    return popNavigationItemAnimated(true) != nullptr;
}

Size NavigationBar::sizeThatFits(Size size) const {
    auto top = topItem();
    return {size.width, top && top->prompt() ? kHeightWithPrompt : kHeight};
}

}  // namespace clipora::platform
