#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/engine/BKDataEncoding.h"
#include "net/engine/BKDateEncoding.h"
#include "net/engine/BKDictionaryEncoding.h"
#include "net/engine/BKJSONSerialization.h"
#include "net/engine/BKStringEncoding.h"
#include "platform/foundation/Value.h"
#include "tests/support/TestHome.h"

namespace clipora::test {
namespace {

using platform::Data;
using platform::Value;

Data bytes(std::string_view text) { return Data(text.begin(), text.end()); }

class BKEncodingTest : public PlatformTest {};

TEST_F(BKEncodingTest, Base64FollowsTheTestVectorsOfRFC4648) {
    const std::vector<std::pair<std::string, std::string>> vectors = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        SCOPED_TRACE(plain);
        EXPECT_EQ(BKDataEncoding::base64EncodedString(bytes(plain)), encoded);
        EXPECT_EQ(BKDataEncoding::dataFromBase64String(encoded), bytes(plain));
    }
}

TEST_F(BKEncodingTest, Base64LinesAndLenientDecoding) {
    // 49 bytes: one full line of 64 characters, a line break, the last byte.
    const Data input(49, 'a');
    const std::string lines = BKDataEncoding::base64EncodedString(input);
    ASSERT_EQ(lines.size(), 70u);
    EXPECT_EQ(lines.substr(64, 2), "\r\n");
    EXPECT_EQ(lines.substr(66), "YQ==");
    // Header values must stay on one line, however long.
    const std::string single = BKDataEncoding::base64EncodedStringWithoutLineBreaks(input);
    EXPECT_EQ(single.find('\r'), std::string::npos);
    EXPECT_EQ(single.size(), 68u);
    // Whatever is outside the alphabet is skipped; short tails decode what they can.
    EXPECT_EQ(BKDataEncoding::dataFromBase64String("YWJj\n"), bytes("abc"));
    EXPECT_EQ(BKDataEncoding::dataFromBase64String(lines), input);
    EXPECT_EQ(BKDataEncoding::dataFromBase64String("YW"), bytes("a"));
    EXPECT_TRUE(BKDataEncoding::dataFromBase64String("Y").empty());
}

TEST_F(BKEncodingTest, HttpDatesOfRFC7231ReadAsOneInstant) {
    // The three layouts of RFC 7231 section 7.1.1.1 for the same instant.
    const auto preferred = BKDateEncoding::dateFromRFC1123(std::string("Sun, 06 Nov 1994 08:49:37 GMT"));
    const auto rfc850 = BKDateEncoding::dateFromRFC1123(std::string("Sunday, 06-Nov-94 08:49:37 GMT"));
    const auto asctime = BKDateEncoding::dateFromRFC1123(std::string("Sun Nov  6 08:49:37 1994"));
    ASSERT_TRUE(preferred && rfc850 && asctime);
    EXPECT_EQ(*preferred, *rfc850);
    EXPECT_EQ(*preferred, *asctime);
    EXPECT_EQ(BKDateEncoding::rfc1123String(*preferred), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_FALSE(BKDateEncoding::dateFromRFC1123(std::string("yesterday")));
    EXPECT_FALSE(BKDateEncoding::dateFromRFC1123(std::nullopt));
}

TEST_F(BKEncodingTest, UrlEncodingLeavesOnlyTheUnreservedCharactersOfRFC3986) {
    const std::vector<std::pair<std::string, std::string>> table = {
        {"AZaz09-._~", "AZaz09-._~"},                          // unreserved
        {":/?#[]@", "%3A%2F%3F%23%5B%5D%40"},                  // gen-delims
        {"!$&'()*+,;=", "%21%24%26%27%28%29%2A%2B%2C%3B%3D"},  // sub-delims
        {" \"%<>\\^`{|}", "%20%22%25%3C%3E%5C%5E%60%7B%7C%7D"},
        {"caf\xC3\xA9", "caf%C3%A9"},
    };
    for (const auto& [plain, encoded] : table) {
        SCOPED_TRACE(plain);
        EXPECT_EQ(BKStringEncoding::urlEncodedString(plain), encoded);
    }
    // A plus is a blank in a form, but an escaped plus stays a plus.
    EXPECT_EQ(BKStringEncoding::urlDecodedString("a+b%2Bc%20d"), "a b+c d");
    EXPECT_EQ(BKStringEncoding::urlDecodedString("%zz"), "");
}

TEST_F(BKEncodingTest, UrlEncodedFieldsEscapeKeysAndEveryValue) {
    EXPECT_EQ(BKDictionaryEncoding::urlEncodedKeyValueString({{"a key", Value("x&y")}}), "a%20key=x%26y");
    EXPECT_EQ(BKDictionaryEncoding::urlEncodedKeyValueString({}), "");
    // Values that are not strings cannot smuggle "&", "=" or blanks in.
    const std::string text =
        BKDictionaryEncoding::urlEncodedKeyValueString({{"n", Value(42)}, {"list", Value::makeArray({"a=b", "c&d"})}});
    EXPECT_EQ(text.find(' '), std::string::npos);
    EXPECT_EQ(text.substr(text.find("&n=")), "&n=42");
    EXPECT_EQ(std::count(text.begin(), text.end(), '&'), 1);
    EXPECT_EQ(std::count(text.begin(), text.end(), '='), 2);
}

TEST_F(BKEncodingTest, DigestJsonAndPlistBodies) {
    EXPECT_EQ(BKStringEncoding::md5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(BKStringEncoding::uniqueString().size(), 36u);
    const Value::Dictionary fields = {{"name", Value("a \"b\"\n")}, {"n", Value(3)}, {"ok", Value(true)}};
    const std::string json = BKDictionaryEncoding::jsonEncodedKeyValueString(fields);
    EXPECT_EQ(json, "{\"n\":3,\"name\":\"a \\\"b\\\"\\n\",\"ok\":true}");
    EXPECT_EQ(BKJSONSerialization::JSONObjectWithData(json), Value(fields));
    EXPECT_FALSE(BKJSONSerialization::JSONObjectWithData("{\"a\":}"));
    EXPECT_NE(BKDictionaryEncoding::plistEncodedKeyValueString(fields).find("<key>name</key>"), std::string::npos);
}

}  // namespace
}  // namespace clipora::test
