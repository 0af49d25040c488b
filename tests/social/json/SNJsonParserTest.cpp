#include "social/json/SNJsonParser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace clipora {
namespace {

using platform::Value;

// One error of a trace: code and localized description.
using TraceEntry = std::pair<std::int64_t, std::string>;

std::vector<TraceEntry> traceOf(const SNJsonBase& codec) {
    std::vector<TraceEntry> entries;
    for (const auto& error : codec.errorTrace()) {
        EXPECT_EQ(error.domain(), "org.wendrel.JSON.ErrorDomain");
        entries.emplace_back(error.code(), error.localizedDescription());
    }
    return entries;
}

std::string nested(std::size_t levels, char open = '[', char close = ']') {
    return std::string(levels, open) + std::string(levels, close);
}

struct ValidCase {
    std::string text;
    Value expected;
};

TEST(SNJsonParserTest, ParsesValidTexts) {
    const std::vector<ValidCase> cases = {
        {" \t\n\v\f\r{} \r\n", Value::makeDictionary()},
        {"[]", Value::makeArray()},
        {"[1,2]", Value::makeArray({1, 2})},
        // Commas between elements and pairs may be left out.
        {"[1 2]", Value::makeArray({1, 2})},
        {"[truefalse]", Value::makeArray({true, false})},
        {R"({"a":1 "b":"x"})", Value::makeDictionary({{"a", 1}, {"b", "x"}})},
        {R"({"a":1,"a":2})", Value::makeDictionary({{"a", 2}})},
        {R"({ "k" : [ null , { } ] })",
         Value::makeDictionary({{"k", Value::makeArray({Value(), Value::makeDictionary()})}})},
        {"true", Value(true)},
        {"false", Value(false)},
        {"null", Value()},
        {"0", Value(0)},
        {"-0", Value(0)},
        {"123", Value(123)},
        {"-45", Value(-45)},
        {"9223372036854775807", Value(std::numeric_limits<long long>::max())},
        {"-9223372036854775808", Value(std::numeric_limits<long long>::min())},
        {"18446744073709551615", Value(std::numeric_limits<unsigned long long>::max())},
        {"18446744073709551616", Value(18446744073709551616.0)},
        {"-9223372036854775809", Value(-9223372036854775809.0)},
        {"1.5", Value(1.5)},
        {"0.1", Value(0.1)},
        {"1e2", Value(100.0)},
        {"-1.25E-2", Value(-0.0125)},
        {"2E+3", Value(2000.0)},
        {R"("")", Value("")},
        {R"("plain text")", Value("plain text")},
        {R"("\"\\\/\b\f\n\r\t")", Value("\"\\/\b\f\n\r\t")},
        {R"("caf\u00e9 \u20AC")", Value("caf\xC3\xA9 \xE2\x82\xAC")},
        {"\"h\xC3\xA9llo \xF0\x9F\x98\x80\"", Value("h\xC3\xA9llo \xF0\x9F\x98\x80")},
        // A surrogate pair is one supplementary character.
        {R"("\uD83D\uDE00")", Value("\xF0\x9F\x98\x80")},
        {R"("\ud83d\udfff")", Value("\xF0\x9F\x9F\xBF")},
        {R"("a\u0000b")", Value(std::string("a\0b", 3))},
    };
    for (const auto& c : cases) {
        SNJsonParser parser;
        const auto value = parser.fragmentWithString(c.text);
        ASSERT_TRUE(value.has_value()) << c.text << ": " << parser.errorTrace().back().description();
        EXPECT_EQ(*value, c.expected) << c.text << " gave " << value->description();
        EXPECT_TRUE(parser.errorTrace().empty());
        EXPECT_EQ(parser.depth(), 0u);
    }
}

TEST(SNJsonParserTest, IntegersStayExactAndRealsStayReal) {
    SNJsonParser parser;
    auto big = parser.fragmentWithString("12345678901234567");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->integer(), 12345678901234567);
    auto real = parser.fragmentWithString("2.0");
    ASSERT_TRUE(real);
    EXPECT_TRUE(real->isReal());
    auto unsignedMax = parser.fragmentWithString("18446744073709551615");
    ASSERT_TRUE(unsignedMax);
    EXPECT_TRUE(unsignedMax->isUnsignedInteger());
}

// A parser keeps state from one object to the next (where the last object's
// keys went) and from one call to the next: whatever came before, each text
// gives the dictionaries it spells, later duplicates winning.
TEST(SNJsonParserTest, ObjectsParseAloneWhateverCameBefore) {
    const std::vector<ValidCase> cases = {
        {R"([{"id":1,"name":"a","tags":[{"w":1,"h":2},{"w":3,"h":4}]},{"id":2,"name":"b","tags":[]}])",
         Value::makeArray(
             {Value::makeDictionary({{"id", 1},
                                     {"name", "a"},
                                     {"tags", Value::makeArray({Value::makeDictionary({{"w", 1}, {"h", 2}}),
                                                                Value::makeDictionary({{"w", 3}, {"h", 4}})})}}),
              Value::makeDictionary({{"id", 2}, {"name", "b"}, {"tags", Value::makeArray()}})})},
        // The same keys in another order, one left out, one added.
        {R"([{"name":"c","id":3},{"id":4},{"zz":0,"id":5,"aa":"x","name":"d"}])",
         Value::makeArray({Value::makeDictionary({{"id", 3}, {"name", "c"}}), Value::makeDictionary({{"id", 4}}),
                           Value::makeDictionary({{"aa", "x"}, {"id", 5}, {"name", "d"}, {"zz", 0}})})},
        // Duplicates, also of a string value and after the order was learnt.
        {R"([{"id":1,"id":"one","name":"e"},{"id":1,"name":"f","id":"two"},{"id":1,"name":"g"}])",
         Value::makeArray({Value::makeDictionary({{"id", "one"}, {"name", "e"}}),
                           Value::makeDictionary({{"id", "two"}, {"name", "f"}}),
                           Value::makeDictionary({{"id", 1}, {"name", "g"}})})},
        // Escaped keys before escaped and plain string values.
        {R"({"k\u00e9y":"v\nw","caf\u00e9":"plain","\"q\"":{"\/":"\/"}})",
         Value::makeDictionary(
             {{"k\xC3\xA9y", "v\nw"}, {"caf\xC3\xA9", "plain"}, {"\"q\"", Value::makeDictionary({{"/", "/"}})}})},
        // A failure in the middle of an object leaves nothing behind.
        {R"([{"id":1,"name":)", Value()},
        {R"([{"id":6,"name":"h"},{"name":"i","id":7}])",
         Value::makeArray(
             {Value::makeDictionary({{"id", 6}, {"name", "h"}}), Value::makeDictionary({{"id", 7}, {"name", "i"}})})},
    };
    SNJsonParser reused;
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : cases) {
            SNJsonParser fresh;
            const auto alone = fresh.fragmentWithString(c.text);
            const auto after = reused.fragmentWithString(c.text);
            ASSERT_EQ(after.has_value(), alone.has_value()) << c.text;
            if (!alone) continue;
            EXPECT_EQ(*alone, c.expected) << c.text << " gave " << alone->description();
            EXPECT_EQ(*after, c.expected) << c.text << " gave " << after->description();
        }
    }
}

struct InvalidCase {
    std::optional<std::string> text;
    bool objectForm;
    std::vector<TraceEntry> trace;  // innermost first
};

TEST(SNJsonParserTest, RejectsInvalidTextsWithTheirErrorTrace) {
    const std::string expectedValue = "Expected value while parsing array";
    const std::vector<InvalidCase> cases = {
        {std::nullopt, false, {{12, "Input was 'nil'"}}},
        {"", false, {{11, "Unexpected end of string"}}},
        {"   ", false, {{11, "Unexpected end of string"}}},
        {"[1,2,]", false, {{9, "Trailing comma disallowed in array"}}},
        {R"({"a":1, })", false, {{9, "Trailing comma disallowed in object"}}},
        {"01", false, {{2, "Leading 0 disallowed in number"}}},
        {"[-01]", false, {{2, "Leading 0 disallowed in number"}, {3, expectedValue}}},
        {"-", false, {{2, "No digits after initial minus"}}},
        {"-x", false, {{2, "No digits after initial minus"}}},
        {"1.", false, {{2, "No digits after decimal point"}}},
        {"1.e5", false, {{2, "No digits after decimal point"}}},
        {"1e", false, {{2, "No digits after exponent"}}},
        {"1e+", false, {{2, "No digits after exponent"}}},
        {"+1", false, {{2, "Leading + disallowed in number"}}},
        {"1e400", false, {{2, "Failed creating decimal instance"}}},
        {".5", false, {{3, "Unrecognised leading character"}}},
        {"'a'", false, {{3, "Unrecognised leading character"}}},
        {"[tru]", false, {{3, "Expected 'true'"}, {3, expectedValue}}},
        {"fals", false, {{3, "Expected 'false'"}}},
        {"nul", false, {{3, "Expected 'null'"}}},
        {"{} x", false, {{10, "Garbage after JSON"}}},
        {"[1]]", false, {{10, "Garbage after JSON"}}},
        {R"("text")", true, {{4, "Valid fragment, but not JSON"}}},
        {"42", true, {{4, "Valid fragment, but not JSON"}}},
        {"[", false, {{11, "End of input while parsing array"}}},
        {"[1", false, {{11, "End of input while parsing array"}}},
        {"[1, ", false, {{11, "End of input while parsing array"}}},
        {"[ ", false, {{11, "Unexpected end of string"}, {3, expectedValue}}},
        {"{", false, {{11, "End of input while parsing object"}}},
        {R"({"a":1)", false, {{11, "End of input while parsing object"}}},
        {R"({"a)", false, {{11, "Unexpected EOF while parsing string"}, {3, "Object key string expected"}}},
        {"{1:2}", false, {{3, "Object key string expected"}}},
        {R"({"a" 1})", false, {{3, "Expected ':' separating key and value"}}},
        {R"({"a":})", false, {{3, "Unrecognised leading character"}, {3, "Object value expected for key: a"}}},
        {R"("abc)", false, {{11, "Unexpected EOF while parsing string"}}},
        {"\"abc\\", false, {{11, "Unexpected EOF while parsing string"}}},
        {"\"a\tb\"", false, {{5, "Unescaped control character '0x9'"}}},
        {"\"a\x1f\"", false, {{5, "Unescaped control character '0x1f'"}}},
        {R"("\x")", false, {{8, "Illegal escape sequence '0x78'"}}},
        {R"({"k":"\x"})", false, {{8, "Illegal escape sequence '0x78'"}, {3, "Object value expected for key: k"}}},
        {R"(["\uDC00"])",
         false,
         {{6, "Invalid high character in surrogate pair"}, {6, "Broken unicode character"}, {3, expectedValue}}},
        {R"("\uD800x")", false, {{6, "Missing low character in surrogate pair"}, {6, "Broken unicode character"}}},
        {R"("\uD800\u0041")", false, {{6, "Invalid low surrogate char"}, {6, "Broken unicode character"}}},
        {R"("\u12G4")",
         false,
         {{6, "Missing hex digit in quad"}, {6, "Missing hex quad"}, {6, "Broken unicode character"}}},
        {R"("\u12)",
         false,
         {{6, "Missing hex digit in quad"}, {6, "Missing hex quad"}, {6, "Broken unicode character"}}},
        // Bytes that are not UTF-8 cannot become a text.
        {"[\"\xFF\"]", false, {{3, "Invalid UTF-8 in string"}, {3, expectedValue}}},
        {"\"\xC3\"", false, {{3, "Invalid UTF-8 in string"}}},
        {"\"\xED\xA0\x80\"", false, {{3, "Invalid UTF-8 in string"}}},
        // The whole input counts, embedded zero bytes included.
        {std::string("{}\0garbage", 10), false, {{10, "Garbage after JSON"}}},
        {std::string("[\0]", 3), false, {{3, "Unrecognised leading character"}, {3, expectedValue}}},
        {std::string("[\"a\0b\"]", 7), false, {{5, "Unescaped control character '0x0'"}, {3, expectedValue}}},
    };
    for (const auto& c : cases) {
        SNJsonParser parser;
        const auto value = c.objectForm ? parser.objectWithString(c.text) : parser.fragmentWithString(c.text);
        const std::string label = c.text ? *c.text : std::string("(nil)");
        EXPECT_FALSE(value.has_value()) << label;
        EXPECT_EQ(traceOf(parser), c.trace) << label;
    }
}

TEST(SNJsonParserTest, EachErrorCarriesThePreviousOneAsUnderlyingError) {
    SNJsonParser parser;
    ASSERT_FALSE(parser.objectWithString(R"({"k":["\x"]})"));
    const auto& trace = parser.errorTrace();
    ASSERT_EQ(trace.size(), 3u);
    EXPECT_EQ(trace[0].underlyingError(), nullptr);
    ASSERT_NE(trace[2].underlyingError(), nullptr);
    EXPECT_EQ(*trace[2].underlyingError(), trace[1]);
    ASSERT_NE(trace[1].underlyingError(), nullptr);
    EXPECT_EQ(trace[1].underlyingError()->code(), 8);
}

TEST(SNJsonParserTest, TheNextCallClearsTheTrace) {
    SNJsonParser parser;
    ASSERT_FALSE(parser.objectWithString("[1,]"));
    ASSERT_FALSE(parser.errorTrace().empty());
    ASSERT_TRUE(parser.objectWithString("[1]"));
    EXPECT_TRUE(parser.errorTrace().empty());
}

TEST(SNJsonParserTest, NestingLimitDefaultsTo512) {
    SNJsonParser parser;
    EXPECT_EQ(parser.maxDepth(), 512u);
    EXPECT_TRUE(parser.objectWithString(nested(512)));

    ASSERT_FALSE(parser.objectWithString(nested(513)));
    const auto trace = traceOf(parser);
    ASSERT_EQ(trace.size(), 513u);
    EXPECT_EQ(trace.front(), TraceEntry(7, "Nested too deep"));
    EXPECT_EQ(trace.back(), TraceEntry(3, "Expected value while parsing array"));

    const auto objects = [](std::size_t levels) {
        std::string text;
        for (std::size_t i = 0; i < levels; ++i) text += R"({"a":)";
        return text + "1" + std::string(levels, '}');
    };
    EXPECT_TRUE(parser.objectWithString(objects(512)));
    ASSERT_FALSE(parser.objectWithString(objects(513)));
    EXPECT_EQ(traceOf(parser).front(), TraceEntry(7, "Nested too deep"));
    EXPECT_EQ(traceOf(parser).back(), TraceEntry(3, "Object value expected for key: a"));

    parser.setMaxDepth(3);
    EXPECT_TRUE(parser.objectWithString("[[[]]]"));
    EXPECT_FALSE(parser.objectWithString("[[[[]]]]"));
}

TEST(SNJsonParserTest, DeepInputCannotExhaustTheStack) {
    // Without a limit of the caller's own, nesting is still capped.
    SNJsonParser parser;
    parser.setMaxDepth(0);
    EXPECT_TRUE(parser.objectWithString(nested(1000)));
    EXPECT_TRUE(parser.objectWithString(nested(SNJsonBase::kHardMaxDepth)));
    EXPECT_FALSE(parser.objectWithString(nested(SNJsonBase::kHardMaxDepth + 1)));

    const std::string hostile(100000, '[');
    for (unsigned maxDepth : {0u, 512u, 1000000u}) {
        parser.setMaxDepth(maxDepth);
        ASSERT_FALSE(parser.objectWithString(hostile));
        EXPECT_EQ(traceOf(parser).front(), TraceEntry(7, "Nested too deep")) << maxDepth;
    }
}

}  // namespace
}  // namespace clipora
