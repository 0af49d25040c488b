#include "net/engine/BKJSONSerialization.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/foundation/Text.h"

namespace clipora {

namespace {

bool writeString(std::string_view text, std::string& out) {
    if (!platform::Text::isValidUTF8(text)) return false;
    out.push_back('"');
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += platform::Text::format("\\u%04x", static_cast<int>(c));
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
    return true;
}

bool writeValue(const platform::Value& value, std::string& out, int depth) {
    using Kind = platform::Value::Kind;
    if (depth > BKJSONSerialization::kMaxDepth) return false;
    switch (value.kind()) {
    case Kind::Null: out += "null"; return true;
    case Kind::Bool: out += *value.boolean() ? "true" : "false"; return true;
    case Kind::Integer: out += value.description(); return true;
    case Kind::Real: {
        const double d = *value.real();
        if (!std::isfinite(d)) return false;
        out += value.description();
        return true;
    }
    case Kind::String: return writeString(*value.string(), out);
    case Kind::Array: {
        out.push_back('[');
        bool first = true;
        for (const auto& item : *value.array()) {
            if (!first) out.push_back(',');
            first = false;
            if (!writeValue(item, out, depth + 1)) return false;
        }
        out.push_back(']');
        return true;
    }
    case Kind::Dictionary: {
        out.push_back('{');
        bool first = true;
        for (const auto& [key, item] : *value.dictionary()) {
            if (!first) out.push_back(',');
            first = false;
            if (!writeString(key, out)) return false;
            out.push_back(':');
            if (!writeValue(item, out, depth + 1)) return false;
        }
        out.push_back('}');
        return true;
    }
    default: return false;
    }
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::optional<platform::Value> parseDocument() {
        skipBlanks();
        auto value = parseValue(0);
        if (!value) return std::nullopt;
        skipBlanks();
        if (pos_ != text_.size()) return std::nullopt;
        return value;
    }

private:
    void skipBlanks() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }
    bool consume(std::string_view literal) {
        if (text_.substr(pos_, literal.size()) != literal) return false;
        pos_ += literal.size();
        return true;
    }

    std::optional<platform::Value> parseValue(int depth) {
        if (depth > BKJSONSerialization::kMaxDepth || pos_ >= text_.size()) return std::nullopt;
        const char c = text_[pos_];
        if (c == '{') return parseObject(depth);
        if (c == '[') return parseArray(depth);
        if (c == '"') {
            auto s = parseString();
            if (!s) return std::nullopt;
            return platform::Value(std::move(*s));
        }
        if (consume("true")) return platform::Value(true);
        if (consume("false")) return platform::Value(false);
        if (consume("null")) return platform::Value();
        return parseNumber();
    }

    std::optional<platform::Value> parseObject(int depth) {
        ++pos_;
        platform::Value::Dictionary dict;
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == '}') {
            ++pos_;
            return platform::Value(std::move(dict));
        }
        for (;;) {
            skipBlanks();
            if (pos_ >= text_.size() || text_[pos_] != '"') return std::nullopt;
            auto key = parseString();
            if (!key) return std::nullopt;
            skipBlanks();
            if (!consume(":")) return std::nullopt;
            skipBlanks();
            auto item = parseValue(depth + 1);
            if (!item) return std::nullopt;
            dict.insert_or_assign(std::move(*key), std::move(*item));
            skipBlanks();
            if (consume(",")) continue;
            if (consume("}")) return platform::Value(std::move(dict));
            return std::nullopt;
        }
    }

    std::optional<platform::Value> parseArray(int depth) {
        ++pos_;
        platform::Value::Array array;
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == ']') {
            ++pos_;
            return platform::Value(std::move(array));
        }
        for (;;) {
            skipBlanks();
            auto item = parseValue(depth + 1);
            if (!item) return std::nullopt;
            array.push_back(std::move(*item));
            skipBlanks();
            if (consume(",")) continue;
            if (consume("]")) return platform::Value(std::move(array));
            return std::nullopt;
        }
    }

    std::optional<unsigned> hex4() {
        if (pos_ + 4 > text_.size()) return std::nullopt;
        unsigned v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<unsigned>(c - 'A' + 10);
            else
                return std::nullopt;
        }
        return v;
    }

    std::optional<std::string> parseString() {
        ++pos_;
        std::string out;
        for (;;) {
            if (pos_ >= text_.size()) return std::nullopt;
            const char c = text_[pos_++];
            if (c == '"') break;
            if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (pos_ >= text_.size()) return std::nullopt;
            const char e = text_[pos_++];
            switch (e) {
            case '"': out.push_back('"'); break;
            case '\\': out.push_back('\\'); break;
            case '/': out.push_back('/'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                auto unit = hex4();
                if (!unit) return std::nullopt;
                char32_t code = *unit;
                if (code >= 0xD800 && code <= 0xDBFF) {
                    if (!consume("\\u")) return std::nullopt;
                    auto low = hex4();
                    if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
                    code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                } else if (code >= 0xDC00 && code <= 0xDFFF) {
                    return std::nullopt;
                }
                out += platform::Text::encodeUTF8(code);
                break;
            }
            default: return std::nullopt;
            }
        }
        if (!platform::Text::isValidUTF8(out)) return std::nullopt;
        return out;
    }

    std::optional<platform::Value> parseNumber() {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
        auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
            return pos_ - from;
        };
        const std::size_t intStart = pos_;
        if (digits() == 0) return std::nullopt;
        if (text_[intStart] == '0' && pos_ - intStart > 1) return std::nullopt;
        bool integral = true;
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            integral = false;
            if (digits() == 0) return std::nullopt;
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            integral = false;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            if (digits() == 0) return std::nullopt;
        }
        const std::string_view number = text_.substr(start, pos_ - start);
        if (integral) {
            std::int64_t v = 0;
            auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
            if (ec == std::errc() && end == number.data() + number.size())
                return platform::Value(static_cast<long long>(v));
        }
        double d = 0;
        auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), d);
        if (end != number.data() + number.size() || (ec != std::errc() && ec != std::errc::result_out_of_range))
            return std::nullopt;
        return platform::Value(d);
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::optional<std::string> BKJSONSerialization::dataWithJSONObject(const platform::Value& object) {
    if (!object.isArray() && !object.isDictionary()) return std::nullopt;
    std::string out;
    if (!writeValue(object, out, 0)) return std::nullopt;
    return out;
}

std::optional<platform::Value> BKJSONSerialization::JSONObjectWithData(std::string_view text) {
    return Parser(text).parseDocument();
}

}  // namespace clipora
