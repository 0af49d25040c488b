#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

// A bar of bar button items.
class Toolbar : public View {
public:
    static constexpr float kHeight = 44;

    Toolbar();
    explicit Toolbar(Rect frame);

    const std::vector<std::shared_ptr<BarButtonItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<BarButtonItem>> items) { items_ = std::move(items); }
    void setItemsAnimated(std::vector<std::shared_ptr<BarButtonItem>> items, bool) { items_ = std::move(items); }
    // The first item with the tag, if any.
    std::shared_ptr<BarButtonItem> itemWithTag(int tag) const;

    int barStyle() const { return barStyle_; }
    void setBarStyle(int style) { barStyle_ = style; }
    const std::optional<Color>& tintColor() const { return tintColor_; }
    void setTintColor(std::optional<Color> color) { tintColor_ = std::move(color); }
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent) { translucent_ = translucent; }

    Size sizeThatFits(Size size) const override { return {size.width, kHeight}; }
    std::string className() const override { return "Toolbar"; }

private:
    std::vector<std::shared_ptr<BarButtonItem>> items_;
    int barStyle_ = 0;
    std::optional<Color> tintColor_;
    bool translucent_ = false;
};

}  // namespace clipora::platform
