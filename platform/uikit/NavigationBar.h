#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/uikit/Color.h"
#include "platform/uikit/NavigationBarDelegate.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

// A bar with a stack of navigation items; it shows the top item's title and
// buttons and, below it, a back button for the previous item. A navigation
// controller keeps its bar's items in step with its controllers.
class NavigationBar : public View {
public:
    enum BarStyle : int { BarStyleDefault = 0, BarStyleBlack = 1, BarStyleBlackTranslucent = 2 };
    static constexpr float kHeight = 44;
    static constexpr float kHeightWithPrompt = 74;

    NavigationBar();
    explicit NavigationBar(Rect frame);

    const std::vector<std::shared_ptr<NavigationItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<NavigationItem>> items) { items_ = std::move(items); }
    void setItemsAnimated(std::vector<std::shared_ptr<NavigationItem>> items, bool) { items_ = std::move(items); }
    std::shared_ptr<NavigationItem> topItem() const;
    std::shared_ptr<NavigationItem> backItem() const;
    // Asks the delegate, then pushes.
    void pushNavigationItemAnimated(const std::shared_ptr<NavigationItem>& item, bool animated);
    // Asks the delegate, then pops; answers the item popped.
    std::shared_ptr<NavigationItem> popNavigationItemAnimated(bool animated);

    std::shared_ptr<NavigationBarDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<NavigationBarDelegate> delegate) { delegate_ = std::move(delegate); }

    BarStyle barStyle() const { return barStyle_; }
    void setBarStyle(BarStyle style) { barStyle_ = style; }
    const std::optional<Color>& tintColor() const { return tintColor_; }
    void setTintColor(std::optional<Color> color) { tintColor_ = std::move(color); }
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent) { translucent_ = translucent; }

    // The title shown: the top item's title.
    std::string shownTitle() const;
    // Whether a back button shows (there is a previous item and the top item
    // does not hide it), and its title: the previous item's back button
    // title, else its title, else "Back".
    bool showsBackButton() const;
    std::string backButtonTitle() const;
    // A finger on the back button: pops when one shows (a navigation
    // controller's bar pops its controller). Answers whether it popped.
    bool tapBackButton();

    // Full width, 44 points high (74 with a prompt).
    Size sizeThatFits(Size size) const override;
    std::string className() const override { return "NavigationBar"; }

private:
    friend class NavigationController;

    std::vector<std::shared_ptr<NavigationItem>> items_;
    std::weak_ptr<NavigationBarDelegate> delegate_;
    BarStyle barStyle_ = BarStyleDefault;
    std::optional<Color> tintColor_;
    bool translucent_ = false;
    // Set when a navigation controller owns the bar: the back button pops it.
    std::function<bool()> backAction_;
};

}  // namespace clipora::platform
