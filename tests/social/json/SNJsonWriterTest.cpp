#include "social/json/SNJsonWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"
#include "social/json/SNJsonParser.h"
#include "social/json/SNJsonProxy.h"

namespace clipora {
namespace {

using platform::Value;
using TraceEntry = std::pair<std::int64_t, std::string>;

std::vector<TraceEntry> traceOf(const SNJsonBase& codec) {
    std::vector<TraceEntry> entries;
    for (const auto& error : codec.errorTrace()) entries.emplace_back(error.code(), error.localizedDescription());
    return entries;
}

// An object written as the value it stands for.
class Proxy : public platform::Object, public SNJsonProxy {
public:
    explicit Proxy(Value value) : value_(std::move(value)) {}
    Value proxyForJson() const override { return value_; }
    Value value_;
};

// A proxy that stands for itself.
class SelfProxy : public platform::Object, public SNJsonProxy, public std::enable_shared_from_this<SelfProxy> {
public:
    Value proxyForJson() const override {
        return Value(
            std::static_pointer_cast<platform::Object>(std::const_pointer_cast<SelfProxy>(shared_from_this())));
    }
};

class Plain : public platform::Object {};

TEST(SNJsonWriterTest, WritesValuesCompactly) {
    const std::vector<std::pair<Value, std::string>> cases = {
        {Value::makeDictionary({{"b", 1}, {"a", Value::makeArray({true, Value()})}}), R"({"a":[true,null],"b":1})"},
        {Value::makeArray(), "[]"},
        {Value::makeDictionary(), "{}"},
        {Value::makeArray({false, -7, "s"}), R"([false,-7,"s"])"},
        {Value(std::numeric_limits<long long>::min()), "-9223372036854775808"},
        {Value(std::numeric_limits<unsigned long long>::max()), "18446744073709551615"},
        // Reals keep a fraction or an exponent, so they read back as reals.
        {Value(1.5), "1.5"},
        {Value(2.0), "2.0"},
        {Value(-0.0), "-0.0"},
        {Value(0.1), "0.1"},
        {Value(1e20), "1e+20"},
        {Value(1e300), "1e+300"},
        {Value(5e-324), "5e-324"},
        // Strings: quote, backslash and controls escaped; slash and non-ASCII kept.
        {Value("a/b \xC3\xA9 \xF0\x9F\x98\x80"), "\"a/b \xC3\xA9 \xF0\x9F\x98\x80\""},
        {Value("\"\\\b\t\n\f\r"), R"("\"\\\b\t\n\f\r")"},
        {Value("\x1f\x01"), R"("\u001f\u0001")"},
        {Value(std::string("a\0b", 3)), R"("a\u0000b")"},
    };
    for (const auto& [value, expected] : cases) {
        SNJsonWriter writer;
        const auto text = writer.stringWithFragment(value);
        ASSERT_TRUE(text) << expected;
        EXPECT_EQ(*text, expected);
        EXPECT_EQ(writer.depth(), 0u);
    }
}

TEST(SNJsonWriterTest, SortedKeysAndHumanReadableLayout) {
    const Value value = Value::makeDictionary({{"b", 1},
                                               {"a", Value::makeArray({true, Value()})},
                                               {"c", Value::makeDictionary({{"d", Value::makeArray()}})}});
    SNJsonWriter writer;
    writer.setSortKeys(true);
    EXPECT_EQ(writer.stringWithObject(value), R"({"a":[true,null],"b":1,"c":{"d":[]}})");

    writer.setHumanReadable(true);
    EXPECT_EQ(writer.stringWithObject(value),
              "{\n"
              "  \"a\" : [\n"
              "    true,\n"
              "    null\n"
              "  ],\n"
              "  \"b\" : 1,\n"
              "  \"c\" : {\n"
              "    \"d\" : []\n"
              "  }\n"
              "}");
    EXPECT_EQ(writer.stringWithObject(Value::makeArray()), "[]");
    EXPECT_EQ(writer.stringWithObject(Value::makeDictionary()), "{}");
}

TEST(SNJsonWriterTest, RoundTripsThroughTheParser) {
    const std::vector<std::string> texts = {
        R"({"a":[true,null],"b":1})",
        R"([{"video_id":"10150","title":"T\u00e9st \"q\"","updated_time":1338552000,"src":"http:\/\/x\/v.mp4"}])",
        R"([1.5,-0.25,1e-7,5e-324,2.2250738585072014e-308,1.7976931348623157e308,12345678901234567890,18446744073709551615,-9223372036854775808,0])",
        R"({"nested":{"deeper":{"list":[[],{},"",[[null]]]}},"s":"\u0001\u001f\ud83d\ude00"})",
    };
    for (bool humanReadable : {false, true}) {
        for (const auto& text : texts) {
            SNJsonParser parser;
            const auto value = parser.objectWithString(text);
            ASSERT_TRUE(value) << text;
            SNJsonWriter writer;
            writer.setSortKeys(true);
            writer.setHumanReadable(humanReadable);
            const auto written = writer.stringWithObject(*value);
            ASSERT_TRUE(written) << text;
            const auto reread = parser.objectWithString(*written);
            ASSERT_TRUE(reread) << *written;
            EXPECT_EQ(*reread, *value) << *written;
            // Writing is deterministic: the second trip gives the same text.
            EXPECT_EQ(writer.stringWithObject(*reread), written);
        }
    }
}

TEST(SNJsonWriterTest, RefusesWhatJSONCannotHold) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        Value value;
        std::vector<TraceEntry> trace;
    };
    const std::vector<Case> cases = {
        {Value::makeArray({nan}), {{1, "JSON serialisation not supported for nan"}}},
        {Value::makeDictionary({{"x", inf}}),
         {{1, "JSON serialisation not supported for inf"}, {1, "Unsupported value for key x in object"}}},
        {Value::makeArray({-inf}), {{1, "JSON serialisation not supported for -inf"}}},
        {Value::makeArray({Value(platform::Data{1, 2})}), {{1, "JSON serialisation not supported for Data"}}},
        {Value::makeArray({Value(platform::Date(0))}), {{1, "JSON serialisation not supported for Date"}}},
        {Value::makeArray({Value(std::make_shared<Plain>())}),
         {{1, "JSON serialisation not supported for clipora::(anonymous namespace)::Plain"}}},
        {Value::makeDictionary({{"outer", Value::makeDictionary({{"inner", nan}})}}),
         {{1, "JSON serialisation not supported for nan"},
          {1, "Unsupported value for key inner in object"},
          {1, "Unsupported value for key outer in object"}}},
    };
    for (const auto& c : cases) {
        SNJsonWriter writer;
        EXPECT_FALSE(writer.stringWithObject(c.value)) << c.value.description();
        EXPECT_EQ(traceOf(writer), c.trace);
    }

    SNJsonWriter writer;
    for (const Value& scalar : {Value("text"), Value(5), Value(), Value(true)}) {
        EXPECT_FALSE(writer.stringWithObject(scalar));
        EXPECT_EQ(traceOf(writer), (std::vector<TraceEntry>{{4, "Not valid type for JSON"}}));
        EXPECT_TRUE(writer.stringWithFragment(scalar));
    }
    EXPECT_EQ(writer.stringWithFragment(Value("text")), R"("text")");
}

TEST(SNJsonWriterTest, WritesProxiesAsTheValueTheyStandFor) {
    SNJsonWriter writer;
    auto record = std::make_shared<Proxy>(Value::makeDictionary({{"id", 7}}));
    EXPECT_EQ(writer.stringWithObject(Value::makeArray({Value(record)})), R"([{"id":7}])");
    EXPECT_EQ(writer.stringWithObject(Value(record)), R"({"id":7})");
    auto scalar = std::make_shared<Proxy>(Value("x"));
    EXPECT_EQ(writer.stringWithFragment(Value(scalar)), R"("x")");
    EXPECT_FALSE(writer.stringWithObject(Value(scalar)));
    EXPECT_EQ(traceOf(writer), (std::vector<TraceEntry>{{4, "Not valid type for JSON"}}));
    auto broken = std::make_shared<Proxy>(Value::makeArray({std::numeric_limits<double>::quiet_NaN()}));
    EXPECT_FALSE(writer.stringWithObject(Value(broken)));
    EXPECT_EQ(traceOf(writer), (std::vector<TraceEntry>{{4, "Not valid type for JSON"}}));

    // A proxy that stands for itself ends in an error, not in a crash.
    auto loop = std::make_shared<SelfProxy>();
    EXPECT_FALSE(writer.stringWithObject(Value::makeArray({Value(loop)})));
    EXPECT_EQ(traceOf(writer).front(), TraceEntry(7, "Nested too deep"));
    EXPECT_FALSE(writer.stringWithObject(Value(loop)));
}

TEST(SNJsonWriterTest, NestingIsLimited) {
    const auto nested = [](std::size_t levels) {
        Value value = Value::makeArray();
        for (std::size_t i = 1; i < levels; ++i) {
            Value outer = Value::makeArray();
            outer.append(std::move(value));
            value = std::move(outer);
        }
        return value;
    };
    SNJsonWriter writer;
    EXPECT_TRUE(writer.stringWithObject(nested(512)));
    ASSERT_FALSE(writer.stringWithObject(nested(513)));
    EXPECT_EQ(traceOf(writer), (std::vector<TraceEntry>{{7, "Nested too deep"}}));

    writer.setMaxDepth(0);
    EXPECT_TRUE(writer.stringWithObject(nested(SNJsonBase::kHardMaxDepth)));
    EXPECT_FALSE(writer.stringWithObject(nested(SNJsonBase::kHardMaxDepth + 1)));
}

}  // namespace
}  // namespace clipora
