#pragma once

#include <optional>

#include "platform/uikit/Color.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

// A spinner: large white (37 x 37), white or grey (20 x 20). While
// hidesWhenStopped (the default) it is hidden whenever it is not animating.
class ActivityIndicatorView : public View {
public:
    enum Style : int { StyleWhiteLarge = 0, StyleWhite = 1, StyleGray = 2 };

    explicit ActivityIndicatorView(Style style = StyleWhite);
    explicit ActivityIndicatorView(Rect frame);

    Style activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(Style style) { style_ = style; }
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);
    const std::optional<Color>& color() const { return color_; }
    void setColor(std::optional<Color> color) { color_ = std::move(color); }

    Size sizeThatFits(Size) const override;
    std::string className() const override { return "ActivityIndicatorView"; }

private:
    Style style_;
    bool animating_ = false;
    bool hidesWhenStopped_ = true;
    std::optional<Color> color_;
};

}  // namespace clipora::platform
