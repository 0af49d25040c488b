#include <gtest/gtest.h>

#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/cfnetwork/HTTPMessage.h"
#include "tests/platform/cfnetwork/ReadStreamHarness.h"

namespace clipora::test {
namespace {

using platform::HTTPHeaders;
using platform::HTTPMessage;

TEST(HTTPMessageTest, HeadersMatchCaseInsensitivelyKeepOrderAndSpelling) {
    HTTPHeaders headers;
    EXPECT_TRUE(headers.set("Content-Type", "text/plain"));
    EXPECT_TRUE(headers.set("X-Second", "2"));
    EXPECT_TRUE(headers.set("content-TYPE", "application/json"));  // replaces in place
    EXPECT_TRUE(headers.add("x-second", "3"));
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers.fields()[0].name, "Content-Type");
    EXPECT_EQ(headers.value("CONTENT-type"), "application/json");
    EXPECT_EQ(headers.value("X-SECOND"), "2, 3");
    EXPECT_EQ(headers.values("x-second"), (std::vector<std::string>{"2", "3"}));
    EXPECT_FALSE(headers.value("Absent"));

    for (const char* badName : {"", "Bad Name", "Bad:Name", "Bad\r\nName", "Ümlaut"}) {
        EXPECT_FALSE(headers.set(badName, "v")) << badName;
    }
    for (const std::string& badValue :
         {std::string("a\r\nInjected: yes"), std::string("a\nb"), std::string("a\rb"), std::string("nul\0x", 5)}) {
        EXPECT_FALSE(headers.set("X-Value", badValue)) << badValue;
    }
    EXPECT_TRUE(headers.set("X-Value", "tab\tand obs-text \xc3\xa9"));
}

TEST(HTTPMessageTest, RequestsCarryTheirTargetHostAndVersion) {
    auto request =
        makeRequest("POST", "https://user:pw@Example.TEST:8443/a%2Fb/c?q=1&r=2#frag", HTTPMessage::kVersion10);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->requestMethod(), "POST");
    EXPECT_EQ(request->version(), "HTTP/1.0");
    EXPECT_TRUE(request->isSecure());
    EXPECT_EQ(request->port(), 8443);
    EXPECT_EQ(request->requestTarget(), "/a%2Fb/c?q=1&r=2");
    EXPECT_EQ(request->requestTarget(true), "https://Example.TEST:8443/a%2Fb/c?q=1&r=2");
    EXPECT_EQ(request->hostFieldValue(), "Example.TEST:8443");
    EXPECT_FALSE(request->setHeaderFieldValue("X-Evil", "1\r\nHost: other"));
    EXPECT_FALSE(request->headerFieldValue("X-Evil"));

    auto bare = makeRequest("GET", "http://example.test");
    EXPECT_EQ(bare->requestTarget(), "/");
    EXPECT_EQ(bare->hostFieldValue(), "example.test");
    EXPECT_EQ(bare->port(), 80);
    EXPECT_EQ(makeRequest("GET", "http://example.test/", "HTTP/2"), nullptr);

    auto copy = request->copy();
    copy->setHeaderFieldValue("Range", "bytes=10-");
    EXPECT_FALSE(request->headerFieldValue("Range"));
}

}  // namespace
}  // namespace clipora::test
