#include "social/json/SNJSON.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "platform/foundation/Log.h"
#include "social/json/SNJsonCategories.h"

namespace clipora {
namespace {

using platform::Error;
using platform::Value;

TEST(SNJSONTest, ParsesAndWritesWithOneSetOfSettings) {
    SNJSON json;
    EXPECT_EQ(json.maxDepth(), 512u);
    EXPECT_FALSE(json.humanReadable());
    EXPECT_FALSE(json.sortKeys());

    const auto value = json.objectWithString(R"({"b":1,"a":[true,null]})");
    ASSERT_TRUE(value);
    json.setSortKeys(true);
    json.setHumanReadable(true);
    EXPECT_TRUE(json.sortKeys());
    EXPECT_EQ(json.stringWithObject(*value), "{\n  \"a\" : [\n    true,\n    null\n  ],\n  \"b\" : 1\n}");

    // The limit reaches both the parser and the writer.
    json.setMaxDepth(2);
    EXPECT_EQ(json.maxDepth(), 2u);
    EXPECT_FALSE(json.objectWithString("[[[]]]"));
    EXPECT_FALSE(json.stringWithObject(Value::makeArray({Value::makeArray({Value::makeArray()})})));
    EXPECT_EQ(json.errorTrace().front().code(), 7);
    EXPECT_TRUE(json.stringWithObject(Value::makeArray({Value::makeArray()})));
}

TEST(SNJSONTest, ObjectFormsAcceptOnlyContainersAndFragmentFormsAnyValue) {
    SNJSON json;
    std::optional<Error> error;
    EXPECT_EQ(json.fragmentWithStringError("\"x\"", &error), Value("x"));
    EXPECT_FALSE(error);
    EXPECT_FALSE(json.objectWithStringError("\"x\"", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "org.wendrel.JSON.ErrorDomain");
    EXPECT_EQ(error->code(), 4);
    EXPECT_EQ(error->localizedDescription(), "Valid fragment, but not JSON");

    error.reset();
    EXPECT_EQ(json.stringWithFragmentError(Value(3), &error), "3");
    EXPECT_FALSE(error);
    EXPECT_FALSE(json.stringWithObjectError(Value(3), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 4);
    EXPECT_EQ(error->localizedDescription(), "Not valid type for JSON");

    EXPECT_EQ(json.objectWithStringAllowScalarError("null", true, nullptr), Value());
    EXPECT_FALSE(json.objectWithStringAllowScalarError("null", false, nullptr));
    EXPECT_FALSE(json.objectWithStringAllowScalarError(std::nullopt, true, &error));
    EXPECT_EQ(error->code(), 12);
}

TEST(SNJSONTest, TheOutErrorIsTheMostGeneralAndLeadsToTheInnermost) {
    SNJSON json;
    std::optional<Error> error;
    ASSERT_FALSE(json.objectWithStringError(R"({"k":"\x"})", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 3);
    EXPECT_EQ(error->localizedDescription(), "Object value expected for key: k");
    ASSERT_NE(error->underlyingError(), nullptr);
    EXPECT_EQ(error->underlyingError()->code(), 8);
    EXPECT_EQ(error->underlyingError()->localizedDescription(), "Illegal escape sequence '0x78'");
    ASSERT_EQ(json.errorTrace().size(), 2u);
    EXPECT_EQ(json.errorTrace().back(), *error);
}

TEST(SNJSONTest, KeepsTheTraceOfTheLastFailingCall) {
    SNJSON json;
    ASSERT_FALSE(json.objectWithString("[1,]"));
    ASSERT_EQ(json.errorTrace().size(), 1u);
    EXPECT_EQ(json.errorTrace()[0].code(), 9);
    ASSERT_TRUE(json.objectWithString("[1]"));
    EXPECT_EQ(json.errorTrace().size(), 1u);  // a success leaves it
    ASSERT_FALSE(json.stringWithObject(Value::makeArray({std::numeric_limits<double>::infinity()})));
    ASSERT_EQ(json.errorTrace().size(), 1u);
    EXPECT_EQ(json.errorTrace()[0].code(), 1);
}

TEST(SNJSONTest, ConvenienceCallsLogTheirFailures) {
    EXPECT_EQ(SNJsonCategories::JSONValue(R"({"a":[1]})"), Value::makeDictionary({{"a", Value::makeArray({1})}}));
    EXPECT_EQ(SNJsonCategories::JSONFragmentValue("12"), Value(12));
    EXPECT_EQ(SNJsonCategories::JSONRepresentation(Value::makeArray({"x"})), R"(["x"])");
    EXPECT_EQ(SNJsonCategories::JSONFragment(Value(false)), "false");

    platform::Log::Capture capture;
    EXPECT_FALSE(SNJsonCategories::JSONValue("12"));
    EXPECT_FALSE(SNJsonCategories::JSONFragmentValue("[1,]"));
    EXPECT_FALSE(SNJsonCategories::JSONRepresentation(Value(1)));
    EXPECT_FALSE(SNJsonCategories::JSONFragment(Value(platform::Data{1})));
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("-JSONValue failed. Error trace is: (", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("Valid fragment, but not JSON"), std::string::npos);
    EXPECT_EQ(lines[1].rfind("-JSONFragmentValue failed. Error trace is: (", 0), 0u);
    EXPECT_NE(lines[1].find("Trailing comma disallowed in array"), std::string::npos);
    EXPECT_EQ(lines[2].rfind("-JSONRepresentation failed. Error trace is: (", 0), 0u);
    EXPECT_EQ(lines[3].rfind("-JSONFragment failed. Error trace is: (", 0), 0u);
    EXPECT_NE(lines[3].find("JSON serialisation not supported for Data"), std::string::npos);
}

}  // namespace
}  // namespace clipora
