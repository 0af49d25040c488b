#include "platform/foundation/StringsTable.h"

#include <cstdint>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::optional<StringsTable::Entries> run(std::optional<Error>* error) {
        StringsTable::Entries entries;
        for (;;) {
            if (!skipBlanksAndComments()) return failure(error, "unterminated comment");
            if (atEnd()) break;
            auto key = token();
            if (!key) return failure(error, problem_);
            if (!skipBlanksAndComments()) return failure(error, "unterminated comment");
            if (peek() == ';') {
                ++pos_;
                entries.insert_or_assign(*key, *key);
                continue;
            }
            if (peek() != '=') return failure(error, "expected '=' or ';' after a key");
            ++pos_;
            if (!skipBlanksAndComments()) return failure(error, "unterminated comment");
            auto value = token();
            if (!value) return failure(error, problem_);
            if (!skipBlanksAndComments()) return failure(error, "unterminated comment");
            if (peek() != ';') return failure(error, "expected ';' after a value");
            ++pos_;
            entries.insert_or_assign(std::move(*key), std::move(*value));
        }
        return entries;
    }

private:
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }

    std::optional<StringsTable::Entries> failure(std::optional<Error>* error, const std::string& what) {
        if (error) {
            std::size_t line = 1;
            for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i)
                if (text_[i] == '\n') ++line;
            Error e =
                Error::withDescription(std::string(PropertyList::kErrorDomain), PropertyList::kReadCorruptError,
                                       "The strings table couldn't be read because it isn't in the correct format.");
            e.setUserInfoValue(std::string(Error::kLocalizedFailureReasonKey),
                               Value(what + " on line " + std::to_string(line)));
            *error = std::move(e);
        }
        return std::nullopt;
    }

    // Skips white space and comments; false on an unterminated block comment.
    bool skipBlanksAndComments() {
        while (!atEnd()) {
            char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '*') {
                std::size_t end = text_.find("*/", pos_ + 2);
                if (end == std::string_view::npos) return false;
                pos_ = end + 2;
            } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
                std::size_t end = text_.find('\n', pos_ + 2);
                pos_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else {
                break;
            }
        }
        return true;
    }

    static bool isWordCharacter(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
               c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
    }

    std::optional<std::string> token() {
        if (peek() == '"') return quoted();
        std::size_t start = pos_;
        while (!atEnd() && isWordCharacter(text_[pos_])) ++pos_;
        if (pos_ == start) {
            problem_ = atEnd() ? "unexpected end of text" : "unexpected character";
            return std::nullopt;
        }
        return std::string(text_.substr(start, pos_ - start));
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    // Four hex digits after \u; false when they are not there.
    bool unit(std::uint32_t& out) {
        if (pos_ + 4 > text_.size()) return false;
        out = 0;
        for (int i = 0; i < 4; ++i) {
            int d = hexDigit(text_[pos_ + i]);
            if (d < 0) return false;
            out = out * 16 + static_cast<std::uint32_t>(d);
        }
        pos_ += 4;
        return true;
    }

    std::optional<std::string> quoted() {
        ++pos_;  // opening quote
        std::string out;
        while (!atEnd()) {
            char c = text_[pos_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (atEnd()) break;
            char e = text_[pos_++];
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'a': out += '\a'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'v': out += '\v'; break;
            case 'U':
            case 'u': {
                std::uint32_t first;
                if (!unit(first)) {
                    problem_ = "malformed \\u escape";
                    return std::nullopt;
                }
                char32_t codePoint = first;
                if (first >= 0xD800 && first <= 0xDBFF) {
                    std::uint32_t second = 0;
                    std::size_t save = pos_;
                    if (pos_ + 2 <= text_.size() && text_[pos_] == '\\' &&
                        (text_[pos_ + 1] == 'u' || text_[pos_ + 1] == 'U')) {
                        pos_ += 2;
                        if (!unit(second) || second < 0xDC00 || second > 0xDFFF) {
                            pos_ = save;
                            second = 0;
                        }
                    }
                    codePoint = second ? 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00) : 0xFFFD;
                } else if (first >= 0xDC00 && first <= 0xDFFF) {
                    codePoint = 0xFFFD;
                }
                out += Text::encodeUTF8(codePoint);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    unsigned value = static_cast<unsigned>(e - '0');
                    for (int i = 0; i < 2 && !atEnd() && text_[pos_] >= '0' && text_[pos_] <= '7'; ++i)
                        value = value * 8 + static_cast<unsigned>(text_[pos_++] - '0');
                    out += static_cast<char>(value & 0xFF);
                } else {
                    out += e;  // \" \\ \' and any other character stand for themselves
                }
            }
        }
        problem_ = "unterminated quoted string";
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string problem_;
};

}  // namespace

std::optional<StringsTable::Entries> StringsTable::parse(std::string_view text, std::optional<Error>* error) {
    if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
        static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF)
        text.remove_prefix(3);
    return Parser(text).run(error);
}

std::optional<StringsTable::Entries> StringsTable::fromData(const Data& bytes, std::optional<Error>* error) {
    auto readError = [&](const std::string& reason) {
        if (error) {
            Error e =
                Error::withDescription(std::string(PropertyList::kErrorDomain), PropertyList::kReadCorruptError,
                                       "The strings table couldn't be read because it isn't in the correct format.");
            e.setUserInfoValue(std::string(Error::kLocalizedFailureReasonKey), Value(reason));
            *error = std::move(e);
        }
        return std::nullopt;
    };

    // UTF-16 text with a byte-order mark.
    if (bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        auto text = Text::decode(bytes, Text::Encoding::UTF16);
        if (!text) return readError("invalid UTF-16 text");
        Data utf8(text->begin(), text->end());  // a leading byte-order mark is skipped below
        return fromData(utf8, error);
    }

    if (PropertyList::detectFormat(bytes)) {
        auto list = PropertyList::fromData(bytes, error);
        if (!list) return std::nullopt;
        const Value::Dictionary* dictionary = list->dictionary();
        if (!dictionary) return readError("the property list is not a dictionary");
        Entries entries;
        for (const auto& [key, value] : *dictionary) {
            if (!value.isString()) return readError("the value of \"" + key + "\" is not a string");
            entries.emplace(key, *value.string());
        }
        return entries;
    }

    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!Text::isValidUTF8(text)) return readError("invalid UTF-8 text");
    return parse(text, error);
}

std::optional<StringsTable::Entries> StringsTable::fromFile(const std::filesystem::path& path,
                                                            std::optional<Error>* error) {
    auto bytes = FileManager::contentsOfFile(path, error);
    if (!bytes) return std::nullopt;
    return fromData(*bytes, error);
}

}  // namespace clipora::platform
