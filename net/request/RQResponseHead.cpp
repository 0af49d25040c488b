#include "net/request/RQResponseHead.h"

namespace clipora {

using platform::Text;

std::optional<std::uint64_t> RQResponseHead::contentLength(const std::string& text) {
    std::string value = Text::trimWhitespaceAndNewlines(text);
    if (value.empty() || value.size() > 19) return std::nullopt;
    std::uint64_t result = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return std::nullopt;
        result = result * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return result;
}

std::optional<std::uint64_t> RQResponseHead::contentRangeStart(const std::string& value) {
    std::string text = Text::trimWhitespaceAndNewlines(value);
    if (!Text::hasPrefix(Text::lowercase(text), "bytes ")) return std::nullopt;
    text = Text::trimWhitespaceAndNewlines(text.substr(6));
    auto dash = text.find('-');
    if (dash == std::string::npos) return std::nullopt;
    return contentLength(text.substr(0, dash));
}

std::optional<std::uint64_t> RQResponseHead::unsatisfiedRangeLength(const std::string& value) {
    std::string text = Text::trimWhitespaceAndNewlines(value);
    if (!Text::hasPrefix(Text::lowercase(text), "bytes ")) return std::nullopt;
    text = Text::trimWhitespaceAndNewlines(text.substr(6));
    if (!Text::hasPrefix(text, "*/")) return std::nullopt;
    return contentLength(text.substr(2));
}

RQResponseHead::Reuse RQResponseHead::connectionReuse(const platform::HTTPMessage& head,
                                                      const platform::HTTPHeaders& headers) {
    Reuse reuse;
    const std::string connection = Text::lowercase(headers.value("Connection").value_or(""));
    if ((head.version() == platform::HTTPMessage::kVersion10 && connection != "keep-alive") || connection == "close")
        return reuse;
    auto keepAlive = headers.value("Keep-Alive");
    if (!keepAlive) {
        reuse.reusable = true;
        return reuse;
    }
    const std::string text = Text::lowercase(*keepAlive);
    auto timeoutAt = text.find("timeout=");
    if (timeoutAt == std::string::npos) return reuse;
    const std::int64_t timeout = Text::longLongValue(std::string_view(text).substr(timeoutAt + 8));
    auto maxAt = text.find("max=", timeoutAt);
    const std::int64_t max =
        maxAt == std::string::npos ? 0 : Text::longLongValue(std::string_view(text).substr(maxAt + 4));
    if (max > 5) {
        reuse.reusable = true;
        reuse.timeoutSeconds = static_cast<double>(timeout);
    }
    return reuse;
}

void RQResponseHead::mimeTypeAndEncoding(std::string* mimeType, Text::Encoding* encoding,
                                         const std::optional<std::string>& contentType) {
    if (!contentType) return;
    const std::string& value = *contentType;
    auto semicolon = value.find(';');
    if (semicolon == std::string::npos || semicolon == 0) {
        if (mimeType) *mimeType = Text::trimWhitespaceAndNewlines(value);
        return;
    }
    if (mimeType) *mimeType = Text::trimWhitespaceAndNewlines(value.substr(0, semicolon));
    // Parameters: name=value pairs separated by ";", names in any case,
    // values possibly quoted.
    for (const auto& parameter : Text::split(value.substr(semicolon + 1), ";")) {
        auto pair = Text::splitAtFirst(parameter, "=");
        if (!pair) continue;
        if (!Text::equalsCaseInsensitive(Text::trimWhitespaceAndNewlines(pair->first), "charset")) continue;
        std::string name = Text::trimWhitespaceAndNewlines(pair->second);
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
        name = Text::trimWhitespaceAndNewlines(name);
        if (auto found = Text::encodingForCharsetName(name); found && encoding) *encoding = *found;
        return;
    }
}

}  // namespace clipora
