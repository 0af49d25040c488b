#include "share/Core/Helpers/OAuth/OAURLEncoding.h"

#include "platform/foundation/Text.h"

namespace clipora {

using platform::Text;

std::string OAURLEncoding::URLEncodedString(std::string_view text) { return Text::percentEscape(text); }

std::string OAURLEncoding::URLDecodedString(std::string_view text) {
    return Text::percentUnescape(text).value_or(std::string(text));
}

std::string OAURLEncoding::URLStringWithoutQuery(const platform::URL& url) {
    const auto& text = url.absoluteString();
    return text.substr(0, text.find('?'));
}

std::string OAURLEncoding::baseStringURI(const platform::URL& url) {
    const auto scheme = Text::lowercase(url.scheme());
    auto host = Text::lowercase(url.host());
    if (Text::contains(host, ":")) host = "[" + host + "]";
    std::string port;
    if (auto given = url.port()) {
        const int standard = scheme == "https" ? 443 : scheme == "http" ? 80 : -1;
        if (*given != standard) port = Text::format(":%d", *given);
    }
    const auto& path = url.percentEncodedPath();
    return scheme + "://" + host + port + (path.empty() ? std::string("/") : path);
}

std::vector<std::pair<std::string, std::string>> OAURLEncoding::decodePairs(std::string_view text, bool plusIsSpace) {
    std::vector<std::pair<std::string, std::string>> pairs;
    auto decode = [plusIsSpace](std::string_view piece) {
        auto decoded = plusIsSpace ? Text::formUnescape(piece) : Text::percentUnescape(piece);
        return decoded.value_or(std::string(piece));
    };
    for (const auto& piece : Text::split(text, "&")) {
        if (piece.empty()) continue;
        auto eq = piece.find('=');
        if (eq == std::string::npos) {
            pairs.emplace_back(decode(piece), std::string());
        } else {
            pairs.emplace_back(decode(std::string_view(piece).substr(0, eq)),
                               decode(std::string_view(piece).substr(eq + 1)));
        }
    }
    return pairs;
}

}  // namespace clipora
