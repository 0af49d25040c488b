#include "social/sdk/FBXMLHandler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/XMLParser.h"
#include "tests/support/Nesting.h"
#include "tests/support/TestHome.h"

namespace clipora {
namespace {

using platform::Value;

std::shared_ptr<FBXMLHandler> parse(const std::string& document) {
    auto handler = std::make_shared<FBXMLHandler>();
    auto parser = std::make_shared<platform::XMLParser>(document);
    parser->setDelegate(handler);
    parser->parse();
    return handler;
}

Value dict(std::initializer_list<std::pair<const std::string, Value>> items) { return Value::makeDictionary(items); }

TEST(FBXMLHandlerTest, BuildsTheReplyTree) {
    struct Case {
        std::string document;
        std::string rootName;
        Value root;
    };
    const std::vector<Case> cases = {
        {R"(<response><uid>12</uid><list list="true"><item>a</item><item>b</item></list></response>)", "response",
         dict({{"uid", "12"}, {"list", Value::makeArray({dict({{"item", "a"}}), dict({{"item", "b"}})})}})},
        // Empty and whitespace-only elements are null.
        {"<r/>", "r", Value()},
        {"<r>  \n\t </r>", "r", Value()},
        {"<r><a/><b>\r\n</b></r>", "r", dict({{"a", Value()}, {"b", Value()}})},
        // Text is kept whole, whitespace included; entities and CDATA are read.
        {"<r> a &amp; b </r>", "r", Value(" a & b ")},
        {"<r><![CDATA[<x>]]></r>", "r", Value("<x>")},
        // Text before a child wins; the child is dropped.
        {"<r><a>text<b>x</b></a></r>", "r", dict({{"a", "text"}})},
        // A list without children is an empty array.
        {R"(<r><l list="true"/><m list="true">  </m></r>)", "r",
         dict({{"l", Value::makeArray()}, {"m", Value::makeArray()}})},
        // Two children of the same name outside a list: the last one stays.
        {"<r><a>1</a><a>2</a></r>", "r", dict({{"a", "2"}})},
        // Only list="true" makes a list.
        {R"(<r list="false"><a>1</a></r>)", "r", dict({{"a", "1"}})},
        // List entries that have children stay dictionaries; empty ones are null.
        {R"(<users list="true">
              <user><id>1</id><name>Ann</name></user>
              <user><id>2</id></user>
              <user/>
            </users>)",
         "users", Value::makeArray({dict({{"id", "1"}, {"name", "Ann"}}), dict({{"id", "2"}}), Value()})},
        {R"(<r><outer list="true"><inner list="true"><v>1</v></inner></outer></r>)", "r",
         dict({{"outer", Value::makeArray({Value::makeArray({dict({{"v", "1"}})})})}})},
    };
    for (const auto& c : cases) {
        const auto handler = parse(c.document);
        EXPECT_FALSE(handler->parseError()) << c.document;
        EXPECT_EQ(handler->rootName(), c.rootName) << c.document;
        ASSERT_TRUE(handler->rootObject()) << c.document;
        EXPECT_EQ(*handler->rootObject(), c.root) << c.document << "\n gave " << handler->rootObject()->description();
    }
}

TEST(FBXMLHandlerTest, ReadsAnErrorReply) {
    const auto handler = parse(R"(<?xml version="1.0" encoding="UTF-8"?>
<error_response xmlns="http://api.example.invalid/1.0/" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
  <error_code>100</error_code>
  <error_msg>Invalid parameter</error_msg>
  <request_args list="true">
    <arg><key>method</key><value>video.upload</value></arg>
    <arg><key>format</key><value>XML</value></arg>
  </request_args>
</error_response>)");
    ASSERT_FALSE(handler->parseError());
    EXPECT_EQ(handler->rootName(), "error_response");
    ASSERT_TRUE(handler->rootObject());
    const Value& root = *handler->rootObject();
    EXPECT_EQ(*root.find("error_code"), Value("100"));
    EXPECT_EQ(*root.find("error_msg"), Value("Invalid parameter"));
    EXPECT_EQ(*root.find("request_args"), Value::makeArray({dict({{"key", "method"}, {"value", "video.upload"}}),
                                                            dict({{"key", "format"}, {"value", "XML"}})}));
}

TEST(FBXMLHandlerTest, AMalformedReplyHasNoRoot) {
    for (const std::string document : {"<r><a>1</r>", "<r><a>1</a>", "<r/><extra/>", "", "not xml"}) {
        const auto handler = parse(document);
        EXPECT_TRUE(handler->parseError()) << document;
        EXPECT_EQ(handler->parseError()->domain(), platform::XMLParser::kErrorDomain);
        EXPECT_FALSE(handler->rootObject()) << document;
        EXPECT_FALSE(handler->rootName()) << document;
    }
}

TEST(FBXMLHandlerTest, ARootNestedPastTheLimitIsAParseError) {
    for (const auto& [levels, accepted] : test::depthCases(platform::XMLParser::kMaxElementDepth)) {
        const auto handler = parse(test::nested("<a>", "x", "</a>", levels));
        EXPECT_EQ(handler->rootObject().has_value(), accepted) << levels;
        EXPECT_EQ(handler->parseError().has_value(), !accepted) << levels;
        if (!accepted) {
            EXPECT_EQ(handler->parseError()->code(), platform::XMLParser::kTooDeepErrorCode);
            EXPECT_FALSE(handler->rootName()) << levels;
            continue;
        }
        std::size_t depth = 1;
        for (const Value* node = &*handler->rootObject(); node->isDictionary(); node = node->find("a")) ++depth;
        EXPECT_EQ(depth, levels);
    }
}

TEST(FBXMLHandlerTest, ExternalEntitiesAreNeverLoadedAndEntityBombsFail) {
    test::TestHome home;
    const auto secret = home / "secret.txt";
    std::ofstream(secret) << "TOP-SECRET";
    const auto handler = parse("<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY ext SYSTEM \"file://" + secret.string() +
                               "\">]><r><a>&ext;</a></r>");
    EXPECT_FALSE(handler->parseError());
    ASSERT_TRUE(handler->rootObject());
    EXPECT_EQ(*handler->rootObject(), dict({{"a", Value()}}));

    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a0 \"aaaaaaaaaa\">";
    for (int i = 1; i < 10; ++i) {
        const std::string previous = "&a" + std::to_string(i - 1) + ";";
        std::string body;
        for (int j = 0; j < 10; ++j) body += previous;
        bomb += "<!ENTITY a" + std::to_string(i) + " \"" + body + "\">";
    }
    bomb += "]><r>&a9;</r>";
    const auto bombed = parse(bomb);
    EXPECT_TRUE(bombed->parseError());
    EXPECT_FALSE(bombed->rootObject());
}

TEST(FBXMLHandlerTest, TopAccessorsFollowTheOpenElements) {
    FBXMLHandler handler;
    EXPECT_EQ(handler.topName(), "");
    EXPECT_EQ(handler.topObject(true), nullptr);
    EXPECT_EQ(handler.topContainer(), nullptr);

    platform::XMLParser parser(std::string_view("<x/>"));
    handler.parserDidStartElementNamespaceURIQualifiedNameAttributes(parser, "outer", "", "outer", {});
    handler.parserDidStartElementNamespaceURIQualifiedNameAttributes(parser, "inner", "", "inner", {{"list", "true"}});
    EXPECT_EQ(handler.topName(), "inner");
    ASSERT_NE(handler.topObject(false), nullptr);
    EXPECT_TRUE(handler.topObject(false)->isArray());
    ASSERT_NE(handler.topContainer(), nullptr);
    EXPECT_TRUE(handler.topContainer()->isDictionary());  // the placeholder became a dictionary
}

}  // namespace
}  // namespace clipora
