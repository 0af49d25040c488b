#include "tools/clipora/TerminalText.h"

#include <algorithm>

#include "platform/foundation/Text.h"

namespace clipora::device {

using platform::Text;

namespace {

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Calls `each` with every well-formed character of `text` (invalid bytes are
// skipped) and the bytes that encode it.
template <class Each>
void forEachCharacter(std::string_view text, Each each) {
    char32_t c = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Text::decodeUTF8At(text, i, c);
        if (length == 0) {
            ++i;
            continue;
        }
        each(c, text.substr(i, length));
        i += length;
    }
}

}  // namespace

std::string TerminalText::printable(std::string_view text, std::size_t limit) {
    std::string out;
    out.reserve(std::min(text.size(), limit == kNoLimit ? text.size() : limit * 4));
    std::size_t kept = 0;
    std::size_t more = 0;
    forEachCharacter(text, [&](char32_t c, std::string_view bytes) {
        const bool space = c == '\t' || c == '\n' || c == '\r';
        if (isControl(c) && !space) return;
        if (kept == limit) {
            ++more;
            return;
        }
        ++kept;
        if (space)
            out += ' ';
        else
            out.append(bytes);
    });
    if (more > 0) out += "\u2026 [" + std::to_string(more) + (more == 1 ? " more character]" : " more characters]");
    return out;
}

std::string TerminalText::masked(std::string_view text) {
    std::string stars;
    forEachCharacter(text, [&](char32_t, std::string_view) { stars += '*'; });
    return stars;
}

}  // namespace clipora::device
