#include "share/json/JSONDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "share/json/JCArray.h"
#include "share/json/JCDictionary.h"

namespace clipora {
namespace {

using platform::Value;

struct Failure {
    std::string message;
    std::uint64_t index;
    std::uint64_t line;
};

// The error a text fails with, or nothing when it decodes.
std::optional<Failure> failureOf(std::string_view text, unsigned options = 0) {
    JSONDecoder decoder(options);
    std::optional<platform::Error> error;
    const auto object = decoder.objectWithUTF8StringLengthError(text.data(), text.size(), &error);
    EXPECT_EQ(object == nullptr, error.has_value()) << text;
    if (!error) return std::nullopt;
    EXPECT_EQ(error->domain(), "JCErrorDomain");
    EXPECT_EQ(error->code(), -1);
    const auto index = error->userInfo().at("JCAtIndexKey").unsignedInteger();
    const auto line = error->userInfo().at("JCLineNumberKey").unsignedInteger();
    return Failure{error->localizedDescription(), index.value_or(999999), line.value_or(999999)};
}

Value decodedValue(std::string_view text, unsigned options = 0) {
    const auto object = JSONDecoder::objectFromJSONStringWithParseOptionsError(text, options);
    EXPECT_TRUE(object) << text;
    return object ? object->toValue() : Value("<failed>");
}

std::string nested(std::size_t levels) { return std::string(levels, '[') + std::string(levels, ']'); }

struct InvalidCase {
    std::string text;
    unsigned options;
    std::string message;
    std::uint64_t index;
    std::uint64_t line;
};

TEST(JSONDecoderTest, RefusesInvalidTextsWithMessageIndexAndLine) {
    const std::string unexpected =
        "Unexpected token, wanted '{', '}', '[', ']', ',', ':', 'true', 'false', 'null', '\"STRING\"', 'NUMBER'.";
    const std::vector<InvalidCase> cases = {
        {"", 0, "Reached the end of the buffer.", 0, 1},
        {"  \n ", 0, unexpected, 4, 2},
        {"1 ", 0, "Expected either '[' or '{'.", 0, 1},
        {"\"a\" ", 0, "Expected either '[' or '{'.", 0, 1},
        {"null ", 0, "Expected either '[' or '{'.", 0, 1},
        {"[1,", 0, "Reached the end of the buffer.", 3, 1},
        {"[1", 0, "Invalid number.", 2, 1},
        {"[1,]", 0, "Unexpected ']'.", 3, 1},
        {"[1 2]", 0, "Unexpected value.", 3, 1},
        {"[1:2]", 0, "Expected a comma or a ']', not ':'", 2, 1},
        {"[:]", 0, "Expected a value or a ']', not ':'", 1, 1},
        {"[1,:]", 0, "Expected a value, not ':'", 3, 1},
        {"[,]", 0, "Unexpected ','.", 1, 1},
        {"[}", 0, "Expected a value or a ']', not '}'", 1, 1},
        {"{\"a\" 1}", 0, "Expected ':'.", 5, 1},
        {"{\"a\":}", 0, "Expected a value or a '}', not '}'", 5, 1},
        {"{\"a\":1,\"b\":}", 0, "Expected a value, not '}'", 11, 1},
        {"{1:2}", 0, "Expected a \"STRING\" or a '}', not '1'", 1, 1},
        {"{\"a\":1,2}", 0, "Expected a \"STRING\", not '2'", 7, 1},
        {"{\"a\":1 \"b\":2}", 0, "Unexpected string.", 7, 1},
        {"{\"a\":1 2}", 0, "Unexpected value.", 7, 1},
        {"{\"a\":1 :}", 0, "Expected a comma or a '}', not ':'", 7, 1},
        {"{\"a\":1,}", 0, "Unexpected '}'.", 7, 1},
        {"{,}", 0, "Unexpected ','.", 1, 1},
        {"[01]", 0, "Unexpected value.", 2, 1},
        {"[-]", 0, "Invalid number.", 2, 1},
        {"[1.]", 0, "Invalid number.", 3, 1},
        {"[1e+]", 0, "Invalid number.", 4, 1},
        {"[18446744073709551616 ]", 0,
         "The value '18446744073709551616' exceeded the maximum value that could be represented: 18446744073709551615.",
         1, 1},
        {"[-9223372036854775809 ]", 0,
         "The value '-9223372036854775809' exceeded the minimum value that could be represented: -9223372036854775808.",
         1, 1},
        {"[1e400 ]", 0, "The value '1e400' could not be represented as a 'double' due to overflow.", 1, 1},
        {"[1e-400 ]", 0, "The value '1e-400' could not be represented as a 'double' due to underflow.", 1, 1},
        {"[\"a\nb\"]", 0, "Invalid character < 0x20 found in string: 0x0a.", 3, 1},
        {"[\"\\x\"]", 0, "Invalid escape sequence found in \"\" string.", 3, 1},
        {"[\"\\u12G4\"]", 0,
         "Unexpected character found in \\u Unicode escape sequence.  Found 'G', expected [0-9a-fA-F].", 6, 1},
        {"[\"\\u0000\"]", 0, "Illegal \\u Unicode escape sequence.", 2, 1},
        {"[\"\\uDC00\"]", 0, "Illegal \\u Unicode escape sequence.", 2, 1},
        {"[\"\\uFFFE\"]", 0, "Illegal \\u Unicode escape sequence.", 2, 1},
        {"[\"\\uD83Dx\"]", 0,
         "Required a second \\u Unicode escape sequence following a surrogate \\u Unicode escape sequence.", 8, 1},
        {"[\"\\uD83D\\u0041\"]", 0, "Illegal \\u Unicode escape sequence.", 2, 1},
        {"[\"\xC0\x80\"]", 0, "Illegal UTF8 sequence found in \"\" string.", 2, 1},
        {"[\"\xED\xA0\x80\"]", 0, "Illegal UTF8 sequence found in \"\" string.", 2, 1},      // a raw surrogate
        {"[\"\xEF\xB7\x90\"]", 0, "Illegal UTF8 sequence found in \"\" string.", 2, 1},      // U+FDD0
        {"[\"\xF4\x90\x80\x80\"]", 0, "Illegal UTF8 sequence found in \"\" string.", 2, 1},  // above U+10FFFF
        {"[\"\xE2\x82", 0, "End of buffer reached while parsing UTF8 in \"\" string.", 2, 1},
        {"[\"abc", 0, "Invalid string.", 5, 1},
        {"{} x", 0, "A valid JSON object was parsed but there were additional non-white-space characters remaining.", 3,
         1},
        {"{} // note", 0,
         "A valid JSON object was parsed but there were additional non-white-space characters remaining.", 3, 1},
        {"[true", 0, unexpected, 1, 1},
        {"[truex]", 0, unexpected, 5, 1},
        {"[\r\n1,\r\n]", 0, "Unexpected ']'.", 7, 3},
        {"[\n\r\r\n\"\x01\"]", 0, "Invalid character < 0x20 found in string: 0x01.", 6, 4},
        // Comments only with their option; line ends inside them count.
        {"[/* a */]", 0, unexpected, 1, 1},
        {"[1,/* a\n b */ x]", 1, unexpected, 14, 2},
        {"[1,// a\r\n x]", 1, unexpected, 10, 2},
        // U+2028 is a line end only with its option.
        {"[\xE2\x80\xA8]]", 0, unexpected, 1, 1},
        {"[\xE2\x80\xA8]]", 2,
         "A valid JSON object was parsed but there were additional non-white-space characters remaining.", 5, 2},
        {"[\xC2\x85 x]", 2, unexpected, 4, 2},
        // Loose Unicode does not excuse a bad hex digit or a control character.
        {"[\"\\u00G0\"]", 4,
         "Unexpected character found in \\u Unicode escape sequence.  Found 'G', expected [0-9a-fA-F].", 6, 1},
        {"[\"\x1f\"]", 4, "Invalid character < 0x20 found in string: 0x1f.", 2, 1},
    };
    for (const auto& c : cases) {
        const auto failure = failureOf(c.text, c.options);
        ASSERT_TRUE(failure) << c.text;
        EXPECT_EQ(failure->message, c.message) << c.text;
        EXPECT_EQ(failure->index, c.index) << c.text;
        EXPECT_EQ(failure->line, c.line) << c.text;
    }
}

struct ValidCase {
    std::string text;
    unsigned options;
    Value expected;
};

TEST(JSONDecoderTest, DecodesValidTexts) {
    const auto array = [](std::initializer_list<Value> items) { return Value::makeArray(items); };
    const std::vector<ValidCase> cases = {
        {"[]", 0, array({})},
        {" {\"a\" : [1, -2, 3.5, true, false, null, \"x\"]}\r\n", 0,
         Value::makeDictionary({{"a", array({1, -2, 3.5, true, false, Value(), "x"})}})},
        {"[\"\", \"caf\xC3\xA9\", \"\\u00e9\\/\\\\\\\"\\b\\f\\n\\r\\t\"]", 0,
         array({"", "caf\xC3\xA9", "\xC3\xA9/\\\"\b\f\n\r\t"})},
        {"[\"\\uD83D\\uDE00\", \"\xF0\x9F\x98\x80\"]", 0, array({"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"})},
        {"{\"k\":1,\"k\":2}", 0, Value::makeDictionary({{"k", 2}})},
        {"[9223372036854775807, -9223372036854775808, 18446744073709551615, 0, -0.0, 1E2, 1e-2]", 0,
         array({std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min(),
                std::numeric_limits<std::uint64_t>::max(), 0, -0.0, 100.0, 0.01})},
        // Options.
        {"/* head */ [1, // one\n 2] /* open", 1, array({1, 2})},
        {"{} tail", 8, Value::makeDictionary()},
        {"[\"\xC0\", \"a\xFF"
         "b\", \"\\uDC00\", \"\\uD83D\\u0041\", \"\\uD83Dz\", \"\\u0000\"]",
         4,
         array({"\xEF\xBF\xBD",
                "a\xEF\xBF\xBD"
                "b",
                "\xEF\xBF\xBD", "\xEF\xBF\xBD", "\xEF\xBF\xBDz", "\xEF\xBF\xBD"})},
        {"[\"\xE2\x80\xA8\"]", 2, array({"\xE2\x80\xA8"})},
    };
    for (const auto& c : cases) EXPECT_EQ(decodedValue(c.text, c.options), c.expected) << c.text;
}

TEST(JSONDecoderTest, NumbersKeepTheirKind) {
    const auto object = JSONDecoder::objectFromJSONStringWithParseOptionsError(
        "[-0, 18446744073709551615, 9223372036854775807, 1.5, 7]");
    ASSERT_TRUE(object);
    const JCArray& array = dynamic_cast<const JCArray&>(*object);
    EXPECT_EQ(array.objectAtIndex(0).kind(), JCValue::Kind::Real);
    EXPECT_TRUE(std::signbit(array.objectAtIndex(0).real()));
    EXPECT_EQ(array.objectAtIndex(1).kind(), JCValue::Kind::UnsignedInteger);
    EXPECT_EQ(array.objectAtIndex(1).unsignedValue(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(array.objectAtIndex(2).kind(), JCValue::Kind::Integer);
    EXPECT_EQ(array.objectAtIndex(3).kind(), JCValue::Kind::Real);
    EXPECT_EQ(array.objectAtIndex(4).integer(), 7);
}

TEST(JSONDecoderTest, RepeatedStringsAreOneObjectWithinAndAcrossParses) {
    JSONDecoder decoder;
    const std::string text = R"([{"name":"a","id":1},{"name":"b","id":2}])";
    const auto first = decoder.objectWithUTF8StringLengthError(text.data(), text.size());
    const auto second = decoder.objectWithUTF8StringLengthError(text.data(), text.size());
    ASSERT_TRUE(first && second);
    const auto keyOf = [](const JCObject& root, std::size_t row) {
        const JCDictionary* dictionary = dynamic_cast<const JCArray&>(root).objectAtIndex(row).dictionary();
        return dictionary->entryAtSlot(dictionary->slotOfKey("name")).key;
    };
    EXPECT_EQ(keyOf(*first, 0), keyOf(*first, 1));
    EXPECT_EQ(keyOf(*first, 0), keyOf(*second, 0));
    // The documents outlive the decoder and its cache.
    decoder.clearCache();
    const auto third = decoder.objectWithUTF8StringLengthError(text.data(), text.size());
    EXPECT_NE(keyOf(*first, 0), keyOf(*third, 0));
    EXPECT_EQ(keyOf(*first, 1)->view(), "name");
}

TEST(JSONDecoderTest, DocumentsOutliveTheirDecoder) {
    std::shared_ptr<JCObject> object;
    {
        JSONDecoder decoder;
        const std::string text = R"({"key":["value", {"inner":"text"}]})";
        object = decoder.objectWithUTF8StringLengthError(text.data(), text.size());
    }
    ASSERT_TRUE(object);
    EXPECT_EQ(
        object->toValue(),
        Value::makeDictionary({{"key", Value::makeArray({"value", Value::makeDictionary({{"inner", "text"}})})}}));
}

TEST(JSONDecoderTest, MutableFormsAnswerCollectionsThatAcceptChanges) {
    JSONDecoder decoder;
    const std::string text = R"({"list":[1]})";
    const auto frozen = decoder.objectWithUTF8StringLengthError(text.data(), text.size());
    const auto open = decoder.mutableObjectWithUTF8StringLengthError(text.data(), text.size());
    ASSERT_TRUE(frozen && open);
    EXPECT_FALSE(frozen->isMutable());
    EXPECT_EQ(open->mutations(), 1u);
    JCArray* list = dynamic_cast<JCDictionary&>(*open).objectForKey("list")->mutableArray();
    list->addObject(JCValue(std::int64_t{2}));
    EXPECT_EQ(open->toValue(), Value::makeDictionary({{"list", Value::makeArray({1, 2})}}));
    JCArray* frozenList = dynamic_cast<JCDictionary&>(*frozen).objectForKey("list")->mutableArray();
    EXPECT_THROW(frozenList->addObject(JCValue()), platform::Exception);
}

TEST(JSONDecoderTest, NestingIsLimitedSoTheStackStaysSafe) {
    EXPECT_TRUE(JSONDecoder::objectFromJSONStringWithParseOptionsError(nested(512)));
    const auto tooDeep = failureOf(nested(513));
    ASSERT_TRUE(tooDeep);
    EXPECT_EQ(tooDeep->message, "nesting too deep");
    EXPECT_EQ(tooDeep->index, 512u);
    // Far deeper input fails the same way instead of overflowing the stack.
    const auto hostile = failureOf(std::string(1000000, '[') + std::string(1000000, ']'));
    ASSERT_TRUE(hostile);
    EXPECT_EQ(hostile->message, "nesting too deep");
    const auto objects = failureOf(std::string(600, '{') + "}");
    ASSERT_TRUE(objects);
    EXPECT_EQ(objects->message, "Expected a \"STRING\" or a '}', not '{'");
}

TEST(JSONDecoderTest, MisuseThrows) {
    EXPECT_THROW(JSONDecoder(16), platform::Exception);
    JSONDecoder decoder(15);
    EXPECT_THROW(decoder.objectWithUTF8StringLengthError(nullptr, 0), platform::Exception);
    EXPECT_THROW(decoder.objectWithDataError(nullptr), platform::Exception);
    const platform::Data data{'[', ']'};
    EXPECT_TRUE(decoder.objectWithDataError(&data));
    EXPECT_TRUE(JSONDecoder::objectFromJSONDataWithParseOptionsError(data));
}

TEST(JSONDecoderTest, KeepsOnlyTheFirstErrorAndClearsItOnSuccess) {
    JSONDecoder decoder;
    std::optional<platform::Error> error;
    const std::string bad = "[1e400 ]";
    EXPECT_FALSE(decoder.objectWithUTF8StringLengthError(bad.data(), bad.size(), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription(),
              "The value '1e400' could not be represented as a 'double' due to overflow.");
    const std::string good = "[1]";
    EXPECT_TRUE(decoder.objectWithUTF8StringLengthError(good.data(), good.size(), &error));
    EXPECT_FALSE(error);
}

}  // namespace
}  // namespace clipora
