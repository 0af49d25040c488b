#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Rect.h"
#include "platform/uikit/ActionSheetDelegate.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

class BarButtonItem;

// A sheet of choices. Buttons are numbered in this order: the destructive
// button (when given), the other buttons from first to last, then the cancel
// button (when given) — so without a destructive button the others are
// numbered from 0 and cancel comes after them. Buttons added later follow.
// Shown sheets are listed in the AlertRegistry, which keeps them alive. A
// press on a button tells the delegate of the click, then calls
// dismissWithClickedButtonIndexAnimated (which subclasses may override); a
// programmatic dismissal does not report a click.
class ActionSheet : public View {
public:
    enum Style : int { StyleAutomatic = -1, StyleDefault = 0, StyleBlackTranslucent = 2, StyleBlackOpaque = 1 };

    ActionSheet(std::string title, std::weak_ptr<ActionSheetDelegate> delegate,
                std::optional<std::string> cancelButtonTitle, std::optional<std::string> destructiveButtonTitle,
                std::vector<std::string> otherButtonTitles = {});

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    std::shared_ptr<ActionSheetDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<ActionSheetDelegate> delegate) { delegate_ = std::move(delegate); }
    Style actionSheetStyle() const { return style_; }
    void setActionSheetStyle(Style style) { style_ = style; }

    // Answers the new button's index.
    int addButtonWithTitle(std::string title);
    std::string buttonTitleAtIndex(int index) const;
    int numberOfButtons() const { return static_cast<int>(buttons_.size()); }
    const std::vector<std::string>& buttonTitles() const { return buttons_; }
    int cancelButtonIndex() const { return cancelIndex_; }
    void setCancelButtonIndex(int index) { cancelIndex_ = index; }
    int destructiveButtonIndex() const { return destructiveIndex_; }
    void setDestructiveButtonIndex(int index) { destructiveIndex_ = index; }
    // The first button that is neither cancel nor destructive, or -1.
    int firstOtherButtonIndex() const;

    void showInView(const std::shared_ptr<View>& view);
    void showFromRectInViewAnimated(Rect rect, const std::shared_ptr<View>& view, bool animated);
    void showFromBarButtonItemAnimated(const std::shared_ptr<BarButtonItem>& item, bool animated);
    void showFromToolbar(const std::shared_ptr<View>& toolbar);
    bool isVisible() const { return visible_; }
    // Where the sheet was shown from: the view (and rectangle in it) or the bar item.
    std::shared_ptr<View> shownInView() const { return shownIn_.lock(); }
    Rect shownFromRect() const { return shownFromRect_; }
    std::shared_ptr<BarButtonItem> shownFromBarButtonItem() const { return shownFromItem_.lock(); }

    virtual void dismissWithClickedButtonIndexAnimated(int index, bool animated);

    // A finger on a button of the shown sheet: clicked, then dismissal.
    bool pressButtonAtIndex(int index);
    bool pressButtonWithTitle(const std::string& title);

    std::string className() const override { return "ActionSheet"; }

private:
    void present();

    std::string title_;
    std::weak_ptr<ActionSheetDelegate> delegate_;
    std::vector<std::string> buttons_;
    int cancelIndex_ = -1;
    int destructiveIndex_ = -1;
    Style style_ = StyleAutomatic;
    bool visible_ = false;
    std::weak_ptr<View> shownIn_;
    Rect shownFromRect_;
    std::weak_ptr<BarButtonItem> shownFromItem_;
};

}  // namespace clipora::platform
