#include "social/sdk/FBRedaction.h"

#include <array>
#include <cctype>
#include <cstddef>

namespace clipora {

using platform::Error;
using platform::Value;

namespace {

constexpr std::array<std::string_view, 3> kSecretNames = {"access_token", "sig", "session_key"};

bool isNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' || c == '.';
}

// Where a value ends: the next separator of a query, fragment, header or
// quoted text.
bool endsValue(char c) {
    switch (c) {
    case '&':
    case '#':
    case ';':
    case ',':
    case '"':
    case '\'':
    case '<':
    case '>':
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case ')':
    case ']':
    case '}': return true;
    default: return false;
    }
}

}  // namespace

std::string FBRedaction::redactText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool matched = false;
        if (i == 0 || !isNameCharacter(text[i - 1])) {
            for (auto name : kSecretNames) {
                if (text.substr(i, name.size()) != name) continue;
                std::size_t after = i + name.size();
                // "name=value" as well as the escaped "name%3Dvalue".
                std::size_t valueStart = std::string_view::npos;
                if (after < text.size() && text[after] == '=') {
                    valueStart = after + 1;
                } else if (text.size() - after >= 3 &&
                           (text.substr(after, 3) == "%3D" || text.substr(after, 3) == "%3d")) {
                    valueStart = after + 3;
                }
                if (valueStart == std::string_view::npos) continue;
                std::size_t valueEnd = valueStart;
                while (valueEnd < text.size() && !endsValue(text[valueEnd])) {
                    // An escaped '&' ends the value too.
                    if (text[valueEnd] == '%' && text.size() - valueEnd >= 3 &&
                        (text.substr(valueEnd, 3) == "%26" || text.substr(valueEnd, 3) == "%23"))
                        break;
                    ++valueEnd;
                }
                out.append(text.substr(i, valueStart - i));
                if (valueEnd > valueStart) out.append(kRedacted);
                i = valueEnd;
                matched = true;
                break;
            }
        }
        if (!matched) out.push_back(text[i++]);
    }
    return out;
}

Value FBRedaction::redactValue(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::String: return Value(redactText(*value.string()));
    case Value::Kind::Array: {
        Value::Array items;
        for (const auto& item : *value.array()) items.push_back(redactValue(item));
        return Value(std::move(items));
    }
    case Value::Kind::Dictionary: {
        Value::Dictionary entries;
        for (const auto& [key, item] : *value.dictionary()) entries[redactText(key)] = redactValue(item);
        return Value(std::move(entries));
    }
    default: return value;
    }
}

Error FBRedaction::redactError(const Error& error) {
    Value::Dictionary info;
    for (const auto& [key, item] : error.userInfo()) info[key] = redactValue(item);
    Error redacted(error.domain(), error.code(), std::move(info));
    if (const Error* underlying = error.underlyingError()) redacted.setUnderlyingError(redactError(*underlying));
    return redacted;
}

}  // namespace clipora
