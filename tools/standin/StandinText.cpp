#include "tools/standin/StandinText.h"

#include "platform/foundation/Text.h"

namespace clipora::standin {

std::optional<std::string> StandinText::percentUnescape(std::string_view text, bool plusIsSpace) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            int hi = digit(text[i + 1]);
            int lo = digit(text[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::map<std::string, std::string>> StandinText::parseForm(std::string_view text) {
    std::map<std::string, std::string> out;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('&', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view piece = text.substr(pos, end - pos);
        if (!piece.empty()) {
            std::size_t eq = piece.find('=');
            auto key = percentUnescape(piece.substr(0, eq), true);
            auto value = eq == std::string_view::npos ? std::optional<std::string>(std::string())
                                                      : percentUnescape(piece.substr(eq + 1), true);
            if (!key || !value) return std::nullopt;
            out[*key] = *value;
        }
        pos = end + 1;
    }
    return out;
}

std::string StandinText::formEncode(const std::map<std::string, std::string>& pairs) {
    std::string out;
    for (const auto& [key, value] : pairs) {
        if (!out.empty()) out += '&';
        out += platform::Text::percentEscape(key) + "=" + platform::Text::percentEscape(value);
    }
    return out;
}

std::string StandinText::reasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Error";
    }
}

std::string StandinText::formAction(std::string_view html, std::string_view formId) {
    std::size_t pos = 0;
    while ((pos = html.find("<form", pos)) != std::string_view::npos) {
        std::size_t end = html.find('>', pos);
        if (end == std::string_view::npos) return {};
        std::string_view tag = html.substr(pos, end - pos);
        pos = end;
        auto attribute = [&](std::string_view name) -> std::optional<std::string> {
            std::string key = " " + std::string(name) + "=\"";
            auto at = tag.find(key);
            if (at == std::string_view::npos) return std::nullopt;
            auto start = at + key.size();
            auto close = tag.find('"', start);
            if (close == std::string_view::npos) return std::nullopt;
            return std::string(tag.substr(start, close - start));
        };
        if (!formId.empty() && attribute("id") != std::string(formId)) continue;
        auto action = attribute("action");
        if (!action) return {};
        // Undo the markup escaping.
        std::string out;
        for (std::size_t i = 0; i < action->size(); ++i) {
            std::string_view rest = std::string_view(*action).substr(i);
            if (rest.starts_with("&amp;")) {
                out += '&';
                i += 4;
            } else if (rest.starts_with("&quot;")) {
                out += '"';
                i += 5;
            } else if (rest.starts_with("&lt;")) {
                out += '<';
                i += 3;
            } else if (rest.starts_with("&gt;")) {
                out += '>';
                i += 3;
            } else if (rest.starts_with("&#39;")) {
                out += '\'';
                i += 4;
            } else
                out += (*action)[i];
        }
        return out;
    }
    return {};
}

}  // namespace clipora::standin
