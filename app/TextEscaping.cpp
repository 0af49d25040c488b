#include "app/TextEscaping.h"

#include <cstdio>

#include "platform/foundation/MarkupEscaping.h"

namespace clipora {

std::string TextEscaping::html(std::string_view text) { return platform::MarkupEscaping::escaped(text); }

std::string TextEscaping::jsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out;
}

}  // namespace clipora
