#include "share/json/JCSerializer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "share/json/JCDictionary.h"
#include "share/json/JSONDecoder.h"

namespace clipora {
namespace {

using platform::Value;

std::string write(const Value& value, unsigned options = 0) {
    std::optional<platform::Error> error;
    const auto text = JCSerializer::JSONStringWithOptionsError(value, options, &error);
    EXPECT_TRUE(text) << (error ? error->localizedDescription() : "");
    return text.value_or("<failed>");
}

std::string failureOf(const Value& value, unsigned options = 0) {
    std::optional<platform::Error> error;
    EXPECT_FALSE(JCSerializer::JSONStringWithOptionsError(value, options, &error));
    if (!error) return "<no error>";
    EXPECT_EQ(error->domain(), "JCErrorDomain");
    EXPECT_EQ(error->code(), -1);
    return error->localizedDescription();
}

Value sample() {
    return Value::makeDictionary({{"b", Value::makeArray({true, false, Value(), -7, 0.1})},
                                  {"a", "x"},
                                  {"c", Value::makeDictionary()},
                                  {"d", Value::makeArray()}});
}

TEST(JCSerializerTest, WritesCompactAndPrettyTextByteForByte) {
    EXPECT_EQ(write(sample()), R"({"a":"x","b":[true,false,null,-7,0.10000000000000001],"c":{},"d":[]})");
    EXPECT_EQ(
        write(sample(), JCSerializer::kSerializeOptionPretty),
        "{\n  \"a\": \"x\",\n  \"b\": [\n    true,\n    false,\n    null,\n    -7,\n    0.10000000000000001\n  ],\n"
        "  \"c\": {\n    \n  },\n  \"d\": [\n    \n  ]\n}");
    EXPECT_EQ(write(Value::makeArray(), JCSerializer::kSerializeOptionPretty), "[\n  \n]");
    EXPECT_EQ(write(Value::makeArray()), "[]");
}

TEST(JCSerializerTest, DecodedDictionariesKeepSlotOrderUnlessPretty) {
    const auto object = JSONDecoder::objectFromJSONStringWithParseOptionsError(R"({"b":1,"a":2,"c":{"z":[]}})");
    ASSERT_TRUE(object);
    const JCValue root = JSONDecoder::rootValue(*object);
    const JCDictionary& dictionary = *root.dictionary();
    std::string slotOrder = "{";
    for (std::size_t slot = 0; slot < dictionary.capacity(); ++slot) {
        const auto& entry = dictionary.entryAtSlot(slot);
        if (!entry.key) continue;
        if (slotOrder.size() > 1) slotOrder += ',';
        slotOrder += "\"" + std::string(entry.key->view()) + "\":" +
                     (entry.key->view() == "c" ? std::string(R"({"z":[]})") : std::to_string(entry.object.integer()));
    }
    EXPECT_EQ(JCSerializer::JSONStringWithOptionsError(root), slotOrder + "}");
    EXPECT_EQ(JCSerializer::JSONStringWithOptionsError(root, JCSerializer::kSerializeOptionPretty),
              "{\n  \"a\": 2,\n  \"b\": 1,\n  \"c\": {\n    \"z\": [\n      \n    ]\n  }\n}");
    // A decoded collection inside a platform value is written as itself.
    EXPECT_EQ(write(Value::makeArray({Value(std::static_pointer_cast<platform::Object>(object))}),
                    JCSerializer::kSerializeOptionPretty),
              "[\n  {\n    \"a\": 2,\n    \"b\": 1,\n    \"c\": {\n      \"z\": [\n        \n      ]\n    }\n  }\n]");
}

TEST(JCSerializerTest, EscapesStringsAsTheOptionsSay) {
    const std::string text = "q\"b\\s/n\n\x01\x1f\b\f\r\t caf\xC3\xA9 \xF0\x9F\x98\x80";
    const Value array = Value::makeArray({text});
    EXPECT_EQ(write(array), "[\"q\\\"b\\\\s/n\\n\\u0001\\u001f\\b\\f\\r\\t caf\xC3\xA9 \xF0\x9F\x98\x80\"]");
    EXPECT_EQ(write(array, JCSerializer::kSerializeOptionEscapeForwardSlashes),
              "[\"q\\\"b\\\\s\\/n\\n\\u0001\\u001f\\b\\f\\r\\t caf\xC3\xA9 \xF0\x9F\x98\x80\"]");
    EXPECT_EQ(write(array, JCSerializer::kSerializeOptionEscapeUnicode),
              "[\"q\\\"b\\\\s/n\\n\\u0001\\u001f\\b\\f\\r\\t caf\\u00e9 \\ud83d\\ude00\"]");
    // Bytes that are not UTF-8 cannot pass as they are.
    EXPECT_EQ(write(Value::makeArray({"a\xFF"
                                      "b\xC3"})),
              "[\"a?b?\"]");
    EXPECT_EQ(failureOf(Value::makeArray({"\xEF\xBF\xBE"}), JCSerializer::kSerializeOptionEscapeUnicode),
              "Error converting UTF8.");
    EXPECT_EQ(JCSerializer::JSONStringWithOptionsIncludeQuotesError("a\"\n/", 16, false), "a\\\"\\n\\/");
    EXPECT_EQ(JCSerializer::JSONStringWithOptionsIncludeQuotesError("a", 0, true), "\"a\"");
    const auto data = JCSerializer::JSONDataWithOptionsIncludeQuotesError("\xC3\xA9", 2, true);
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()), "\"\\u00e9\"");
}

TEST(JCSerializerTest, WritesNumbers) {
    const Value numbers = Value::makeArray({0.1, 1.0, -0.0, 1e300, 5e-324, std::numeric_limits<std::int64_t>::min(),
                                            std::numeric_limits<std::uint64_t>::max(), true, 12});
    EXPECT_EQ(write(numbers),
              "[0.10000000000000001,1,-0,1.0000000000000001e+300,4.9406564584124654e-324,-9223372036854775808,"
              "18446744073709551615,true,12]");
    EXPECT_EQ(failureOf(Value::makeArray({std::numeric_limits<double>::infinity()})),
              "Floating point values must be finite.  JSON does not support NaN or Infinity.");
    EXPECT_EQ(failureOf(Value::makeArray({std::nan("")})),
              "Floating point values must be finite.  JSON does not support NaN or Infinity.");
}

class DateFormatter : public JCSerializerDelegate {
public:
    std::optional<Value> format(const Value& object) {
        ++calls;
        if (object.isDate()) return Value("a date");
        return std::nullopt;
    }
    int calls = 0;
};

TEST(JCSerializerTest, HandsUnsupportedValuesToTheBlockOrDelegate) {
    const Value withDate = Value::makeArray({platform::Date(0)});
    EXPECT_EQ(failureOf(withDate), "Unable to serialize object class Date.");
    const auto block = [](const Value& object) -> std::optional<Value> {
        if (object.isDate()) return Value::makeDictionary({{"at", 0}});
        return Value(platform::Data{1});
    };
    EXPECT_EQ(JCSerializer::JSONStringWithOptionsSerializeUnsupportedClassesUsingBlockError(withDate, 0, block),
              "[{\"at\":0}]");
    std::optional<platform::Error> error;
    EXPECT_FALSE(JCSerializer::JSONStringWithOptionsSerializeUnsupportedClassesUsingBlockError(
        Value::makeArray({platform::Data{1}}), 0, block, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription(),
              "Unable to serialize object class Data that was returned by the unsupported class formatter.  Original "
              "object class was Data.");
    // A block that answers nothing.
    EXPECT_FALSE(JCSerializer::JSONStringWithOptionsSerializeUnsupportedClassesUsingBlockError(
        withDate, 0, [](const Value&) { return std::optional<Value>(); }, &error));
    EXPECT_EQ(error->localizedDescription(), "Unable to serialize object class Date.");

    auto delegate = std::make_shared<DateFormatter>();
    const auto selector = static_cast<JCSerializerDelegate::Selector>(&DateFormatter::format);
    EXPECT_EQ(JCSerializer::JSONStringWithOptionsSerializeUnsupportedClassesUsingDelegateSelectorError(
                  Value::makeArray({platform::Date(0), platform::Date(1)}), 0, delegate, selector),
              "[\"a date\",\"a date\"]");
    EXPECT_EQ(delegate->calls, 2);
    EXPECT_THROW(JCSerializer::JSONStringWithOptionsSerializeUnsupportedClassesUsingDelegateSelectorError(
                     withDate, 0, delegate, nullptr),
                 platform::Exception);
}

TEST(JCSerializerTest, NestingIsLimited) {
    Value deep = Value::makeArray();
    for (int level = 1; level < 512; ++level) deep = Value::makeArray({deep});
    EXPECT_TRUE(JCSerializer::JSONStringWithOptionsError(deep));
    EXPECT_EQ(failureOf(Value::makeArray({deep})), "nesting too deep");
    // A formatter that answers ever deeper values ends the same way.
    std::optional<platform::Error> error;
    EXPECT_FALSE(JCSerializer::JSONStringWithOptionsSerializeUnsupportedClassesUsingBlockError(
        Value::makeArray({platform::Date(0)}), 0,
        [](const Value& object) -> std::optional<Value> { return Value::makeArray({object}); }, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription(), "nesting too deep");
}

TEST(JCSerializerTest, EncodeOptionsChooseTheAnswerAndTheTopLevel) {
    JCSerializer serializer;
    std::optional<platform::Error> error;
    const auto data = serializer.serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
        Value::makeArray({1}), 0, JCSerializer::kEncodeAsData, nullptr, nullptr, nullptr, &error);
    ASSERT_TRUE(data && data->isData());
    EXPECT_EQ(*data->data(), (platform::Data{'[', '1', ']'}));
    EXPECT_FALSE(serializer.serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
        Value::makeArray({1}), 0, 3, nullptr, nullptr, nullptr, &error));
    EXPECT_EQ(error->localizedDescription(), "Unknown encode as type.");
    EXPECT_EQ(failureOf(Value("text")), "Unable to serialize object class String, expected a NSArray or NSDictionary.");
    EXPECT_FALSE(serializer.serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
        Value(1), 0, JCSerializer::kEncodeAsString | JCSerializer::kEncodeOnlyString, nullptr, nullptr, nullptr,
        &error));
    EXPECT_EQ(error->localizedDescription(), "Unable to serialize object class Number, expected a NSString.");
    // Fragments are fine when nothing is required of the top level.
    const auto fragment = serializer.serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
        Value(2.5), 0, JCSerializer::kEncodeAsString, nullptr, nullptr, nullptr, &error);
    EXPECT_EQ(fragment, Value("2.5"));
    EXPECT_FALSE(error);
}

TEST(JCSerializerTest, DecodedTextWritesBackToTheSameValue) {
    const std::string text =
        R"({"list":[1,-2,3.25,18446744073709551615,"\u00e9\ud83d\ude00\n",true,null,{"k":"v"}],"empty":{}})";
    const auto object = JSONDecoder::objectFromJSONStringWithParseOptionsError(text);
    ASSERT_TRUE(object);
    const auto written = JCSerializer::JSONStringWithOptionsError(JSONDecoder::rootValue(*object));
    ASSERT_TRUE(written);
    const auto again = JSONDecoder::objectFromJSONStringWithParseOptionsError(*written);
    ASSERT_TRUE(again);
    EXPECT_TRUE(JSONDecoder::rootValue(*object) == JSONDecoder::rootValue(*again));
    EXPECT_EQ(again->toValue(), object->toValue());
}

}  // namespace
}  // namespace clipora
