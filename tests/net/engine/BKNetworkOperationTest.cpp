#include <gtest/gtest.h>

#include <string>

#include "net/engine/BKNetworkEngine.h"
#include "net/engine/BKNetworkOperation.h"
#include "platform/foundation/Value.h"
#include "tests/support/TestHome.h"

namespace clipora::test {
namespace {

using platform::Data;
using platform::Value;

std::string text(const Data& data) { return std::string(data.begin(), data.end()); }

class BKNetworkOperationTest : public PlatformTest {};

TEST_F(BKNetworkOperationTest, BuildsQueriesAndBodiesFromFields) {
    auto get = BKNetworkOperation::operationWithURLStringParamsHttpMethod("http://h.test/p",
                                                                          Value::Dictionary{{"a", Value(1)}}, "GET");
    EXPECT_EQ(get->url(), "http://h.test/p?a=1");
    auto bare =
        BKNetworkOperation::operationWithURLStringParamsHttpMethod("http://h.test/p", Value::Dictionary{}, "GET");
    EXPECT_EQ(bare->url(), "http://h.test/p");
    EXPECT_EQ(bare->readonlyRequest()->valueForHTTPHeaderField("Accept-Language"), "en, en-us");

    auto post = BKNetworkOperation::operationWithURLStringParamsHttpMethod(
        "http://h.test/p", Value::Dictionary{{"k", Value("v w")}}, "POST");
    EXPECT_EQ(post->readonlyRequest()->valueForHTTPHeaderField("Content-Type"),
              "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(text(post->bodyData()), "k=v%20w");

    // Equality: GETs by identity of method, URL and credentials; never POSTs.
    auto again = BKNetworkOperation::operationWithURLStringParamsHttpMethod("http://h.test/p", std::nullopt, "GET");
    EXPECT_TRUE(bare->isEqual(*again));
    EXPECT_FALSE(post->isEqual(*post));
    again->setFreezable(true);
    EXPECT_FALSE(again->freezable());
    EXPECT_TRUE(again->uniqueId().empty());
    post->setFreezable(true);
    EXPECT_EQ(post->uniqueId().size(), 36u);
    again->addDataForKey(Data{1}, "x");
    EXPECT_EQ(again->HTTPMethod(), "POST");
}

TEST_F(BKNetworkOperationTest, MultipartPartsCannotBreakTheirHeadersOrTheBoundary) {
    auto make = [] {
        auto op = BKNetworkOperation::operationWithURLStringParamsHttpMethod(
            "http://h.test/up", Value::Dictionary{{"na\"me\r\nX-Injected: 1", Value("value")}}, "POST");
        op->addDataForKeyMimeType(Data{'b', 'y', 't', 'e', 's'}, "file\"\n.mp4", "video/mp4");
        return op;
    };
    auto op = make();
    const std::string body = text(op->bodyData());
    const std::string type = op->readonlyRequest()->valueForHTTPHeaderField("Content-Type").value_or("");
    const std::string boundary = type.substr(type.find("boundary=") + 9);
    EXPECT_EQ(type.rfind("multipart/form-data; charset=utf-8; boundary=0xKhTmLbOuNdArY", 0), 0u);
    EXPECT_NE(boundary, make()->readonlyRequest()->valueForHTTPHeaderField("Content-Type").value_or(""));
    EXPECT_NE(body.find("name=\"na%22me%0D%0AX-Injected: 1\"\r\n\r\nvalue\r\n\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"file%22%0A.mp4\"; filename=\"file%22%0A.mp4\"\r\nContent-Type: video/mp4"),
              std::string::npos);
    EXPECT_EQ(body.find("\r\nX-Injected"), std::string::npos);
    EXPECT_EQ(body.substr(body.size() - boundary.size() - 6), "--" + boundary + "--\r\n");
    EXPECT_EQ(op->readonlyRequest()->valueForHTTPHeaderField("Content-Length"), std::to_string(body.size()));
}

TEST_F(BKNetworkOperationTest, CredentialsStayOnOneLineAndOutOfLogs) {
    const std::string user(40, 'u');
    const std::string password = "pa'ss; rm -rf ~";
    auto op = BKNetworkOperation::operationWithURLStringParamsHttpMethod(
        "http://h.test/p", Value::Dictionary{{"password", Value(password)}, {"q", Value("it's")}}, "POST");
    op->setUsernamePasswordBasicAuth(user, password, true);
    const std::string header = op->readonlyRequest()->valueForHTTPHeaderField("Authorization").value_or("");
    EXPECT_EQ(header.rfind("Basic ", 0), 0u);
    EXPECT_EQ(header.find_first_of("\r\n"), std::string::npos);

    const std::string line = op->curlCommandLineString();
    EXPECT_EQ(line.find(header.substr(6)), std::string::npos);
    EXPECT_EQ(line.find("rm -rf"), std::string::npos);
    EXPECT_NE(line.find("-H 'Authorization: <redacted>'"), std::string::npos);
    EXPECT_NE(line.find("-d 'q=it'\\''s'"), std::string::npos);
    EXPECT_EQ(op->description().find("rm -rf"), std::string::npos);
}

}  // namespace
}  // namespace clipora::test
