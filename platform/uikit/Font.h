#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/Size.h"

namespace clipora::platform {

// How text that does not fit is broken or cut (the platform's numbering).
enum LineBreakMode : int {
    LineBreakModeWordWrap = 0,
    LineBreakModeCharacterWrap = 1,
    LineBreakModeClip = 2,
    LineBreakModeHeadTruncation = 3,
    LineBreakModeTailTruncation = 4,
    LineBreakModeMiddleTruncation = 5,
};

// Horizontal alignment of text in labels and fields.
enum TextAlignment : int {
    TextAlignmentLeft = 0,
    TextAlignmentCenter = 1,
    TextAlignmentRight = 2,
};

// A font: a name and a point size. There are no glyphs here; text is measured
// with a fixed, documented metric so layouts are the same on every machine:
//  - a code point advances half the point size, a wide (East Asian or emoji)
//    code point the whole point size; bold fonts advance 10% more; line breaks
//    and other control characters advance nothing;
//  - a line is ceil(1.2 x point size) high;
//  - widths are rounded up to whole points.
class Font {
public:
    static constexpr const char* kSystemFontName = "Helvetica";
    static constexpr const char* kBoldSystemFontName = "Helvetica-Bold";

    // The system font at 17 points.
    Font() = default;
    Font(std::string name, float pointSize);

    static Font systemFontOfSize(float size);
    static Font boldSystemFontOfSize(float size);
    static Font fontWithNameSize(std::string name, float size);
    static float labelFontSize() { return 17; }
    static float buttonFontSize() { return 18; }
    static float systemFontSize() { return 14; }
    static float smallSystemFontSize() { return 12; }

    const std::string& fontName() const { return name_; }
    float pointSize() const { return pointSize_; }
    // Fonts whose name has "Bold" in it.
    bool isBold() const;
    Font fontWithSize(float size) const { return Font(name_, size); }
    float lineHeight() const;

    // Width of the text on one line (line breaks ignored) and one line's height.
    Size sizeOfText(std::string_view text) const;
    // The size the text takes when wrapped to `constraint.width` (word or
    // character wrap by `mode`; the truncating and clipping modes keep each
    // paragraph on one line), with as many whole lines as fit in
    // `constraint.height` (at least one). Explicit line breaks always start a
    // new line. The empty text measures 0 wide and one line high.
    Size sizeOfTextConstrainedToSize(std::string_view text, Size constraint,
                                     LineBreakMode mode = LineBreakModeWordWrap) const;
    // Height of the wrapped text with no height limit.
    float heightOfTextConstrainedToWidth(std::string_view text, float width,
                                         LineBreakMode mode = LineBreakModeWordWrap) const;

    friend bool operator==(const Font&, const Font&) = default;

private:
    float advance(char32_t codePoint) const;

    std::string name_ = kSystemFontName;
    float pointSize_ = 17;
};

}  // namespace clipora::platform
