#include "platform/uikit/AlertView.h"

#include <algorithm>

#include "platform/uikit/AlertRegistry.h"

namespace clipora::platform {

AlertView::AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
                     std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles)
    : View(Rect{0, 0, 284, 141}), title_(std::move(title)), message_(std::move(message)),
      delegate_(std::move(delegate)) {
    if (cancelButtonTitle) {
        cancelIndex_ = 0;
        buttons_.push_back(std::move(*cancelButtonTitle));
    }
    for (auto& t : otherButtonTitles) buttons_.push_back(std::move(t));
}

int AlertView::addButtonWithTitle(std::string title) {
    buttons_.push_back(std::move(title));
    return static_cast<int>(buttons_.size()) - 1;
}

std::string AlertView::buttonTitleAtIndex(int index) const {
    if (index < 0 || index >= numberOfButtons()) return {};
    return buttons_[static_cast<std::size_t>(index)];
}

int AlertView::firstOtherButtonIndex() const {
    for (int i = 0; i < numberOfButtons(); ++i) {
        if (i != cancelIndex_) return i;
    }
    return -1;
}

void AlertView::show() {
    if (visible_) return;
    auto self = std::static_pointer_cast<AlertView>(shared_from_this());
    if (auto d = delegate_.lock()) d->willPresentAlertView(self);
    visible_ = true;
    AlertRegistry::add(self);
    if (auto d = delegate_.lock()) d->didPresentAlertView(self);
}

void AlertView::dismissWithClickedButtonIndexAnimated(int index, bool) {
    if (!visible_) return;
    auto self = std::static_pointer_cast<AlertView>(shared_from_this());
    if (auto d = delegate_.lock()) d->alertViewWillDismissWithButtonIndex(self, index);
    visible_ = false;
    AlertRegistry::remove(self.get());
    if (auto d = delegate_.lock()) d->alertViewDidDismissWithButtonIndex(self, index);
}

bool AlertView::pressButtonAtIndex(int index) {
    if (!visible_ || index < 0 || index >= numberOfButtons()) return false;
    auto self = std::static_pointer_cast<AlertView>(shared_from_this());
    if (auto d = delegate_.lock()) d->alertViewClickedButtonAtIndex(self, index);
    dismissWithClickedButtonIndexAnimated(index, true);
    return true;
}

bool AlertView::pressButtonWithTitle(const std::string& title) {
    auto it = std::find(buttons_.begin(), buttons_.end(), title);
    if (it == buttons_.end()) return false;
    return pressButtonAtIndex(static_cast<int>(it - buttons_.begin()));
}

}  // namespace clipora::platform
