#include "platform/foundation/Text.h"

#include <locale.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <iconv.h>

namespace clipora::platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char toLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char toUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::size_t skipBlanks(std::string_view text, std::size_t i = 0) {
    while (i < text.size() && isBlank(text[i])) ++i;
    return i;
}

bool inSet(std::string_view set, char c) { return set.find(c) != std::string_view::npos; }

// The "C" locale, for the libc conversions that follow LC_NUMERIC.
locale_t cLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

// Decodes one UTF-8 sequence at text[i]; answers its length (0 when invalid).
std::size_t decodeOne(std::string_view text, std::size_t i, char32_t& out) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        out = b0;
        return 1;
    }
    std::size_t length;
    char32_t cp;
    char32_t minimum;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, cp = b0 & 0x1F, minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, cp = b0 & 0x0F, minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    out = cp;
    return length;
}

void appendUTF8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

const char kUpperHex[] = "0123456789ABCDEF";

void appendEscaped(std::string& out, unsigned char b) {
    out += '%';
    out += kUpperHex[b >> 4];
    out += kUpperHex[b & 15];
}

bool isUnreserved(char c) { return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~'; }

// ---- iconv ------------------------------------------------------------------

const char* iconvName(Text::Encoding encoding) {
    switch (encoding) {
    case Text::Encoding::ASCII: return "ASCII";
    case Text::Encoding::UTF8: return "UTF-8";
    case Text::Encoding::ISOLatin1: return "ISO-8859-1";
    case Text::Encoding::WindowsCP1252: return "CP1252";
    case Text::Encoding::UTF16: return "UTF-16BE";
    case Text::Encoding::UTF16BigEndian: return "UTF-16BE";
    case Text::Encoding::UTF16LittleEndian: return "UTF-16LE";
    case Text::Encoding::UTF32: return "UTF-32";
    }
    return "UTF-8";
}

// Converts all of `input`; std::nullopt on any invalid or unrepresentable
// character.
std::optional<std::string> convert(const char* to, const char* from, std::string_view input) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    std::string in(input);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char buffer[4096];
    bool ok = true;
    while (true) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t result =
            inLeft > 0 ? iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (result == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            ok = false;  // EILSEQ or EINVAL (truncated input)
            break;
        }
        // glibc reports characters it could only approximate as a positive
        // count of irreversible conversions; treat those as failures too.
        if (result > 0 && inLeft == 0) {
            ok = false;
            break;
        }
        if (inLeft == 0) {
            // Flush any shift state once, then stop.
            char* flushPtr = buffer;
            std::size_t flushLeft = sizeof buffer;
            iconv(cd, nullptr, nullptr, &flushPtr, &flushLeft);
            out.append(buffer, static_cast<std::size_t>(flushPtr - buffer));
            break;
        }
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return out;
}

// ---- format -------------------------------------------------------------------

struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    std::string length;
    char conversion = 0;
};

std::string pointerText(const void* p) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(p)));
    return buffer;
}

std::string textForm(const Text::FormatArgument& arg) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t>) {
                return std::to_string(v);
            } else if constexpr (std::is_same_v<T, double>) {
                return Value(v).description();
            } else if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, Value>) {
                return v.description();
            } else {
                return v.p ? pointerText(v.p) : std::string("(null)");
            }
        },
        arg.value());
}

// Builds "%<flags><width>.<precision><length><conversion>" for snprintf.
std::string cSpec(const Spec& spec, const char* length, char conversion) {
    std::string s = "%" + spec.flags;
    if (spec.width >= 0) s += std::to_string(spec.width);
    if (spec.precision >= 0) s += "." + std::to_string(spec.precision);
    s += length;
    s += conversion;
    return s;
}

template <class T>
std::string cFormat(const std::string& spec, T value) {
    locale_t old = uselocale(cLocale());
    int n = std::snprintf(nullptr, 0, spec.c_str(), value);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::snprintf(out.data(), out.size(), spec.c_str(), value);
        out.resize(static_cast<std::size_t>(n));
    }
    uselocale(old);
    return out;
}

std::string padText(const Spec& spec, std::string text) {
    if (spec.precision >= 0 && static_cast<std::size_t>(spec.precision) < text.size()) {
        text.resize(static_cast<std::size_t>(spec.precision));
    }
    if (spec.width >= 0 && static_cast<std::size_t>(spec.width) > text.size()) {
        std::string pad(static_cast<std::size_t>(spec.width) - text.size(), ' ');
        text = spec.flags.find('-') != std::string::npos ? text + pad : pad + text;
    }
    return text;
}

// Reads an argument as a signed integer, or std::nullopt when it is no number.
std::optional<std::int64_t> signedArgument(const Text::FormatArgument& arg, bool& isUnsigned) {
    isUnsigned = false;
    const auto& v = arg.value();
    if (auto* i = std::get_if<std::int64_t>(&v)) return *i;
    if (auto* u = std::get_if<std::uint64_t>(&v)) {
        isUnsigned = true;
        return static_cast<std::int64_t>(*u);
    }
    if (auto* d = std::get_if<double>(&v)) return Value(*d).longLongValue();
    if (auto* value = std::get_if<Value>(&v)) {
        if (!value->isNumber()) return std::nullopt;
        isUnsigned = value->isUnsignedInteger();
        return value->longLongValue();
    }
    return std::nullopt;
}

std::optional<double> realArgument(const Text::FormatArgument& arg) {
    const auto& v = arg.value();
    if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    if (auto* u = std::get_if<std::uint64_t>(&v)) return static_cast<double>(*u);
    if (auto* d = std::get_if<double>(&v)) return *d;
    if (auto* value = std::get_if<Value>(&v)) {
        if (!value->isNumber()) return std::nullopt;
        return value->doubleValue();
    }
    return std::nullopt;
}

std::string formatInteger(const Spec& spec, const Text::FormatArgument& arg) {
    bool isUnsigned = false;
    auto value = signedArgument(arg, isUnsigned);
    if (!value) return padText(spec, textForm(arg));
    std::int64_t v = *value;
    const bool signedConversion = spec.conversion == 'd' || spec.conversion == 'i';
    // "h" and "hh" narrow as C does; without a modifier, a negative argument
    // read by an unsigned conversion is taken as a 32-bit unsigned int.
    if (spec.length == "hh") {
        v = signedConversion ? static_cast<signed char>(v) : static_cast<unsigned char>(v);
        isUnsigned = !signedConversion;
    } else if (spec.length == "h") {
        v = signedConversion ? static_cast<short>(v) : static_cast<unsigned short>(v);
        isUnsigned = !signedConversion;
    } else if (spec.length.empty() && !signedConversion && !isUnsigned && v < 0 && v >= INT32_MIN) {
        v = static_cast<std::uint32_t>(v);
    }
    if (spec.conversion == 'c') {
        std::string text;
        appendUTF8(text, static_cast<char32_t>(static_cast<unsigned char>(v)));
        if (v >= 0 && v < 0x80) text = std::string(1, static_cast<char>(v));
        return padText(Spec{spec.flags, spec.width, -1, {}, 's'}, text);
    }
    if (spec.conversion == 'C') {
        std::string text;
        appendUTF8(text, static_cast<char32_t>(v));
        return padText(Spec{spec.flags, spec.width, -1, {}, 's'}, text);
    }
    if (signedConversion) {
        if (isUnsigned) return cFormat(cSpec(spec, "ll", 'u'), static_cast<unsigned long long>(v));
        return cFormat(cSpec(spec, "ll", 'd'), static_cast<long long>(v));
    }
    return cFormat(cSpec(spec, "ll", spec.conversion), static_cast<unsigned long long>(v));
}

}  // namespace

// ---- Numeric readings ---------------------------------------------------------

std::int64_t Text::longLongValue(std::string_view text) {
    std::size_t i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate as a negative number so that INT64_MIN is reachable.
    std::int64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        int digit = text[i] - '0';
        if (value < (INT64_MIN + digit) / 10) {
            overflow = true;
            continue;
        }
        value = value * 10 - digit;
    }
    if (overflow) return negative ? INT64_MIN : INT64_MAX;
    if (negative) return value;
    return value == INT64_MIN ? INT64_MAX : -value;
}

int Text::intValue(std::string_view text) {
    std::int64_t v = longLongValue(text);
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

double Text::doubleValue(std::string_view text) {
    std::size_t start = skipBlanks(text);
    std::size_t i = start;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) ++j;
            i = j;
        }
    }
    std::string number(text.substr(start, i - start));
    return strtod_l(number.c_str(), nullptr, cLocale());
}

bool Text::boolValue(std::string_view text) {
    std::size_t i = skipBlanks(text);
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    while (i < text.size() && text[i] == '0') ++i;
    if (i >= text.size()) return false;
    char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::optional<std::int64_t> Text::parseInt64(std::string_view text) {
    if (!text.empty() && text[0] == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text[0] == '-') return std::nullopt;
    }
    std::int64_t value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::uint64_t> Text::parseHex(std::string_view text) {
    if (text.empty() || text.size() > 16) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        value = value << 4 | static_cast<std::uint64_t>(d);
    }
    return value;
}

// ---- Prefix, suffix, split, trim -------------------------------------------------

bool Text::hasPrefix(std::string_view text, std::string_view prefix) { return text.starts_with(prefix); }
bool Text::hasSuffix(std::string_view text, std::string_view suffix) { return text.ends_with(suffix); }

std::vector<std::string> Text::split(std::string_view text, std::string_view separator) {
    if (separator.empty()) return {std::string(text)};
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) break;
        pieces.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

std::optional<std::pair<std::string, std::string>> Text::splitAtFirst(std::string_view text,
                                                                      std::string_view separator) {
    std::size_t at = text.find(separator);
    if (separator.empty() || at == std::string_view::npos) return std::nullopt;
    return std::make_pair(std::string(text.substr(0, at)), std::string(text.substr(at + separator.size())));
}

std::vector<std::string> Text::splitByCharacters(std::string_view text, std::string_view characters, bool omitEmpty) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || inSet(characters, text[i])) {
            if (!omitEmpty || i > start) pieces.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return pieces;
}

std::string Text::join(const std::vector<std::string>& pieces, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) out += separator;
        out += pieces[i];
    }
    return out;
}

std::string Text::trim(std::string_view text, std::string_view characters) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && inSet(characters, text[begin])) ++begin;
    while (end > begin && inSet(characters, text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

std::string Text::trimSpacesAndTabs(std::string_view text) { return trim(text, " \t"); }
std::string Text::trimWhitespaceAndNewlines(std::string_view text) { return trim(text, " \t\n\r\f\v"); }

// ---- Case, compare, find, replace ---------------------------------------------

std::string Text::lowercase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = toLower(c);
    return out;
}

std::string Text::uppercase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = toUpper(c);
    return out;
}

int Text::compare(std::string_view a, std::string_view b) {
    int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int Text::compareCaseInsensitive(std::string_view a, std::string_view b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(toLower(a[i]));
        auto y = static_cast<unsigned char>(toLower(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool Text::equalsCaseInsensitive(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compareCaseInsensitive(a, b) == 0;
}

std::optional<std::size_t> Text::find(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) return std::nullopt;
    std::size_t at = text.find(needle, from);
    if (at == std::string_view::npos) return std::nullopt;
    return at;
}

std::optional<std::size_t> Text::findCaseInsensitive(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size() || needle.size() > text.size() - from) return std::nullopt;
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        if (equalsCaseInsensitive(text.substr(i, needle.size()), needle)) return i;
    }
    return std::nullopt;
}

bool Text::contains(std::string_view text, std::string_view needle) { return find(text, needle).has_value(); }

bool Text::containsCaseInsensitive(std::string_view text, std::string_view needle) {
    return findCaseInsensitive(text, needle).has_value();
}

std::string Text::replaceAll(std::string_view text, std::string_view target, std::string_view replacement) {
    if (target.empty()) return std::string(text);
    std::string out;
    std::size_t start = 0;
    while (auto at = find(text, target, start)) {
        out += text.substr(start, *at - start);
        out += replacement;
        start = *at + target.size();
    }
    out += text.substr(start);
    return out;
}

std::string Text::replaceAllCaseInsensitive(std::string_view text, std::string_view target,
                                            std::string_view replacement) {
    if (target.empty()) return std::string(text);
    std::string out;
    std::size_t start = 0;
    while (auto at = findCaseInsensitive(text, target, start)) {
        out += text.substr(start, *at - start);
        out += replacement;
        start = *at + target.size();
    }
    out += text.substr(start);
    return out;
}

// ---- Formatting ---------------------------------------------------------------------

std::string Text::formatArguments(std::string_view pattern, const FormatArgument* args, std::size_t count) {
    std::string out;
    std::size_t next = 0;
    auto take = [&]() -> const FormatArgument* { return next < count ? &args[next++] : nullptr; };
    auto takeInt = [&]() -> std::optional<int> {
        const FormatArgument* a = take();
        if (!a) return std::nullopt;
        bool isUnsigned = false;
        auto v = signedArgument(*a, isUnsigned);
        if (!v) return std::nullopt;
        return static_cast<int>(std::clamp<std::int64_t>(*v, INT_MIN, INT_MAX));
    };

    std::size_t i = 0;
    while (i < pattern.size()) {
        char c = pattern[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        std::size_t specStart = i++;
        Spec spec;
        while (i < pattern.size() && inSet("-+ #0", pattern[i])) spec.flags += pattern[i++];
        if (i < pattern.size() && pattern[i] == '*') {
            ++i;
            if (auto w = takeInt()) {
                if (*w < 0) spec.flags += '-';
                spec.width = static_cast<int>(std::min<std::int64_t>(std::abs(std::int64_t{*w}), 100000));
            }
        } else {
            while (i < pattern.size() && isDigit(pattern[i])) {
                spec.width = std::max(spec.width, 0) * 10 + (pattern[i++] - '0');
                spec.width = std::min(spec.width, 100000);
            }
        }
        if (i < pattern.size() && pattern[i] == '.') {
            ++i;
            spec.precision = 0;
            if (i < pattern.size() && pattern[i] == '*') {
                ++i;
                auto p = takeInt();
                spec.precision = p && *p >= 0 ? std::min(*p, 100000) : -1;
            } else {
                while (i < pattern.size() && isDigit(pattern[i])) {
                    spec.precision = std::min(spec.precision * 10 + (pattern[i++] - '0'), 100000);
                }
            }
        }
        while (i < pattern.size() && inSet("hlqLzjt", pattern[i])) spec.length += pattern[i++];
        if (i >= pattern.size()) {
            out += pattern.substr(specStart);
            break;
        }
        spec.conversion = pattern[i++];
        switch (spec.conversion) {
        case '%': out += '%'; break;
        case '@':
        case 's':
        case 'S': {
            if (const FormatArgument* a = take()) out += padText(spec, textForm(*a));
            break;
        }
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'o':
        case 'c':
        case 'C': {
            if (const FormatArgument* a = take()) out += formatInteger(spec, *a);
            break;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            if (const FormatArgument* a = take()) {
                if (auto d = realArgument(*a)) {
                    out += cFormat(cSpec(spec, "", spec.conversion), *d);
                } else {
                    out += padText(spec, textForm(*a));
                }
            }
            break;
        }
        case 'p': {
            if (const FormatArgument* a = take()) {
                const auto* p = std::get_if<FormatArgument::Pointer>(&a->value());
                out += padText(spec, p ? pointerText(p->p) : textForm(*a));
            }
            break;
        }
        default:
            // Not a conversion: keep the text as written.
            out += pattern.substr(specStart, i - specStart);
        }
    }
    return out;
}

// ---- Unicode ---------------------------------------------------------------------------

bool Text::isValidUTF8(std::string_view bytes) {
    char32_t cp;
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t n = decodeOne(bytes, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::size_t Text::decodeUTF8At(std::string_view bytes, std::size_t offset, char32_t& codePoint) {
    return decodeOne(bytes, offset, codePoint);
}

std::optional<std::u32string> Text::decodeUTF8(std::string_view bytes) {
    std::u32string out;
    char32_t cp;
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t n = decodeOne(bytes, i, cp);
        if (n == 0) return std::nullopt;
        out += cp;
        i += n;
    }
    return out;
}

std::optional<std::string> Text::fromUTF8(const Data& bytes) {
    std::string text(bytes.begin(), bytes.end());
    if (!isValidUTF8(text)) return std::nullopt;
    return text;
}

Data Text::toData(std::string_view text) { return Data(text.begin(), text.end()); }

std::string Text::encodeUTF8(std::u32string_view codePoints) {
    std::string out;
    for (char32_t cp : codePoints) appendUTF8(out, cp);
    return out;
}

std::string Text::encodeUTF8(char32_t codePoint) {
    std::string out;
    appendUTF8(out, codePoint);
    return out;
}

std::size_t Text::utf16Length(std::string_view text) {
    std::size_t units = 0;
    char32_t cp;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = decodeOne(text, i, cp);
        if (n == 0) {
            ++units;
            ++i;
            continue;
        }
        units += cp >= 0x10000 ? 2 : 1;
        i += n;
    }
    return units;
}

std::string Text::utf16Prefix(std::string_view text, std::size_t units) {
    std::size_t used = 0;
    std::size_t i = 0;
    char32_t cp;
    while (i < text.size()) {
        std::size_t n = decodeOne(text, i, cp);
        std::size_t cost = n == 0 ? 1 : (cp >= 0x10000 ? 2 : 1);
        if (used + cost > units) break;
        used += cost;
        i += n == 0 ? 1 : n;
    }
    return std::string(text.substr(0, i));
}

// ---- Percent escaping -------------------------------------------------------------------

std::string Text::percentEscape(std::string_view text, std::string_view alsoEscape) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (isUnreserved(c) && !inSet(alsoEscape, c)) {
            out += c;
        } else {
            appendEscaped(out, static_cast<unsigned char>(c));
        }
    }
    return out;
}

std::string Text::percentEscapeLegalURL(std::string_view text, std::string_view alsoEscape,
                                        std::string_view leaveUnescaped) {
    static constexpr std::string_view kLegalMarks = "-_.!~*'();/?:@&=+$,";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const bool printable = c > 0x20 && c < 0x7F;
        const bool legal = isAlpha(c) || isDigit(c) || inSet(kLegalMarks, c);
        if (!inSet(alsoEscape, c) && printable && (legal || inSet(leaveUnescaped, c))) {
            out += c;
        } else {
            appendEscaped(out, static_cast<unsigned char>(c));
        }
    }
    return out;
}

std::optional<std::string> Text::percentUnescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int hi = hexDigit(text[i + 1]);
        int lo = hexDigit(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi << 4 | lo);
        i += 2;
    }
    if (!isValidUTF8(out)) return std::nullopt;
    return out;
}

std::optional<std::string> Text::formUnescape(std::string_view text) {
    std::string plus(text);
    std::replace(plus.begin(), plus.end(), '+', ' ');
    return percentUnescape(plus);
}

// ---- Character sets ------------------------------------------------------------------

std::optional<Text::Encoding> Text::encodingForCharsetName(std::string_view name) {
    std::string n = lowercase(trim(name, " \t\"'"));
    static const std::pair<const char*, Encoding> kNames[] = {
        {"utf-8", Encoding::UTF8},
        {"utf8", Encoding::UTF8},
        {"us-ascii", Encoding::ASCII},
        {"ascii", Encoding::ASCII},
        {"us", Encoding::ASCII},
        {"iso646-us", Encoding::ASCII},
        {"ansi_x3.4-1968", Encoding::ASCII},
        {"iso-ir-6", Encoding::ASCII},
        {"iso-8859-1", Encoding::ISOLatin1},
        {"iso8859-1", Encoding::ISOLatin1},
        {"iso_8859-1", Encoding::ISOLatin1},
        {"iso_8859-1:1987", Encoding::ISOLatin1},
        {"latin1", Encoding::ISOLatin1},
        {"latin-1", Encoding::ISOLatin1},
        {"l1", Encoding::ISOLatin1},
        {"iso-ir-100", Encoding::ISOLatin1},
        {"cp819", Encoding::ISOLatin1},
        {"ibm819", Encoding::ISOLatin1},
        {"windows-1252", Encoding::WindowsCP1252},
        {"cp1252", Encoding::WindowsCP1252},
        {"x-cp1252", Encoding::WindowsCP1252},
        {"utf-16", Encoding::UTF16},
        {"utf16", Encoding::UTF16},
        {"utf-16be", Encoding::UTF16BigEndian},
        {"utf-16le", Encoding::UTF16LittleEndian},
        {"utf-32", Encoding::UTF32},
        {"utf32", Encoding::UTF32},
    };
    for (const auto& [known, encoding] : kNames) {
        if (n == known) return encoding;
    }
    return std::nullopt;
}

std::string Text::charsetNameForEncoding(Encoding encoding) {
    switch (encoding) {
    case Encoding::ASCII: return "us-ascii";
    case Encoding::UTF8: return "utf-8";
    case Encoding::ISOLatin1: return "iso-8859-1";
    case Encoding::WindowsCP1252: return "windows-1252";
    case Encoding::UTF16: return "utf-16";
    case Encoding::UTF16BigEndian: return "utf-16be";
    case Encoding::UTF16LittleEndian: return "utf-16le";
    case Encoding::UTF32: return "utf-32";
    }
    return "utf-8";
}

std::optional<std::string> Text::decode(const Data& bytes, Encoding encoding) {
    std::string_view input(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (encoding == Encoding::UTF8) {
        if (!isValidUTF8(input)) return std::nullopt;
        return std::string(input);
    }
    const char* from = iconvName(encoding);
    if (encoding == Encoding::UTF16 && input.size() >= 2) {
        auto b0 = static_cast<unsigned char>(input[0]);
        auto b1 = static_cast<unsigned char>(input[1]);
        if (b0 == 0xFE && b1 == 0xFF) {
            input.remove_prefix(2);
        } else if (b0 == 0xFF && b1 == 0xFE) {
            input.remove_prefix(2);
            from = "UTF-16LE";
        }
    }
    return convert("UTF-8", from, input);
}

std::optional<Data> Text::encode(std::string_view text, Encoding encoding, bool lossy) {
    if (!isValidUTF8(text)) return std::nullopt;
    std::string prefix;
    const char* to = iconvName(encoding);
    // Byte-order marks are written here so that a character-by-character
    // conversion does not repeat them.
    if (encoding == Encoding::UTF16) prefix = "\xFE\xFF";
    if (encoding == Encoding::UTF32) {
        prefix = std::string("\0\0\xFE\xFF", 4);
        to = "UTF-32BE";
    }
    std::optional<std::string> converted =
        encoding == Encoding::UTF8 ? std::optional<std::string>(std::string(text)) : convert(to, "UTF-8", text);
    if (!converted && lossy) {
        // Character by character, with '?' for what the encoding lacks.
        std::string out;
        char32_t cp;
        for (std::size_t i = 0; i < text.size();) {
            std::size_t n = decodeOne(text, i, cp);
            auto one = convert(to, "UTF-8", text.substr(i, n));
            out += one ? *one : *convert(to, "UTF-8", "?");
            i += n;
        }
        converted = std::move(out);
    }
    if (!converted) return std::nullopt;
    Data data(prefix.begin(), prefix.end());
    data.insert(data.end(), converted->begin(), converted->end());
    return data;
}

}  // namespace clipora::platform
