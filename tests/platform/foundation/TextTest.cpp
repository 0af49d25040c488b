#include "platform/foundation/Text.h"

#include <climits>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace clipora::platform {
namespace {

TEST(TextTest, NumericReadings) {
    struct Case {
        const char* text;
        std::int64_t value;
    };
    const Case cases[] = {
        {"42", 42},
        {"  42", 42},
        {"\t\n 12", 12},
        {"-17x", -17},
        {"+5", 5},
        {"12.7", 12},
        {"abc", 0},
        {"", 0},
        {"- 5", 0},
        {"x12", 0},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"99999999999999999999", INT64_MAX},
        {"-99999999999999999999", INT64_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text::longLongValue(c.text), c.value) << c.text;
        EXPECT_EQ(Text::integerValue(c.text), c.value) << c.text;
    }
    EXPECT_EQ(Text::intValue("3000000000"), INT_MAX);
    EXPECT_EQ(Text::intValue("-3000000000"), INT_MIN);
    EXPECT_EQ(Text::intValue(" -7"), -7);

    struct RealCase {
        const char* text;
        double value;
    };
    const RealCase reals[] = {
        {"  1.5e3x", 1500.0}, {"-.5", -0.5},   {"3.", 3.0},    {".", 0.0}, {"1e", 1.0},
        {"abc", 0.0},         {"+2.25", 2.25}, {"7e-2", 0.07}, {"", 0.0},  {"1,5", 1.0},
    };
    for (const auto& c : reals) EXPECT_DOUBLE_EQ(Text::doubleValue(c.text), c.value) << c.text;

    struct BoolCase {
        const char* text;
        bool value;
    };
    const BoolCase bools[] = {
        {"YES", true},    {"yes", true}, {"true", true}, {"T", true},   {"  y", true}, {"1", true},
        {"007", true},    {" -3", true}, {"0", false},   {"00", false}, {"+0", false}, {"no", false},
        {"false", false}, {"", false},   {"0x1", false}, {"N", false},
    };
    for (const auto& c : bools) EXPECT_EQ(Text::boolValue(c.text), c.value) << c.text;

    EXPECT_EQ(Text::parseInt64("-12"), -12);
    EXPECT_EQ(Text::parseInt64(" 12"), std::nullopt);
    EXPECT_EQ(Text::parseInt64("12a"), std::nullopt);
    EXPECT_EQ(Text::parseInt64("99999999999999999999"), std::nullopt);
    EXPECT_EQ(Text::parseHex("DEADbeef"), 0xDEADBEEFu);
    EXPECT_EQ(Text::parseHex("12G4"), std::nullopt);
    EXPECT_EQ(Text::parseHex(""), std::nullopt);
}

TEST(TextTest, SplitAndTrim) {
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(Text::split("a,b,,c", ","), (Pieces{"a", "b", "", "c"}));
    EXPECT_EQ(Text::split(",a,", ","), (Pieces{"", "a", ""}));
    EXPECT_EQ(Text::split("", ","), (Pieces{""}));
    EXPECT_EQ(Text::split("a::b", "::"), (Pieces{"a", "b"}));
    EXPECT_EQ(Text::split("1.2.3", "."), (Pieces{"1", "2", "3"}));

    auto first = Text::splitAtFirst("key=value=more", "=");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->first, "key");
    EXPECT_EQ(first->second, "value=more");
    EXPECT_EQ(Text::splitAtFirst("novalue", "="), std::nullopt);

    EXPECT_EQ(Text::splitByCharacters("a, b;;c", ",; "), (Pieces{"a", "", "b", "", "c"}));
    EXPECT_EQ(Text::splitByCharacters("  a, b;;c ", ",; ", true), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(Text::join({"a", "b", "c"}, "&"), "a&b&c");

    EXPECT_EQ(Text::trimSpacesAndTabs(" \t a b \t"), "a b");
    EXPECT_EQ(Text::trimSpacesAndTabs("\na\n"), "\na\n");
    EXPECT_EQ(Text::trimWhitespaceAndNewlines("\r\n a b \n"), "a b");
    EXPECT_EQ(Text::trimWhitespaceAndNewlines("   "), "");
    EXPECT_TRUE(Text::hasPrefix("https://x", "https://"));
    EXPECT_FALSE(Text::hasPrefix("http", "https"));
    EXPECT_TRUE(Text::hasSuffix("movie.mp4", ".mp4"));
}

TEST(TextTest, CaseInsensitiveOperations) {
    EXPECT_EQ(Text::uppercase("abc-é"), "ABC-é");
    EXPECT_EQ(Text::lowercase("ABC"), "abc");
    EXPECT_EQ(Text::compare("apple", "Banana"), 1);  // byte order: 'B' < 'a'
    EXPECT_EQ(Text::compareCaseInsensitive("apple", "Banana"), -1);
    EXPECT_EQ(Text::compareCaseInsensitive("ABC", "abc"), 0);
    EXPECT_EQ(Text::compareCaseInsensitive("ab", "ABC"), -1);
    EXPECT_TRUE(Text::equalsCaseInsensitive("Content-Type", "content-type"));
    EXPECT_EQ(Text::findCaseInsensitive("Hello World", "WORLD"), 6u);
    EXPECT_EQ(Text::findCaseInsensitive("Hello", "hello!"), std::nullopt);
    EXPECT_EQ(Text::findCaseInsensitive("abcabc", "ABC", 1), 3u);
    EXPECT_EQ(Text::find("abc", "c", 10), std::nullopt);
    EXPECT_EQ(Text::replaceAllCaseInsensitive("Foo foo FOO bar", "foo", "x"), "x x x bar");
    EXPECT_EQ(Text::replaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(Text::replaceAll("a.b.c", ".", "::"), "a::b::c");
    EXPECT_EQ(Text::replaceAll("abc", "", "x"), "abc");
}

struct Described : Object {
    std::string description() const override { return "<described>"; }
};

TEST(TextTest, FormatWithObjectsAndPrintfConversions) {
    const std::int64_t id = 10150000000000001;
    EXPECT_EQ(Text::format("%@ = %@", Value("id"), Value(id)), "id = 10150000000000001");
    EXPECT_EQ(Text::format("%@|%@|%@", std::string("s"), "c", Value(true)), "s|c|1");
    EXPECT_EQ(Text::format("%@", Value::makeArray({1, 2})), "(\n    1,\n    2\n)");
    EXPECT_EQ(Text::format("%@ %@", std::make_shared<Described>(), std::shared_ptr<Described>()), "<described> (null)");
    EXPECT_EQ(Text::format("%@", 0.5), "0.5");
    EXPECT_EQ(Text::format("[%@]", Described()), "[<described>]");  // anything with a description()
    EXPECT_EQ(Text::format("%s [Line %d] GetVideo Failed: Error(%i) %@", "fn", 12, -2, Value("why")),
              "fn [Line 12] GetVideo Failed: Error(-2) why");

    struct Case {
        std::string got;
        std::string expected;
    };
    const Case cases[] = {
        {Text::format("%d %i %u", -5, 7, 3u), "-5 7 3"},
        {Text::format("%ld %lld %llu", 123456789012L, INT64_MIN, UINT64_MAX),
         "123456789012 -9223372036854775808 18446744073709551615"},
        {Text::format("%qi", 9007199254740993LL), "9007199254740993"},
        {Text::format("%x %X %02x %04x %4.4x %2.2x", 255, 255, 5, 0xab, 0x1f, 7), "ff FF 05 00ab 001f 07"},
        {Text::format("%08X", 0xDEADBEEFu), "DEADBEEF"},
        {Text::format("%x", -1), "ffffffff"},
        {Text::format("%hi", 70000), "4464"},
        {Text::format("%f %.2f %.0f %.5lf", 1.5, 2.3456, 2.5, 1.0 / 3), "1.500000 2.35 2 0.33333"},
        {Text::format("%g %.17g", 0.0001, 0.1), "0.0001 0.10000000000000001"},
        {Text::format("%c%c", 'o', 'k'), "ok"},
        {Text::format("100%%"), "100%"},
        {Text::format("[%5s][%-5s][%.2s]", "ab", "ab", "abcdef"), "[   ab][ab   ][ab]"},
        {Text::format("[%*d][%-*d]", 4, 7, 3, 1), "[   7][1  ]"},
        {Text::format("[%*.*s]", 6, 3, "abcdef"), "[   abc]"},
        {Text::format("%zu %lu", std::size_t{7}, 8UL), "7 8"},
        {Text::format("%d and %d", 1), "1 and "},
        {Text::format("%d", "text"), "text"},
        {Text::format("%f", 3), "3.000000"},
        {Text::format("%p", static_cast<const void*>(nullptr)), "0x0"},
        {Text::format("50%"), "50%"},
        {Text::format("%y"), "%y"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(TextTest, UTF8ValidationAndDecoding) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"plain", true},
        {"h\xC3\xA9llo", true},
        {"\xF0\x9F\x98\x80", true},   // U+1F600
        {"\xC3", false},              // truncated
        {"\xC0\xAF", false},          // overlong '/'
        {"\xE0\x80\xAF", false},      // overlong, three bytes
        {"\xED\xA0\x80", false},      // a UTF-16 surrogate
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\x80", false},              // stray continuation
        {"\xFF", false},
        {std::string("a\0b", 3), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text::isValidUTF8(c.bytes), c.valid) << c.bytes;
        EXPECT_EQ(Text::decodeUTF8(c.bytes).has_value(), c.valid) << c.bytes;
    }
    EXPECT_EQ(Text::decodeUTF8("a\xC3\xA9\xF0\x9F\x98\x80"), std::u32string(U"a\u00E9\U0001F600"));
    EXPECT_EQ(Text::encodeUTF8(U"a\u00E9\U0001F600"), "a\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(Text::fromUTF8(Data{0x61, 0xC3}), std::nullopt);
    EXPECT_EQ(Text::fromUTF8(Data{0x61, 0x62}), "ab");

    const std::string mixed = "a\xF0\x9F\x98\x80\xC3\xA9";  // a, U+1F600, é
    EXPECT_EQ(Text::utf16Length(mixed), 4u);
    EXPECT_EQ(Text::utf16Prefix(mixed, 2), "a");  // never half a surrogate pair
    EXPECT_EQ(Text::utf16Prefix(mixed, 3), "a\xF0\x9F\x98\x80");
    EXPECT_EQ(Text::utf16Prefix(mixed, 100), mixed);
    EXPECT_EQ(Text::utf16Length("\xFF\xFE"), 2u);
}

TEST(TextTest, PercentEscapingLeavesOnlyTheUnreservedSet) {
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const bool unreserved = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        const std::string one(1, c);
        const std::string escaped = Text::percentEscape(one);
        if (unreserved) {
            EXPECT_EQ(escaped, one);
        } else {
            EXPECT_EQ(escaped, Text::format("%%%02X", b)) << b;
        }
        // The legacy legal-URL rule with the usual extra set is the same rule.
        EXPECT_EQ(Text::percentEscapeLegalURL(one, "!*'();:@&=+$,/?%#[]"), escaped) << b;
    }
    EXPECT_EQ(Text::percentEscape("a b&c=d/\xC3\xA9"), "a%20b%26c%3Dd%2F%C3%A9");
    EXPECT_EQ(Text::percentEscape("abc", "b"), "a%62c");
    EXPECT_EQ(Text::percentEscapeLegalURL("a b&c=d/e?f#g%h\"<>"), "a%20b&c=d/e?f%23g%25h%22%3C%3E");
    EXPECT_EQ(Text::percentEscapeLegalURL("a&b", "&"), "a%26b");
    EXPECT_EQ(Text::percentEscapeLegalURL("a#b", {}, "#"), "a#b");
}

TEST(TextTest, PercentEscapingRoundTrips) {
    const std::string texts[] = {
        "",
        "plain",
        "na\xC3\xAFve caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80",
        "&=+/?#%[]!*'();:@$, \t\r\n\"<>\\^`{|}",
        "100% sure",
    };
    for (const auto& text : texts) {
        EXPECT_EQ(Text::percentUnescape(Text::percentEscape(text)), text);
        EXPECT_EQ(Text::percentUnescape(Text::percentEscapeLegalURL(text)), text);
    }
}

TEST(TextTest, PercentUnescapingAnswersAbsentOnMalformedInput) {
    const char* malformed[] = {"%", "%4", "abc%2", "%G1", "%%", "%C3", "%FF", "%C0%AF", "%ED%A0%80", "\xC3"};
    for (const char* text : malformed) EXPECT_EQ(Text::percentUnescape(text), std::nullopt) << text;

    EXPECT_EQ(Text::percentUnescape("%41%42"), "AB");
    EXPECT_EQ(Text::percentUnescape("a%20b+c"), "a b+c");
    EXPECT_EQ(Text::percentUnescape("%e2%82%ac"), "\xE2\x82\xAC");
    EXPECT_EQ(Text::percentUnescape("%2541"), "%41");  // decoded once only
    EXPECT_EQ(Text::formUnescape("a+b%2B"), "a b+");
}

TEST(TextTest, CharacterSets) {
    using E = Text::Encoding;
    struct Name {
        const char* name;
        std::optional<E> encoding;
    };
    const Name names[] = {
        {"UTF-8", E::UTF8},
        {"utf8", E::UTF8},
        {"ISO-8859-1", E::ISOLatin1},
        {"latin1", E::ISOLatin1},
        {"Windows-1252", E::WindowsCP1252},
        {"US-ASCII", E::ASCII},
        {"utf-16", E::UTF16},
        {"UTF-16LE", E::UTF16LittleEndian},
        {" \"utf-8\" ", E::UTF8},
        {"klingon", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& n : names) EXPECT_EQ(Text::encodingForCharsetName(n.name), n.encoding) << n.name;
    for (E e : {E::ASCII, E::UTF8, E::ISOLatin1, E::WindowsCP1252, E::UTF16, E::UTF16BigEndian, E::UTF16LittleEndian,
                E::UTF32}) {
        EXPECT_EQ(Text::encodingForCharsetName(Text::charsetNameForEncoding(e)), e);
    }

    EXPECT_EQ(Text::decode(Data{0x63, 0xE9}, E::ISOLatin1), "c\xC3\xA9");
    EXPECT_EQ(Text::decode(Data{0x80}, E::WindowsCP1252), "\xE2\x82\xAC");
    EXPECT_EQ(Text::decode(Data{0xE9}, E::ASCII), std::nullopt);
    EXPECT_EQ(Text::decode(Data{0xE9}, E::UTF8), std::nullopt);
    EXPECT_EQ(Text::decode(Data{0xFF, 0xFE, 0x41, 0x00}, E::UTF16), "A");
    EXPECT_EQ(Text::decode(Data{0x00, 0x41}, E::UTF16), "A");
    EXPECT_EQ(Text::decode(Data{0x00}, E::UTF16), std::nullopt);  // half a unit

    EXPECT_EQ(Text::encode("\xC3\xA9", E::ISOLatin1), (Data{0xE9}));
    EXPECT_EQ(Text::encode("\xE2\x82\xAC", E::ISOLatin1), std::nullopt);
    EXPECT_EQ(Text::encode("a\xE2\x82\xAC"
                           "b",
                           E::ASCII, true),
              (Data{'a', '?', 'b'}));
    EXPECT_EQ(Text::encode("A", E::UTF16), (Data{0xFE, 0xFF, 0x00, 0x41}));
    EXPECT_EQ(Text::encode("\xC3", E::UTF16LittleEndian), std::nullopt);
    const std::string sample = "\xE6\x9D\xB1 \xF0\x9F\x98\x80";
    for (E e : {E::UTF16, E::UTF16LittleEndian, E::UTF32}) {
        auto bytes = Text::encode(sample, e);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(Text::decode(*bytes, e), sample);
    }
}

}  // namespace
}  // namespace clipora::platform
