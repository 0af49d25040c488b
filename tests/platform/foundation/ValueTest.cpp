#include "platform/foundation/Value.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/foundation/InvalidArgumentException.h"

namespace clipora::platform {
namespace {

TEST(ValueTest, IntegersStayExactAcrossTheWhole64BitRange) {
    const std::int64_t id = 10150000000000001;  // above 2^53: a double would round it
    Value v(id);
    EXPECT_EQ(v.integer(), id);
    EXPECT_EQ(v.longLongValue(), id);
    EXPECT_EQ(v.description(), "10150000000000001");
    EXPECT_EQ(Value(std::numeric_limits<std::int64_t>::max()).description(), "9223372036854775807");
    EXPECT_EQ(Value(std::numeric_limits<std::int64_t>::min()).description(), "-9223372036854775808");
    Value big(std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(big.description(), "18446744073709551615");
    EXPECT_EQ(big.unsignedInteger(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(big.integer(), std::nullopt);  // does not fit, so no silent wrap
    EXPECT_EQ(Value(-1).unsignedInteger(), std::nullopt);
}

TEST(ValueTest, TextForms) {
    struct Case {
        Value value;
        std::string text;
    };
    const Case cases[] = {
        {Value(true), "1"},
        {Value(false), "0"},
        {Value(0), "0"},
        {Value(-42), "-42"},
        {Value(0.5), "0.5"},
        {Value(2.0), "2"},
        {Value(-0.25), "-0.25"},
        {Value(0.1), "0.1"},
        {Value(1e20), "1e+20"},
        {Value(123456.789), "123456.789"},
        {Value("plain text"), "plain text"},
        {Value(std::string()), ""},
        {Value(), "<null>"},
        {Value(Data{0x0a, 0x0b, 0x0c, 0x0d, 0x0e}), "<0a0b0c0d 0e>"},
        {Value(Data{}), "<>"},
        {Value(Date(0)), "2001-01-01 00:00:00 +0000"},
        {Value::makeArray({1, "two words", Value::makeArray({true})}),
         "(\n    1,\n    \"two words\",\n    (\n        1\n    )\n)"},
        {Value::makeDictionary({{"b", 2}, {"a", "x"}, {"c d", Value::makeDictionary({{"k", ""}})}}),
         "{\n    a = x;\n    b = 2;\n    \"c d\" = {\n        k = \"\";\n    };\n}"},
        {Value::makeArray(), "(\n)"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value.description(), c.text);
}

TEST(ValueTest, KindsAreDistinctAndEqualityIsDeep) {
    EXPECT_TRUE(Value(true).isBool());
    EXPECT_TRUE(Value(1).isInteger());
    EXPECT_TRUE(Value(1.0).isReal());
    EXPECT_TRUE(Value(1).isNumber() && Value(true).isNumber() && !Value("1").isNumber());
    EXPECT_NE(Value(true), Value(1));
    EXPECT_NE(Value(1), Value(1.0));
    EXPECT_NE(Value(1), Value("1"));
    EXPECT_EQ(Value(1), Value(1u));
    EXPECT_NE(Value(std::numeric_limits<std::uint64_t>::max()), Value(-1));
    EXPECT_EQ(Value(), Value(nullptr));
    EXPECT_EQ(Value(static_cast<const char*>(nullptr)), Value());

    auto nested = [] {
        return Value::makeDictionary({{"list", Value::makeArray({1, 2.5, "x", Data{1}})}, {"n", Value()}});
    };
    EXPECT_EQ(nested(), nested());
    Value other = nested();
    *other.find("list")->at(1) = 2.6;
    EXPECT_NE(nested(), other);
}

TEST(ValueTest, CopiesAreDeep) {
    Value original = Value::makeDictionary({{"tags", Value::makeArray({"a"})}});
    Value copy = original;
    copy.find("tags")->append("b");
    copy.set("new", 1);
    EXPECT_EQ(original.find("tags")->count(), 1u);
    EXPECT_FALSE(original.contains("new"));
    EXPECT_EQ(copy.find("tags")->count(), 2u);

    // Shared objects are shared, not cloned.
    auto object = std::make_shared<Object>();
    Value a(object);
    Value b = a;
    EXPECT_EQ(b.object(), object);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, Value(std::make_shared<Object>()));
}

TEST(ValueTest, AccessorsFailCleanly) {
    Value text("abc");
    EXPECT_EQ(text.integer(), std::nullopt);
    EXPECT_EQ(text.boolean(), std::nullopt);
    EXPECT_EQ(text.real(), std::nullopt);
    EXPECT_EQ(text.date(), std::nullopt);
    EXPECT_EQ(text.array(), nullptr);
    EXPECT_EQ(text.dictionary(), nullptr);
    EXPECT_EQ(text.data(), nullptr);
    EXPECT_EQ(text.object(), nullptr);
    EXPECT_EQ(text.find("k"), nullptr);
    EXPECT_EQ(text.at(0), nullptr);
    EXPECT_EQ(text.count(), 0u);
    EXPECT_EQ(Value(1).string(), nullptr);
    EXPECT_EQ(Value(1).objectAs<Object>(), nullptr);

    Value list = Value::makeArray({1});
    EXPECT_EQ(list.at(1), nullptr);
    Value map = Value::makeDictionary({{"null", Value()}});
    ASSERT_NE(map.find("null"), nullptr);  // a stored null is present
    EXPECT_TRUE(map.find("null")->isNull());
    EXPECT_EQ(map.find("absent"), nullptr);
    EXPECT_TRUE(map.remove("null"));
    EXPECT_FALSE(map.remove("null"));

    EXPECT_THROW(text.append(1), InvalidArgumentException);
    EXPECT_THROW(text.set("k", 1), InvalidArgumentException);
    Value fresh;
    fresh.set("k", 1);
    EXPECT_TRUE(fresh.isDictionary());
    Value freshList;
    freshList.append(1);
    EXPECT_TRUE(freshList.isArray());
}

TEST(ValueTest, LenientNumericReadings) {
    EXPECT_EQ(Value("  42abc").intValue(), 42);
    EXPECT_EQ(Value("9007199254740993").longLongValue(), 9007199254740993);
    EXPECT_EQ(Value(3.9).longLongValue(), 3);
    EXPECT_EQ(Value(-3.9).longLongValue(), -3);
    EXPECT_EQ(Value(1e30).longLongValue(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Value(std::nan("")).longLongValue(), 0);
    EXPECT_EQ(Value(true).intValue(), 1);
    EXPECT_DOUBLE_EQ(Value("2.5").doubleValue(), 2.5);
    EXPECT_DOUBLE_EQ(Value(std::numeric_limits<std::uint64_t>::max()).doubleValue(), 18446744073709551615.0);
    EXPECT_TRUE(Value("yes").boolValue());
    EXPECT_FALSE(Value("no").boolValue());
    EXPECT_TRUE(Value(0.5).boolValue());
    EXPECT_FALSE(Value(Value::makeArray({1})).boolValue());
    EXPECT_EQ(Value().longLongValue(), 0);
}

}  // namespace
}  // namespace clipora::platform
