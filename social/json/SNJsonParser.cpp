#include "social/json/SNJsonParser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <system_error>
#include <tuple>
#include <utility>

#include "platform/foundation/Text.h"
#include "social/json/SNJsonScan.h"

namespace clipora {

using platform::Value;

namespace {

// The six ASCII whitespace characters: space, tab, LF, VT, FF, CR.
constexpr std::array<bool, 256> kWhitespace = [] {
    std::array<bool, 256> table{};
    for (unsigned char ch : {' ', '\t', '\n', '\v', '\f', '\r'}) table[ch] = true;
    return table;
}();

// What each one-character escape stands for (0: not one).
constexpr std::array<char, 256> kEscapes = [] {
    std::array<char, 256> table{};
    table['"'] = '"';
    table['\\'] = '\\';
    table['/'] = '/';
    table['b'] = '\b';
    table['f'] = '\f';
    table['n'] = '\n';
    table['r'] = '\r';
    table['t'] = '\t';
    return table;
}();

inline bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

inline bool isContinuation(const char* p) { return (static_cast<unsigned char>(*p) & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence starting at the non-ASCII byte p,
// or 0 when it is not one (overlong forms, surrogates and values above
// U+10FFFF are refused).
std::size_t utf8SequenceLength(const char* p, const char* end) {
    const auto b0 = static_cast<unsigned char>(p[0]);
    const auto left = static_cast<std::size_t>(end - p);
    if (b0 < 0xC2) return 0;
    if (b0 < 0xE0) return left >= 2 && isContinuation(p + 1) ? 2 : 0;
    if (b0 < 0xF0) {
        if (left < 3 || !isContinuation(p + 1) || !isContinuation(p + 2)) return 0;
        const auto b1 = static_cast<unsigned char>(p[1]);
        if (b0 == 0xE0 && b1 < 0xA0) return 0;
        if (b0 == 0xED && b1 > 0x9F) return 0;
        return 3;
    }
    if (b0 < 0xF5) {
        if (left < 4 || !isContinuation(p + 1) || !isContinuation(p + 2) || !isContinuation(p + 3)) return 0;
        const auto b1 = static_cast<unsigned char>(p[1]);
        if (b0 == 0xF0 && b1 < 0x90) return 0;
        if (b0 == 0xF4 && b1 > 0x8F) return 0;
        return 4;
    }
    return 0;
}

// Writes the UTF-8 form of cp (at most four bytes) and answers its length.
std::size_t encodeUTF8(char* out, char32_t cp) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

int hexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

}  // namespace

// Inline: every key and string value passes here, most of them in the
// first few lines.
inline bool SNJsonParser::scanRestOfString(std::string_view& out) {
    // Most strings hold no escape: they are a piece of the input. The others
    // are put together in a buffer that lives as long as the parser. Either
    // way the caller makes the one string it keeps straight from the text.
    const char* start = c_;
    c_ = SNJsonScan::skipPlainRun(c_, end_);
    if (c_ < end_ && *c_ == '"') {
        out = std::string_view(start, static_cast<std::size_t>(c_ - start));
        ++c_;
        return true;
    }
    // The plain run found so far is kept; decoding goes on from where it
    // stopped.
    std::size_t length = 0;
    if (!scanRestOfEscapedString(start, length)) return false;
    out = std::string_view(scratch_.data(), length);
    return true;
}

inline char* SNJsonParser::scratchRoom(std::size_t used, std::size_t more) {
    if (scratch_.size() - used < more) scratch_.resize(std::max(2 * scratch_.size(), used + more));
    return scratch_.data() + used;
}

std::optional<Value> SNJsonParser::fragmentWithString(std::optional<std::string_view> text) {
    clearErrorTrace();
    if (!text) {
        addErrorWithCodeDescription(kErrorNoInput, "Input was 'nil'");
        return std::nullopt;
    }
    depth_ = 0;
    c_ = text->data();
    end_ = c_ + text->size();
    Value value;
    const bool parsed = scanValue(value);
    // A failure leaves the elements of the arrays and the entries of the
    // objects it was in on the stacks.
    stack_.clear();
    slots_.clear();
    if (!parsed) return std::nullopt;
    if (!scanIsAtEnd()) {
        addErrorWithCodeDescription(kErrorGarbage, "Garbage after JSON");
        return std::nullopt;
    }
    return value;
}

std::optional<Value> SNJsonParser::objectWithString(std::optional<std::string_view> text) {
    auto value = fragmentWithString(text);
    if (value && !value->isDictionary() && !value->isArray()) {
        addErrorWithCodeDescription(kErrorNotContainer, "Valid fragment, but not JSON");
        return std::nullopt;
    }
    return value;
}

void SNJsonParser::skipWhitespace() {
    while (c_ < end_ && kWhitespace[static_cast<unsigned char>(*c_)]) ++c_;
}

bool SNJsonParser::scanIsAtEnd() {
    skipWhitespace();
    return c_ == end_;
}

bool SNJsonParser::enterContainer() {
    if (depth_ + 1 > effectiveMaxDepth()) {
        addErrorWithCodeDescription(kErrorDepth, "Nested too deep");
        return false;
    }
    ++depth_;
    return true;
}

bool SNJsonParser::scanValue(Value& out) {
    skipWhitespace();
    if (c_ == end_) {
        addErrorWithCodeDescription(kErrorEndOfInput, "Unexpected end of string");
        return false;
    }
    switch (*c_) {
    case '"': {
        ++c_;
        std::string_view text;
        if (!scanRestOfString(text)) return false;
        out = Value(std::string(text));
        return true;
    }
    case '{': ++c_; return scanRestOfDictionary(out);
    case '[': ++c_; return scanRestOfArray(out);
    case 't': ++c_; return scanRestOfTrue(out);
    case 'f': ++c_; return scanRestOfFalse(out);
    case 'n': ++c_; return scanRestOfNull(out);
    case '-':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9': return scanNumber(out);
    case '+': addErrorWithCodeDescription(kErrorBadNumber, "Leading + disallowed in number"); return false;
    default: addErrorWithCodeDescription(kErrorParse, "Unrecognised leading character"); return false;
    }
}

namespace {
bool consume(const char*& c, const char* end, std::string_view rest) {
    if (static_cast<std::size_t>(end - c) < rest.size() || std::string_view(c, rest.size()) != rest) return false;
    c += rest.size();
    return true;
}
}  // namespace

bool SNJsonParser::scanRestOfTrue(Value& out) {
    if (!consume(c_, end_, "rue")) {
        addErrorWithCodeDescription(kErrorParse, "Expected 'true'");
        return false;
    }
    out = Value(true);
    return true;
}

bool SNJsonParser::scanRestOfFalse(Value& out) {
    if (!consume(c_, end_, "alse")) {
        addErrorWithCodeDescription(kErrorParse, "Expected 'false'");
        return false;
    }
    out = Value(false);
    return true;
}

bool SNJsonParser::scanRestOfNull(Value& out) {
    if (!consume(c_, end_, "ull")) {
        addErrorWithCodeDescription(kErrorParse, "Expected 'null'");
        return false;
    }
    out = Value();
    return true;
}

bool SNJsonParser::scanRestOfArray(Value& out) {
    if (!enterContainer()) return false;
    // The elements gather on the parser's stack of values, shared by every
    // array being parsed, so that each array is allocated once at its size.
    const std::size_t base = stack_.size();
    for (;;) {
        if (c_ == end_) {
            addErrorWithCodeDescription(kErrorEndOfInput, "End of input while parsing array");
            return false;
        }
        skipWhitespace();
        if (c_ < end_ && *c_ == ']') {
            ++c_;
            --depth_;
            Value::Array items(std::make_move_iterator(stack_.begin() + static_cast<std::ptrdiff_t>(base)),
                               std::make_move_iterator(stack_.end()));
            stack_.resize(base);
            out = Value(std::move(items));
            return true;
        }
        // Not parsed in place: a nested array may move the stack.
        Value item;
        if (!scanValue(item)) {
            addErrorWithCodeDescription(kErrorParse, "Expected value while parsing array");
            return false;
        }
        stack_.push_back(std::move(item));
        skipWhitespace();
        if (c_ < end_ && *c_ == ',') {
            ++c_;
            skipWhitespace();
            if (c_ < end_ && *c_ == ']') {
                addErrorWithCodeDescription(kErrorTrailingComma, "Trailing comma disallowed in array");
                return false;
            }
        }
    }
}

bool SNJsonParser::scanRestOfDictionary(Value& out) {
    if (!enterContainer()) return false;
    const unsigned depth = depth_;
    if (keyOrders_.size() <= depth) keyOrders_.resize(depth + 1);
    const std::size_t base = slots_.size();
    // Whether every key went where the last object at this depth had it.
    bool predicted = true;
    bool duplicate = false;
    Value::Dictionary pairs;
    for (;;) {
        if (c_ == end_) {
            addErrorWithCodeDescription(kErrorEndOfInput, "End of input while parsing object");
            return false;
        }
        skipWhitespace();
        if (c_ < end_ && *c_ == '}') {
            ++c_;
            --depth_;
            if (slots_.size() - base != keyOrders_[depth].next.size()) predicted = false;
            if (!predicted && !duplicate) rememberKeyOrder(depth, base, pairs);
            slots_.resize(base);
            out = Value(std::move(pairs));
            return true;
        }
        std::string_view key;
        if (c_ == end_ || *c_ != '"' || (++c_, !scanRestOfString(key))) {
            addErrorWithCodeDescription(kErrorParse, "Object key string expected");
            return false;
        }
        skipWhitespace();
        if (c_ == end_ || *c_ != ':') {
            addErrorWithCodeDescription(kErrorParse, "Expected ':' separating key and value");
            return false;
        }
        ++c_;
        // The entry goes in front of the one the last object's order names
        // (the dictionary checks that hint with two comparisons and searches
        // only when it is wrong).
        const std::size_t index = slots_.size() - base;
        const auto& next = keyOrders_[depth].next;
        auto hint = pairs.end();
        if (index < next.size()) {
            if (next[index] != KeyOrder::kNone) hint = slots_[base + next[index]];
        } else {
            predicted = false;
        }
        const std::size_t count = pairs.size();
        // A string value (the commonest) is read first and made straight in
        // the entry, unless the key waits in the escape buffer that the
        // value would overwrite. Other values are parsed in place. A later
        // duplicate key replaces the earlier value. (emplace_hint checks
        // the hint once; try_emplace would check it twice.)
        skipWhitespace();
        const bool keyInScratch = key.data() == scratch_.data();
        if (c_ < end_ && *c_ == '"' && !keyInScratch) {
            ++c_;
            std::string_view text;
            if (!scanRestOfString(text)) {
                addErrorWithCodeDescription(
                    kErrorParse, platform::Text::format("Object value expected for key: %@", std::string(key)));
                return false;
            }
            const auto slot = pairs.emplace_hint(hint, std::piecewise_construct, std::forward_as_tuple(key),
                                                 std::forward_as_tuple(std::string(text)));
            if (pairs.size() == count) {
                duplicate = true;
                slot->second = Value(std::string(text));
            } else if (std::next(slot) != hint) {
                predicted = false;
            }
            slots_.push_back(slot);
        } else {
            const auto slot =
                pairs.emplace_hint(hint, std::piecewise_construct, std::forward_as_tuple(key), std::tuple<>());
            if (pairs.size() == count) {
                duplicate = true;
                slot->second = Value();
            } else if (std::next(slot) != hint) {
                predicted = false;
            }
            slots_.push_back(slot);
            if (!scanValue(slot->second)) {
                addErrorWithCodeDescription(kErrorParse,
                                            platform::Text::format("Object value expected for key: %@", slot->first));
                return false;
            }
        }
        skipWhitespace();
        if (c_ < end_ && *c_ == ',') {
            ++c_;
            skipWhitespace();
            if (c_ < end_ && *c_ == '}') {
                addErrorWithCodeDescription(kErrorTrailingComma, "Trailing comma disallowed in object");
                return false;
            }
        }
    }
}

void SNJsonParser::rememberKeyOrder(unsigned depth, std::size_t base, const Value::Dictionary& pairs) {
    auto& next = keyOrders_[depth].next;
    const std::size_t count = slots_.size() - base;
    if (count > KeyOrder::kMaxKeys) {
        next.clear();
        return;
    }
    // The rank of each key (in input order) among the keys of the object.
    ranks_.assign(count, 0);
    std::uint32_t rank = 0;
    for (auto entry = pairs.begin(); entry != pairs.end(); ++entry, ++rank) {
        for (std::size_t i = 0; i < count; ++i) {
            if (slots_[base + i] == entry) ranks_[i] = rank;
        }
    }
    next.assign(count, KeyOrder::kNone);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t nearest = UINT32_MAX;
        for (std::size_t j = 0; j < i; ++j) {
            if (ranks_[j] > ranks_[i] && ranks_[j] < nearest) {
                nearest = ranks_[j];
                next[i] = static_cast<std::uint32_t>(j);
            }
        }
    }
}

bool SNJsonParser::scanRestOfEscapedString(const char* run, std::size_t& length) {
    // The read position is kept in a local while the text is plain and
    // handed back to c_ for every step that reads on its own or fails.
    const char* p = c_;
    for (;;) {
        // The longest plain run, multi-byte characters included, in one step.
        for (;;) {
            p = SNJsonScan::skipPlainRun(p, end_);
            if (p == end_ || static_cast<unsigned char>(*p) < 0x80) break;
            const std::size_t sequence = utf8SequenceLength(p, end_);
            if (sequence == 0) {
                c_ = p;
                addErrorWithCodeDescription(kErrorParse, "Invalid UTF-8 in string");
                return false;
            }
            p += sequence;
        }
        // Room for the run and for the longest character an escape gives.
        const auto runLength = static_cast<std::size_t>(p - run);
        char* out = scratchRoom(length, runLength + 4);
        std::memcpy(out, run, runLength);
        out += runLength;
        length += runLength;
        c_ = p;
        if (p == end_) {
            addErrorWithCodeDescription(kErrorEndOfInput, "Unexpected EOF while parsing string");
            return false;
        }
        const auto ch = static_cast<unsigned char>(*p);
        if (ch == '"') {
            c_ = p + 1;
            return true;
        }
        if (ch != '\\') {
            addErrorWithCodeDescription(kErrorControlCharacter,
                                        platform::Text::format("Unescaped control character '0x%x'", ch));
            return false;
        }
        ++p;
        if (p == end_) {
            c_ = p;
            addErrorWithCodeDescription(kErrorEndOfInput, "Unexpected EOF while parsing string");
            return false;
        }
        const auto escaped = static_cast<unsigned char>(*p++);
        if (const char decoded = kEscapes[escaped]) {
            *out = decoded;
            ++length;
        } else if (escaped == 'u') {
            c_ = p;
            char32_t codePoint = 0;
            if (!scanUnicodeChar(codePoint)) {
                addErrorWithCodeDescription(kErrorUnicode, "Broken unicode character");
                return false;
            }
            p = c_;
            length += encodeUTF8(out, codePoint);
        } else {
            c_ = p;
            addErrorWithCodeDescription(kErrorEscape,
                                        platform::Text::format("Illegal escape sequence '0x%x'", escaped));
            return false;
        }
        run = p;
    }
}

bool SNJsonParser::scanUnicodeChar(char32_t& out) {
    char32_t high = 0;
    if (!scanHexQuad(high)) return false;
    if (high >= 0xDC00 && high <= 0xDFFF) {
        addErrorWithCodeDescription(kErrorUnicode, "Invalid high character in surrogate pair");
        return false;
    }
    if (high < 0xD800 || high > 0xDFFF) {
        out = high;
        return true;
    }
    char32_t low = 0;
    if (end_ - c_ < 2 || c_[0] != '\\' || c_[1] != 'u') {
        addErrorWithCodeDescription(kErrorUnicode, "Missing low character in surrogate pair");
        return false;
    }
    c_ += 2;
    if (!scanHexQuad(low)) {
        addErrorWithCodeDescription(kErrorUnicode, "Missing low character in surrogate pair");
        return false;
    }
    if (low < 0xDC00 || low > 0xDFFF) {
        addErrorWithCodeDescription(kErrorUnicode, "Invalid low surrogate char");
        return false;
    }
    out = 0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00);
    return true;
}

bool SNJsonParser::scanHexQuad(char32_t& out) {
    char32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = c_ < end_ ? hexValue(*c_) : -1;
        if (digit < 0) {
            addErrorWithCodeDescription(kErrorUnicode, "Missing hex digit in quad");
            addErrorWithCodeDescription(kErrorUnicode, "Missing hex quad");
            return false;
        }
        ++c_;
        value = value * 16 + static_cast<char32_t>(digit);
    }
    out = value;
    return true;
}

bool SNJsonParser::scanNumber(Value& out) {
    const char* start = c_;
    const bool negative = *c_ == '-';
    if (negative) ++c_;
    const char* digits = c_;
    if (c_ < end_ && *c_ == '0') {
        ++c_;
        if (c_ < end_ && isDigit(*c_)) {
            addErrorWithCodeDescription(kErrorBadNumber, "Leading 0 disallowed in number");
            return false;
        }
    } else if (c_ < end_ && isDigit(*c_)) {
        while (c_ < end_ && isDigit(*c_)) ++c_;
    } else {
        addErrorWithCodeDescription(kErrorBadNumber, "No digits after initial minus");
        return false;
    }
    const char* digitsEnd = c_;
    bool integral = true;
    if (c_ < end_ && *c_ == '.') {
        integral = false;
        ++c_;
        if (c_ == end_ || !isDigit(*c_)) {
            addErrorWithCodeDescription(kErrorBadNumber, "No digits after decimal point");
            return false;
        }
        while (c_ < end_ && isDigit(*c_)) ++c_;
    }
    if (c_ < end_ && (*c_ == 'e' || *c_ == 'E')) {
        integral = false;
        ++c_;
        if (c_ < end_ && (*c_ == '+' || *c_ == '-')) ++c_;
        if (c_ == end_ || !isDigit(*c_)) {
            addErrorWithCodeDescription(kErrorBadNumber, "No digits after exponent");
            return false;
        }
        while (c_ < end_ && isDigit(*c_)) ++c_;
    }

    if (integral) {
        const auto count = digitsEnd - digits;
        if (count <= 18) {
            std::int64_t magnitude = 0;
            for (const char* p = digits; p < digitsEnd; ++p) magnitude = magnitude * 10 + (*p - '0');
            out = Value(static_cast<long long>(negative ? -magnitude : magnitude));
            return true;
        }
        std::uint64_t magnitude = 0;
        const auto parsed = std::from_chars(digits, digitsEnd, magnitude);
        if (parsed.ec == std::errc() && parsed.ptr == digitsEnd) {
            constexpr auto kInt64Max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
            if (!negative) {
                out = magnitude <= kInt64Max ? Value(static_cast<long long>(magnitude))
                                             : Value(static_cast<unsigned long long>(magnitude));
                return true;
            }
            if (magnitude <= kInt64Max + 1) {
                // Two's complement negation of the magnitude, INT64_MIN included.
                out = Value(static_cast<long long>(static_cast<std::int64_t>(0 - magnitude)));
                return true;
            }
        }
        // Beyond 64 bits: read as a real below.
    }

    double real = 0;
    const auto parsed = std::from_chars(start, c_, real);
    if (parsed.ec != std::errc() || parsed.ptr != c_ || !std::isfinite(real)) {
        addErrorWithCodeDescription(kErrorBadNumber, "Failed creating decimal instance");
        return false;
    }
    out = Value(real);
    return true;
}

}  // namespace clipora
