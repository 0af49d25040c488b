#include "platform/uikit/Font.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Whole points, ignoring float noise in the sum of advances.
float roundUp(float width) { return std::ceil(width - 0.001f); }

// Invalid UTF-8 is measured byte by byte, as Latin-1, rather than refused.
std::u32string codePoints(std::string_view text) {
    if (auto decoded = Text::decodeUTF8(text)) return *decoded;
    std::u32string out;
    for (unsigned char c : text) out.push_back(c);
    return out;
}

}  // namespace

Font::Font(std::string name, float pointSize) : name_(std::move(name)), pointSize_(pointSize) {}

Font Font::systemFontOfSize(float size) { return Font(kSystemFontName, size); }
Font Font::boldSystemFontOfSize(float size) { return Font(kBoldSystemFontName, size); }
Font Font::fontWithNameSize(std::string name, float size) { return Font(std::move(name), size); }

bool Font::isBold() const { return name_.find("Bold") != std::string::npos; }

float Font::lineHeight() const { return std::ceil(pointSize_ * 1.2f); }

float Font::advance(char32_t c) const {
    if (c < 0x20 || c == 0x7F) return 0;
    float em = isWide(c) ? 1.0f : 0.5f;
    if (isBold()) em *= 1.1f;
    return em * pointSize_;
}

Size Font::sizeOfText(std::string_view text) const {
    float width = 0;
    for (char32_t c : codePoints(text)) width += advance(c);
    return {roundUp(width), lineHeight()};
}

Size Font::sizeOfTextConstrainedToSize(std::string_view text, Size constraint, LineBreakMode mode) const {
    const float maxWidth = constraint.width > 0 ? constraint.width + 0.001f : std::numeric_limits<float>::max();
    const bool wraps = mode == LineBreakModeWordWrap || mode == LineBreakModeCharacterWrap;
    std::vector<float> lines;
    float line = 0;
    // Word wrap: the pending word and its width, kept apart from the line so a
    // word that does not fit moves to the next line whole.
    float word = 0;
    bool lineHasContent = false;

    auto endLine = [&] {
        lines.push_back(line);
        line = 0;
        lineHasContent = false;
    };
    auto placeWord = [&] {
        if (word == 0) return;
        if (lineHasContent && line + word > maxWidth) endLine();
        line += word;
        lineHasContent = true;
        word = 0;
    };

    for (char32_t c : codePoints(text)) {
        if (c == U'\n') {
            placeWord();
            endLine();
            continue;
        }
        float a = advance(c);
        if (!wraps) {
            line += a;
            lineHasContent = true;
            continue;
        }
        if (mode == LineBreakModeWordWrap) {
            if (c == U' ' || c == U'\t') {
                placeWord();
                // Blanks at the end of a line hang past the edge, as on the device.
                if (line + a <= maxWidth || !lineHasContent) {
                    line += a;
                    lineHasContent = true;
                } else {
                    endLine();
                }
                continue;
            }
            if (word + a > maxWidth && word > 0) {
                // A word longer than a whole line is broken by character.
                placeWord();
            }
            word += a;
            continue;
        }
        if (lineHasContent && line + a > maxWidth) endLine();
        line += a;
        lineHasContent = true;
    }
    placeWord();
    lines.push_back(line);

    std::size_t count = lines.size();
    if (constraint.height > 0) {
        auto fit = static_cast<std::size_t>(std::floor(constraint.height / lineHeight()));
        count = std::max<std::size_t>(1, std::min(count, fit));
    }
    float width = 0;
    for (std::size_t i = 0; i < count; ++i) width = std::max(width, lines[i]);
    width = roundUp(width);
    if (constraint.width > 0) width = std::min(width, constraint.width);
    return {width, lineHeight() * static_cast<float>(count)};
}

float Font::heightOfTextConstrainedToWidth(std::string_view text, float width, LineBreakMode mode) const {
    return sizeOfTextConstrainedToSize(text, {width, 0}, mode).height;
}

}  // namespace clipora::platform
