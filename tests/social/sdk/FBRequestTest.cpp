#include "social/sdk/FBRequest.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "social/sdk/FBRedaction.h"
#include "social/sdk/Facebook.h"
#include "tests/social/sdk/SdkTest.h"
#include "tests/support/LoopbackServer.h"

namespace clipora {
namespace {

using platform::Data;
using platform::Text;
using platform::Value;

std::string text(const Data& data) { return std::string(data.begin(), data.end()); }

class FBRequestTest : public test::SdkTest {};

TEST_F(FBRequestTest, SerializesTextParametersIntoTheQuery) {
    struct Case {
        std::string base;
        Value::Dictionary params;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a?x=1", {{"q", Value("a b&c")}}, "a?x=1&q=a%20b%26c"},
        {"a", {{"q", Value("a b&c")}}, "a?q=a%20b%26c"},
        {"a", {}, "a?"},
        {"https://h/p",
         {{"s", Value("!*'();:@&=+$,/?%#[]")}},
         "https://h/p?s=%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D"},
        {"https://h/p", {{"n", Value(42)}, {"t", Value("é")}}, "https://h/p?n=42&t=%C3%A9"},
    };
    for (const auto& c : cases) EXPECT_EQ(FBRequest::serializeURLParams(c.base, c.params), c.expected) << c.base;
}

TEST_F(FBRequestTest, LeavesFilesOutOfTheURLAndSaysSoForGET) {
    Value::Dictionary params{{"a", Value("1")}, {"blob", Value(Data{1, 2, 3})}};
    platform::Log::Capture log;
    EXPECT_EQ(FBRequest::serializeURLParamsHttpMethod("u", params, "POST"), "u?a=1");
    EXPECT_FALSE(log.contains("can not use GET to upload a file"));
    EXPECT_EQ(FBRequest::serializeURLParamsHttpMethod("u", params, "GET"), "u?a=1");
    EXPECT_TRUE(log.contains("can not use GET to upload a file"));
}

TEST_F(FBRequestTest, PostBodyIsAClosedMultipartForm) {
    auto request = FBRequest::getRequestWithParamsHttpMethodDelegateRequestURL({{"a", Value("1")}}, "POST", {}, "u");
    std::string boundary(FBRequest::kDefaultBoundary);
    EXPECT_EQ(text(request->generatePostBody()),
              "--" + boundary + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--" + boundary + "--\r\n");
    EXPECT_EQ(request->boundary(), boundary);

    auto empty = FBRequest::getRequestWithParamsHttpMethodDelegateRequestURL({}, "POST", {}, "u");
    EXPECT_EQ(text(empty->generatePostBody()), "--" + boundary + "--\r\n");
}

TEST_F(FBRequestTest, AValueHoldingTheBoundaryCannotForgeFields) {
    std::string forged = "hi\r\n--" + std::string(FBRequest::kDefaultBoundary) +
                         "\r\nContent-Disposition: form-data; name=\"admin\"\r\n\r\n1";
    auto request = FBRequest::getRequestWithParamsHttpMethodDelegateRequestURL(
        {{"message", Value(forged)}, {"to", Value("2")}}, "POST", {}, "u");
    std::string body = text(request->generatePostBody());
    ASSERT_NE(request->boundary(), FBRequest::kDefaultBoundary);
    EXPECT_FALSE(Text::contains(forged, request->boundary()));
    // Two parts and the closing delimiter, whatever the values hold.
    auto pieces = Text::split(body, "--" + request->boundary());
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[3], "--\r\n");
    EXPECT_TRUE(Text::contains(pieces[1], forged));
}

TEST_F(FBRequestTest, FilePartsAreNamedAndLabelledForWhatTheyHold) {
    auto bitmap = std::make_shared<platform::Bitmap>(2, 2, platform::Bitmap::ColorSpace::RGB,
                                                     platform::Bitmap::AlphaInfo::PremultipliedLast);
    auto image = platform::Image::imageWithBitmap(bitmap);
    ASSERT_TRUE(image);
    auto request = FBRequest::getRequestWithParamsHttpMethodDelegateRequestURL(
        {{"picture", Value(std::static_pointer_cast<platform::Object>(image))},
         {"blob", Value(Data{'x', 'y'})},
         {"caption", Value("c")}},
        "POST", {}, "u");
    std::string body = text(request->generatePostBody());
    // Text first, then the files.
    auto caption = body.find("name=\"caption\"");
    auto blob = body.find(
        "Content-Disposition: form-data; name=\"blob\"; filename=\"blob\"\r\n"
        "Content-Type: content/unknown\r\n\r\nxy\r\n");
    auto picture = body.find(
        "Content-Disposition: form-data; name=\"picture\"; filename=\"picture\"\r\n"
        "Content-Type: image/jpeg\r\n\r\n\xFF\xD8");
    ASSERT_NE(caption, std::string::npos);
    ASSERT_NE(blob, std::string::npos);
    ASSERT_NE(picture, std::string::npos);
    EXPECT_LT(caption, blob);
    EXPECT_TRUE(Text::hasSuffix(body, "\r\n--" + request->boundary() + "--\r\n"));
}

TEST_F(FBRequestTest, RedactsSecretsFromTexts) {
    struct Case {
        std::string in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"https://h/p?access_token=abc|def&x=1", "https://h/p?access_token=[redacted]&x=1"},
        {"https://h/p#expires_in=0&access_token=t0k", "https://h/p#expires_in=0&access_token=[redacted]"},
        {"sig=aa&session_key=bb", "sig=[redacted]&session_key=[redacted]"},
        {"q=access_token%3Dsecret%26x", "q=access_token%3D[redacted]%26x"},
        {"my_access_token=keep&design=x", "my_access_token=keep&design=x"},
        {"\"https://h/?access_token=t\" failed", "\"https://h/?access_token=[redacted]\" failed"},
        {"nothing here", "nothing here"},
    };
    for (const auto& c : cases) EXPECT_EQ(FBRedaction::redactText(c.in), c.out) << c.in;
}

// An upload route that records what it is asked and finishes when told.
struct FakeRoute : FBUploadRoute {
    std::string url;
    std::string userAgent;
    std::vector<std::string> files;
    Value::Dictionary fields;
    double timeout = 0;
    std::weak_ptr<FBRequest> request;
    bool cancelled = false;
    platform::Data reply;
    int status = 200;

    void setUserAgent(const std::string& agent) override { userAgent = agent; }
    void setFileWithFileNameAndContentTypeForKey(const std::string& path, const std::string&, const std::string& type,
                                                 const std::string& key) override {
        files.push_back(key + " " + path + " " + type);
    }
    void setPostValueForKey(const std::string& value, const std::string& key) override { fields[key] = Value(value); }
    void setTimeOutSeconds(double seconds) override { timeout = seconds; }
    void startAsynchronous(std::weak_ptr<FBRequest> r) override { request = std::move(r); }
    void clearDelegatesAndCancel() override { cancelled = true; }
    platform::Data responseData() const override { return reply; }
    int responseStatusCode() const override { return status; }
    std::optional<platform::Error> error() const override { return std::nullopt; }
    std::int64_t postLength() const override { return 1000; }
};

TEST_F(FBRequestTest, VideoGoesThroughTheUploadRouteToTheVideoHostAndCompletes) {
    auto route = std::make_shared<FakeRoute>();
    FBRequest::setUploadRouteFactory([route](const platform::URL& url) {
        route->url = url.absoluteString();
        return route;
    });
    auto session = Facebook::initWithAppIdAndDelegate("123", {});
    session->setAccessToken("tok");
    session->setExpirationDate(platform::Date::distantFuture());
    auto delegate = std::make_shared<test::RequestRecorder>();
    auto request = session->requestWithGraphPathAndParamsAndHttpMethodAndDelegate(
        "me/videos", {{"video", Value("/tmp/clip.mp4")}, {"ShouldUseGraph", Value(true)}, {"title", Value("T")}},
        "POST", delegate);
    // The route takes the file and the text fields; the URL carries none.
    EXPECT_EQ(route->url, FBHosts::current().videoGraphBaseURL() + "me/videos");
    EXPECT_EQ(route->userAgent, "FacebookConnect");
    EXPECT_EQ(route->files, std::vector<std::string>{"file /tmp/clip.mp4 video/mp4"});
    EXPECT_EQ(route->fields.count("ShouldUseGraph"), 0u);
    EXPECT_EQ(route->fields.count("video"), 0u);
    EXPECT_EQ(route->fields["title"], Value("T"));
    EXPECT_EQ(route->fields["access_token"], Value("tok"));
    EXPECT_EQ(route->timeout, FBRequest::kUploadTimeoutInterval);
    EXPECT_EQ(request->state(), FBRequest::StateLoading);

    request->requestDidSendBytes(250);
    route->reply = platform::Text::toData("{\"id\":\"9\"}");
    request->finishUpload();
    ASSERT_TRUE(delegate->result);
    EXPECT_EQ(*delegate->result->find("id"), Value("9"));
    // Finished uploads leave the session like any other request.
    EXPECT_EQ(request->state(), FBRequest::StateComplete);
    EXPECT_EQ(session->requests().count(request), 0u);
}

TEST_F(FBRequestTest, UploadWithoutARouteFailsAndIsLetGo) {
    auto session = Facebook::initWithAppIdAndDelegate("123", {});
    auto delegate = std::make_shared<test::RequestRecorder>();
    auto request = session->requestWithGraphPathAndParamsAndHttpMethodAndDelegate(
        "me/photos", {{"photo", Value("/tmp/p.jpg")}}, "POST", delegate);
    EXPECT_FALSE(delegate->done());  // never before the caller holds the request
    ASSERT_TRUE(pumpUntil([&] { return delegate->done(); }));
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->domain(), FBRequest::kErrorDomain);
    EXPECT_EQ(delegate->error->code(), FBRequest::kErrorCodeUploadUnavailable);
    EXPECT_TRUE(session->requests().empty());
}

TEST_F(FBRequestTest, CancelCompletesTheRequestSilently) {
    auto route = std::make_shared<FakeRoute>();
    FBRequest::setUploadRouteFactory([route](const platform::URL&) { return route; });
    auto session = Facebook::initWithAppIdAndDelegate("123", {});
    auto delegate = std::make_shared<test::RequestRecorder>();
    auto request = session->requestWithGraphPathAndParamsAndHttpMethodAndDelegate(
        "me/videos", {{"video", Value("/tmp/v.mov")}}, "POST", delegate);
    ASSERT_EQ(session->requests().size(), 1u);
    request->cancel();
    EXPECT_TRUE(route->cancelled);
    EXPECT_EQ(request->state(), FBRequest::StateComplete);
    EXPECT_TRUE(session->requests().empty());
    EXPECT_EQ(delegate->events, std::vector<std::string>{"loading"});
}

TEST_F(FBRequestTest, TransportErrorsReachTheDelegateWithoutTheToken) {
    // A port nobody listens on.
    std::uint16_t port;
    {
        test::LoopbackServer server;
        server.start();
        port = server.port();
    }
    FBHosts hosts;
    hosts.graph = "127.0.0.1:" + std::to_string(port);
    FBHosts::setCurrent(hosts);
    auto session = Facebook::initWithAppIdAndDelegate("123", {});
    session->setAccessToken("SECRET-TOKEN");
    session->setExpirationDate(platform::Date::distantFuture());
    auto delegate = std::make_shared<test::RequestRecorder>();
    auto request = session->requestWithGraphPathAndDelegate("me", delegate);
    ASSERT_TRUE(pumpUntil([&] { return delegate->done(); }, 10));
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->domain(), platform::Error::kURLErrorDomain);
    std::string everything = delegate->error->description();
    for (const auto* e = &*delegate->error; e; e = e->underlyingError()) everything += e->description();
    EXPECT_TRUE(Text::contains(everything, "access_token=[redacted]")) << everything;
    EXPECT_FALSE(Text::contains(everything, "SECRET-TOKEN")) << everything;
    EXPECT_EQ(session->requests().count(request), 0u);
}

}  // namespace
}  // namespace clipora
