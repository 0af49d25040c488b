#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// Operations on texts. Texts are UTF-8 in std::string; every function here is
// locale-independent ("C" rules: ASCII case mapping, '.' as decimal point).
// Offsets and lengths are in bytes unless a name says UTF-16.
class Text {
public:
    Text() = delete;

    // ---- Numeric readings -------------------------------------------------
    // Skip leading blanks (space, tab, newline, CR, FF, VT), read an optional
    // sign and the leading decimal digits; 0 when there are none. Out-of-range
    // values saturate at the type's limits.
    static std::int64_t longLongValue(std::string_view text);
    static std::int64_t integerValue(std::string_view text) { return longLongValue(text); }
    static int intValue(std::string_view text);
    // As above, with an optional fraction and exponent ("1.5e3"); 0 when none.
    static double doubleValue(std::string_view text);
    // After blanks, an optional sign and any '0's: true when the next character
    // is Y, y, T, t or a digit 1-9.
    static bool boolValue(std::string_view text);
    // Strict readings: the whole text (no blanks) must be the number.
    static std::optional<std::int64_t> parseInt64(std::string_view text);
    // Hexadecimal digits only (no "0x"), at most 16.
    static std::optional<std::uint64_t> parseHex(std::string_view text);

    // ---- Prefix, suffix, split, trim ---------------------------------------
    static bool hasPrefix(std::string_view text, std::string_view prefix);
    static bool hasSuffix(std::string_view text, std::string_view suffix);
    // Every piece between separators, empty ones included; an empty text gives
    // one empty piece. An empty separator gives the whole text.
    static std::vector<std::string> split(std::string_view text, std::string_view separator);
    // The text before and after the first separator; std::nullopt when absent.
    static std::optional<std::pair<std::string, std::string>> splitAtFirst(std::string_view text,
                                                                           std::string_view separator);
    // Split at every byte found in `characters` (ASCII set). With omitEmpty,
    // runs of separators count as one and empty pieces are dropped.
    static std::vector<std::string> splitByCharacters(std::string_view text, std::string_view characters,
                                                      bool omitEmpty = false);
    static std::string join(const std::vector<std::string>& pieces, std::string_view separator);
    // Remove leading and trailing bytes found in `characters`.
    static std::string trim(std::string_view text, std::string_view characters);
    static std::string trimSpacesAndTabs(std::string_view text);
    // Spaces, tabs, newlines, CR, FF, VT.
    static std::string trimWhitespaceAndNewlines(std::string_view text);

    // ---- Case, compare, find, replace (ASCII case rules) --------------------
    static std::string lowercase(std::string_view text);
    static std::string uppercase(std::string_view text);
    // -1, 0 or 1, byte-wise.
    static int compare(std::string_view a, std::string_view b);
    // -1, 0 or 1, ignoring ASCII case.
    static int compareCaseInsensitive(std::string_view a, std::string_view b);
    static bool equalsCaseInsensitive(std::string_view a, std::string_view b);
    // Byte offset of the first occurrence at or after `from`.
    static std::optional<std::size_t> find(std::string_view text, std::string_view needle, std::size_t from = 0);
    static std::optional<std::size_t> findCaseInsensitive(std::string_view text, std::string_view needle,
                                                          std::size_t from = 0);
    static bool contains(std::string_view text, std::string_view needle);
    static bool containsCaseInsensitive(std::string_view text, std::string_view needle);
    // Replace every non-overlapping occurrence, left to right. An empty
    // `target` changes nothing.
    static std::string replaceAll(std::string_view text, std::string_view target, std::string_view replacement);
    static std::string replaceAllCaseInsensitive(std::string_view text, std::string_view target,
                                                 std::string_view replacement);

    // ---- Formatting ---------------------------------------------------------
    // One argument of format(). Built implicitly from integers, reals, texts,
    // Values, objects and pointers.
    class FormatArgument {
    public:
        template <class T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>) FormatArgument(T v) {
            if constexpr (std::is_signed_v<T>) {
                value_ = static_cast<std::int64_t>(v);
            } else {
                value_ = static_cast<std::uint64_t>(v);
            }
        }
        FormatArgument(bool b) : value_(Value(b)) {}
        FormatArgument(char c) : value_(static_cast<std::int64_t>(c)) {}
        FormatArgument(double d) : value_(d) {}
        FormatArgument(float f) : value_(static_cast<double>(f)) {}
        FormatArgument(const char* s) : value_(s ? std::string(s) : std::string("(null)")) {}
        FormatArgument(const std::string& s) : value_(s) {}
        FormatArgument(std::string_view s) : value_(std::string(s)) {}
        FormatArgument(const Value& v) : value_(v) {}
        template <class T>
        requires std::is_base_of_v<Object, T> FormatArgument(const std::shared_ptr<T>& o) {
            if (o) {
                value_ = Value(std::static_pointer_cast<Object>(o));
            } else {
                value_ = Pointer{nullptr};
            }
        }
        // Anything else with a text form of its own (an Error, a URL, ...).
        template <class T>
        requires(!std::is_convertible_v<const T&, Value> && !std::is_pointer_v<T> &&
                 requires(const T& t) {
                     { t.description() } -> std::convertible_to<std::string>;
                 }) FormatArgument(const T& v)
            : value_(std::string(v.description())) {}
        FormatArgument(const void* p) : value_(Pointer{p}) {}
        FormatArgument(std::nullptr_t) : value_(Pointer{nullptr}) {}

        struct Pointer {
            const void* p;
        };
        using Variant = std::variant<std::int64_t, std::uint64_t, double, std::string, Value, Pointer>;
        const Variant& value() const { return value_; }

    private:
        Variant value_;
    };

    // printf-style formatting, independent of the locale. Conversions:
    //   %@  text form of a Value, string or object ("(null)" for a null object)
    //   %d %i %u %x %X %o %c  integers (length modifiers h hh l ll q z j t
    //                         are accepted; h and hh narrow like C)
    //   %f %F %e %E %g %G %a  reals (an integer argument is converted)
    //   %s  a text;  %p  a pointer;  %%  a percent sign
    // with flags (- + space # 0), width and precision, either given or '*'.
    // A conversion whose argument is missing writes nothing; an argument of
    // an unsuitable kind is written in its text form.
    template <class... Args>
    static std::string format(std::string_view pattern, const Args&... args) {
        const FormatArgument list[] = {FormatArgument(args)..., FormatArgument(0)};
        return formatArguments(pattern, list, sizeof...(Args));
    }
    static std::string formatArguments(std::string_view pattern, const FormatArgument* args, std::size_t count);

    // ---- Unicode -----------------------------------------------------------
    // Well-formed UTF-8 (no overlongs, surrogates or values above U+10FFFF).
    static bool isValidUTF8(std::string_view bytes);
    static std::optional<std::u32string> decodeUTF8(std::string_view bytes);
    // Decodes the one sequence that starts at `offset` (< bytes.size()) into
    // `codePoint`; answers its length in bytes, 0 when it is not well formed.
    static std::size_t decodeUTF8At(std::string_view bytes, std::size_t offset, char32_t& codePoint);
    // Bytes to a text; std::nullopt when they are not valid UTF-8.
    static std::optional<std::string> fromUTF8(const Data& bytes);
    static Data toData(std::string_view text);
    // Code points to UTF-8; an invalid code point becomes U+FFFD.
    static std::string encodeUTF8(std::u32string_view codePoints);
    static std::string encodeUTF8(char32_t codePoint);
    // Length in UTF-16 code units. Each byte of an invalid sequence counts one.
    static std::size_t utf16Length(std::string_view text);
    // The longest prefix of at most `units` UTF-16 code units that ends on a
    // code-point boundary (a surrogate pair is never split).
    static std::string utf16Prefix(std::string_view text, std::size_t units);

    // ---- Percent escaping (UTF-8 bytes, upper-case hex) -------------------
    // Escapes every byte outside ALPHA, DIGIT and "-._~", and also any byte
    // listed in `alsoEscape`.
    static std::string percentEscape(std::string_view text, std::string_view alsoEscape = {});
    // The legacy URL rule: leaves the legal URL characters unescaped, that is
    // ALPHA, DIGIT, "-_.!~*'()" and ";/?:@&=+$,", minus those in
    // `alsoEscape`, plus those in `leaveUnescaped`; escapes everything else
    // (space, "\"#%<>[\\]^`{|}", controls, non-ASCII).
    // percentEscapeLegalURL(t, "!*'();:@&=+$,/?%#[]") == percentEscape(t).
    static std::string percentEscapeLegalURL(std::string_view text, std::string_view alsoEscape = {},
                                             std::string_view leaveUnescaped = {});
    // Decodes every %XX. std::nullopt when a '%' is not followed by two hex
    // digits or the result is not valid UTF-8.
    static std::optional<std::string> percentUnescape(std::string_view text);
    // Form decoding: '+' is a space, then percentUnescape.
    static std::optional<std::string> formUnescape(std::string_view text);

    // ---- Character sets -----------------------------------------------------
    enum class Encoding { ASCII, UTF8, ISOLatin1, WindowsCP1252, UTF16, UTF16BigEndian, UTF16LittleEndian, UTF32 };
    // IANA charset names, case-insensitive ("utf-8", "ISO-8859-1", "latin1",
    // "windows-1252", "us-ascii", "utf-16", ...). Unknown -> std::nullopt.
    static std::optional<Encoding> encodingForCharsetName(std::string_view name);
    // The IANA name: "utf-8", "iso-8859-1", "windows-1252", "us-ascii",
    // "utf-16", "utf-16be", "utf-16le", "utf-32".
    static std::string charsetNameForEncoding(Encoding encoding);
    // Bytes in `encoding` to UTF-8; std::nullopt when they are not valid there.
    // UTF16 without a byte-order mark reads big-endian.
    static std::optional<std::string> decode(const Data& bytes, Encoding encoding);
    // UTF-8 to bytes in `encoding`; std::nullopt when `text` is not valid UTF-8
    // or a character has no representation (unless lossy, which writes '?').
    // UTF16 writes a byte-order mark and big-endian units.
    static std::optional<Data> encode(std::string_view text, Encoding encoding, bool lossy = false);
};

}  // namespace clipora::platform
