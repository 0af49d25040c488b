#include "platform/uikit/ActionSheet.h"

#include <algorithm>

#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/BarButtonItem.h"

namespace clipora::platform {

ActionSheet::ActionSheet(std::string title, std::weak_ptr<ActionSheetDelegate> delegate,
                         std::optional<std::string> cancelButtonTitle,
                         std::optional<std::string> destructiveButtonTitle, std::vector<std::string> otherButtonTitles)
    : View(Rect{0, 0, 320, 240}), title_(std::move(title)), delegate_(std::move(delegate)) {
    if (destructiveButtonTitle) destructiveIndex_ = addButtonWithTitle(std::move(*destructiveButtonTitle));
    for (auto& t : otherButtonTitles) addButtonWithTitle(std::move(t));
    if (cancelButtonTitle) cancelIndex_ = addButtonWithTitle(std::move(*cancelButtonTitle));
}

int ActionSheet::addButtonWithTitle(std::string title) {
    buttons_.push_back(std::move(title));
    return static_cast<int>(buttons_.size()) - 1;
}

std::string ActionSheet::buttonTitleAtIndex(int index) const {
    if (index < 0 || index >= numberOfButtons()) return {};
    return buttons_[static_cast<std::size_t>(index)];
}

int ActionSheet::firstOtherButtonIndex() const {
    for (int i = 0; i < numberOfButtons(); ++i) {
        if (i != cancelIndex_ && i != destructiveIndex_) return i;
    }
    return -1;
}

void ActionSheet::showInView(const std::shared_ptr<View>& view) {
    if (visible_) return;
    shownIn_ = view;
    shownFromRect_ = view ? view->bounds() : Rect{};
    shownFromItem_.reset();
    present();
}

void ActionSheet::showFromRectInViewAnimated(Rect rect, const std::shared_ptr<View>& view, bool) {
    if (visible_) return;
    shownIn_ = view;
    shownFromRect_ = rect;
    shownFromItem_.reset();
    present();
}

void ActionSheet::showFromBarButtonItemAnimated(const std::shared_ptr<BarButtonItem>& item, bool) {
    if (visible_) return;
    shownIn_.reset();
    shownFromRect_ = {};
    shownFromItem_ = item;
    present();
}

void ActionSheet::showFromToolbar(const std::shared_ptr<View>& toolbar) { showInView(toolbar); }

void ActionSheet::present() {
    auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
    if (auto d = delegate_.lock()) d->willPresentActionSheet(self);
    visible_ = true;
    AlertRegistry::add(self);
    if (auto d = delegate_.lock()) d->didPresentActionSheet(self);
}

void ActionSheet::dismissWithClickedButtonIndexAnimated(int index, bool) {
    if (!visible_) return;
    auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
    if (auto d = delegate_.lock()) d->actionSheetWillDismissWithButtonIndex(self, index);
    visible_ = false;
    AlertRegistry::remove(self.get());
    if (auto d = delegate_.lock()) d->actionSheetDidDismissWithButtonIndex(self, index);
}

bool ActionSheet::pressButtonAtIndex(int index) {
    if (!visible_ || index < 0 || index >= numberOfButtons()) return false;
    auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
    if (auto d = delegate_.lock()) d->actionSheetClickedButtonAtIndex(self, index);
    dismissWithClickedButtonIndexAnimated(index, true);
    return true;
}

bool ActionSheet::pressButtonWithTitle(const std::string& title) {
    auto it = std::find(buttons_.begin(), buttons_.end(), title);
    if (it == buttons_.end()) return false;
    return pressButtonAtIndex(static_cast<int>(it - buttons_.begin()));
}

}  // namespace clipora::platform
