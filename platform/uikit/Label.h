#pragma once

#include <optional>
#include <string>

#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

// A view showing a text. It measures its text with the font's metric; it
// takes no touches by default.
class Label : public View {
public:
    Label();
    explicit Label(Rect frame);

    const std::string& text() const { return text_; }
    void setText(std::string text);
    const Font& font() const { return font_; }
    void setFont(Font font) { font_ = std::move(font); }
    const Color& textColor() const { return textColor_; }
    void setTextColor(Color color) { textColor_ = std::move(color); }
    const std::optional<Color>& highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(std::optional<Color> color) { highlightedTextColor_ = std::move(color); }
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment alignment) { alignment_ = alignment; }
    LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(LineBreakMode mode) { lineBreakMode_ = mode; }
    // 0: as many lines as needed.
    int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int lines) { numberOfLines_ = lines; }
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts) { adjustsFontSizeToFitWidth_ = adjusts; }
    float minimumFontSize() const { return minimumFontSize_; }
    void setMinimumFontSize(float size) { minimumFontSize_ = size; }
    const std::optional<Color>& shadowColor() const { return shadowColor_; }
    void setShadowColor(std::optional<Color> color) { shadowColor_ = std::move(color); }
    Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(Size offset) { shadowOffset_ = offset; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    int baselineAdjustment() const { return baselineAdjustment_; }
    void setBaselineAdjustment(int adjustment) { baselineAdjustment_ = adjustment; }

    // One line: the text's width and a line's height. Several lines: the text
    // wrapped to the given width, at most numberOfLines lines.
    Size sizeThatFits(Size size) const override;
    std::string className() const override { return "Label"; }

private:
    std::string text_;
    Font font_ = Font::systemFontOfSize(17);
    Color textColor_ = Color::blackColor();
    std::optional<Color> highlightedTextColor_;
    TextAlignment alignment_ = TextAlignmentLeft;
    LineBreakMode lineBreakMode_ = LineBreakModeTailTruncation;
    int numberOfLines_ = 1;
    bool adjustsFontSizeToFitWidth_ = false;
    float minimumFontSize_ = 0;
    std::optional<Color> shadowColor_;
    Size shadowOffset_{0, -1};
    bool highlighted_ = false;
    bool enabled_ = true;
    int baselineAdjustment_ = 0;
};

}  // namespace clipora::platform
