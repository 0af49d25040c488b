#include "share/Sharers/photo/PSFlickrAPIRequest.h"

#include <gtest/gtest.h>

#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/XMLParser.h"
#include "share/Sharers/photo/PSXMLMapper.h"
#include "tests/share/Sharers/photo/PhotoServiceStandIn.h"
#include "tests/support/Nesting.h"
#include "tests/support/TestHome.h"

namespace clipora {
namespace {

using platform::Text;
using platform::Value;

std::string md5(const std::string& text) { return platform::Digest::hex(platform::Digest::md5(text)); }

TEST(PSFlickrAPIContextTest, SignsTheSortedUnescapedArguments) {
    PSFlickrAPIContext context("K", "S");
    auto components = context.signedArgumentComponentsFromArgumentsUseURIEscape({{"b", "2"}, {"a", "1"}}, true);
    ASSERT_EQ(components.size(), 4u);
    EXPECT_EQ(components[0].first, "a");
    EXPECT_EQ(components[1].first, "api_key");
    EXPECT_EQ(components[2].first, "b");
    EXPECT_EQ(components[3], (std::pair<std::string, std::string>{"api_sig", md5("Sa1api_keyKb2")}));

    // Escaped in the query with the full set, never in the signature text.
    context.setAuthToken("T");
    const std::string value = "x&y +z=\xC3\xA9";
    EXPECT_EQ(context.signedQueryFromArguments({{"v", value}}),
              "api_key=K&auth_token=T&v=x%26y%20%2Bz%3D%C3%A9&api_sig=" + md5("Sapi_keyKauth_tokenTv" + value));
    auto plain = context.signedArgumentComponentsFromArgumentsUseURIEscape({{"v", value}}, false);
    EXPECT_EQ(plain[2].second, value);
    EXPECT_EQ(plain[3].second, md5("Sapi_keyKauth_tokenTv" + value));
}

TEST(PSFlickrAPIContextTest, BuildsPhotoAndLoginAddressesOnTheConfiguredScheme) {
    PSFlickrAPIContext context("K", "S");
    auto photo = Value::makeDictionary({{"farm", Value("3")},
                                        {"server", Value("77")},
                                        {"id", Value("9")},
                                        {"secret", Value("ab")},
                                        {"owner", Value("1@N0")}});
    EXPECT_EQ(context.photoSourceURLFromDictionarySize(photo, std::string("m"))->absoluteString(),
              "https://farm3.static.flickr.com/77/9_ab_m.jpg");
    context.setPhotoSource("ftp://elsewhere/");  // not a web address: ignored
    context.setPhotoSource("http://img.example/");
    photo.remove("farm");
    EXPECT_EQ(context.photoSourceURLFromDictionarySize(photo, std::nullopt)->absoluteString(),
              "http://img.example/77/9_ab.jpg");
    context.setPhotoWebPageSource("https://web.example/photos/");
    EXPECT_EQ(context.photoWebPageURLFromDictionary(photo)->absoluteString(), "https://web.example/photos/1@N0/9");

    context.setAuthEndpoint("https://auth.example/services/auth/");
    auto frob = Value::makeDictionary({{"frob", Value::makeDictionary({{"_text", Value("F")}})}});
    EXPECT_EQ(
        context.loginURLFromFrobDictionaryRequestedPermission(frob, "write")->absoluteString(),
        "https://auth.example/services/auth/?api_key=K&frob=F&perms=write&api_sig=" + md5("Sapi_keyKfrobFpermswrite"));
    EXPECT_EQ(context.loginURLFromFrobDictionaryRequestedPermission(Value(), "write")->absoluteString(),
              "https://auth.example/services/auth/?api_key=K&perms=write&api_sig=" + md5("Sapi_keyKpermswrite"));
}

TEST(PSXMLMapperTest, MapsElementsAttributesTextAndLists) {
    auto map = [](const std::string& xml) { return PSXMLMapper::dictionaryMappedFromXMLData(Text::toData(xml)); };
    auto photos =
        map("<rsp stat=\"ok\"><photos page=\"1\"><photo id=\"1\"/></photos><tags><tag>a</tag><tag>b</tag></tags>"
            "<title>x &amp; <![CDATA[y]]></title></rsp>");
    ASSERT_TRUE(photos);
    const Value& rsp = *photos->find("rsp");
    EXPECT_EQ(*rsp.find("stat"), Value("ok"));
    // "photo" under "photos" is a list even when alone; repeated names too.
    ASSERT_TRUE(rsp.find("photos")->find("photo")->isArray());
    EXPECT_EQ(*rsp.find("photos")->find("photo")->at(0)->find("id"), Value("1"));
    const Value* tags = rsp.find("tags")->find("tag");
    ASSERT_TRUE(tags->isArray());
    EXPECT_EQ(tags->count(), 2u);
    EXPECT_EQ(PSXMLMapper::textContent(*tags->at(1)), "b");
    EXPECT_EQ(PSXMLMapper::textContent(*rsp.find("title")), "x & y");
    EXPECT_FALSE(rsp.find("tags")->find("_text"));

    // Failures end in no result and never escape: malformed XML, an element
    // that clashes with an attribute, external entities and entity bombs.
    const std::string bomb =
        "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
        "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
        "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">]>"
        "<r>&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;</r>";
    for (const std::string& bad :
         {std::string("<rsp><a></rsp>"), std::string("<rsp a=\"1\"><a/></rsp>"), std::string("not xml"), bomb}) {
        EXPECT_FALSE(map(bad)) << bad;
    }
    platform::FileManager::writeData(platform::FileManager::temporaryDirectory() + "/secret.txt",
                                     Text::toData("SECRET"));
    auto external = map("<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + platform::FileManager::temporaryDirectory() +
                        "/secret.txt\">]><r>&x;</r>");
    if (external) {
        EXPECT_EQ(PSXMLMapper::textContent(*external->find("r")), "");
    }
}

TEST(PSXMLMapperTest, NestingPastTheParserLimitMapsToNothing) {
    for (const auto& [levels, accepted] : test::depthCases(platform::XMLParser::kMaxElementDepth)) {
        const auto mapped =
            PSXMLMapper::dictionaryMappedFromXMLData(Text::toData(test::nested("<a n=\"1\">", "x", "</a>", levels)));
        ASSERT_EQ(mapped.has_value(), accepted) << levels;
        if (!accepted) continue;
        std::size_t depth = 0;
        const Value* element = &*mapped;
        while (const Value* child = element->find("a")) {
            EXPECT_EQ(*child->find("n"), Value("1"));
            element = child;
            ++depth;
        }
        EXPECT_EQ(depth, levels);
        EXPECT_EQ(PSXMLMapper::textContent(*element), "x");
    }
}

class PSFlickrAPIRequestTest : public test::PlatformTest, public PSFlickrAPIRequestDelegate {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ca_.emplace(home());
        ca_->trust();
        service_.emplace(*ca_);
        context_->setRESTAPIEndpoint(service_->url("/services/rest/"));
        context_->setUploadEndpoint(service_->uploadURL());
        request_ = PSFlickrAPIRequest::initWithAPIContext(context_);
        request_->setDelegate(std::shared_ptr<PSFlickrAPIRequestDelegate>(owner_, this));
    }
    void TearDown() override {
        request_.reset();
        service_.reset();
        ca_.reset();
        PlatformTest::TearDown();
    }
    void flickrAPIRequestDidCompleteWithResponse(PSFlickrAPIRequest&, const Value& response) override {
        response_ = response;
        ended_ = true;
    }
    void flickrAPIRequestDidFailWithError(PSFlickrAPIRequest&, const platform::Error& error) override {
        error_ = error;
        ended_ = true;
    }
    void flickrAPIRequestImageUploadSentBytesTotalBytes(PSFlickrAPIRequest&, std::uint32_t,
                                                        std::uint32_t total) override {
        uploadTotal_ = total;
    }
    void wait() {
        ASSERT_TRUE(pumpUntil([this] { return ended_; }));
        ended_ = false;
    }

    std::shared_ptr<int> owner_ = std::make_shared<int>(0);
    std::optional<test::TestCA> ca_;
    std::optional<test::PhotoServiceStandIn> service_;
    std::shared_ptr<PSFlickrAPIContext> context_ =
        std::make_shared<PSFlickrAPIContext>(test::PhotoServiceStandIn::kKey, test::PhotoServiceStandIn::kSecret);
    std::shared_ptr<PSFlickrAPIRequest> request_;
    bool ended_ = false;
    std::optional<Value> response_;
    std::optional<platform::Error> error_;
    std::uint32_t uploadTotal_ = 0;
};

TEST_F(PSFlickrAPIRequestTest, SignedCallsByGetAndPost) {
    const PSFlickrAPIContext::Arguments arguments{{"text", "a+b & c"}};
    ASSERT_TRUE(request_->callAPIMethodWithGETArguments("flickr.test.echo", arguments));
    EXPECT_FALSE(request_->callAPIMethodWithPOSTArguments("flickr.test.echo", arguments));
    wait();
    auto call = service_->lastCall();
    EXPECT_TRUE(call.signatureValid);
    EXPECT_EQ(call.params["text"], "a+b & c");
    ASSERT_TRUE(response_);
    EXPECT_EQ(PSXMLMapper::textContent(*response_->find("echo")), "flickr.test.echo");

    ASSERT_TRUE(request_->callAPIMethodWithPOSTArguments("flickr.test.post", arguments));
    wait();
    call = service_->lastCall();
    EXPECT_EQ(call.method, "flickr.test.post");
    EXPECT_TRUE(call.signatureValid);
    EXPECT_EQ(call.params["text"], "a+b & c");
}

TEST_F(PSFlickrAPIRequestTest, RefusalsAndFaultyRepliesAreErrors) {
    struct Case {
        std::string reply;
        std::string domain;
        std::int64_t code;
        std::string reason;
    };
    for (const auto& c : {Case{"<rsp stat=\"fail\"><err code=\"112\" msg=\"Method not found\"/></rsp>", "com.flickr",
                               112, "Method not found"},
                          Case{"<rsp stat=\"fail\"></rsp>", "org.pravik.PhotoClient", 0x7fff0003, ""},
                          Case{"<rsp stat=\"ok\"><a></rsp>", "org.pravik.PhotoClient", 0x7fff0003, ""},
                          Case{"<rsp stat=\"ok\" a=\"1\"><a/></rsp>", "org.pravik.PhotoClient", 0x7fff0003, ""},
                          // Far deeper than any reply, far smaller than the reply cap.
                          Case{"<rsp stat=\"ok\">" + test::nested("<a>", "", "</a>", 25000) + "</rsp>",
                               "org.pravik.PhotoClient", 0x7fff0003, ""}}) {
        service_->setNextReply(c.reply);
        error_.reset();
        ASSERT_TRUE(request_->callAPIMethodWithGETArguments("flickr.test.echo", std::nullopt));
        wait();
        ASSERT_TRUE(error_) << c.reply.substr(0, 80);
        EXPECT_EQ(error_->domain(), c.domain) << c.reply;
        EXPECT_EQ(error_->code(), c.code) << c.reply;
        auto reason = error_->userInfo().find(platform::Error::kLocalizedFailureReasonKey);
        EXPECT_EQ(reason == error_->userInfo().end() ? "" : *reason->second.string(), c.reason) << c.reply;
    }
    // A connection that cannot be made.
    context_->setRESTAPIEndpoint("https://127.0.0.1:1/services/rest/");
    ASSERT_TRUE(request_->callAPIMethodWithGETArguments("flickr.test.echo", std::nullopt));
    wait();
    EXPECT_EQ(error_->code(), PSFlickrAPIRequest::kConnectionErrorCode);
}

TEST_F(PSFlickrAPIRequestTest, UploadsAMultipartBodyFromATemporaryFile) {
    auto image = platform::InputStream::withData(Text::toData(std::string(70000, 'J')));
    // No token, no upload.
    EXPECT_FALSE(request_->uploadImageStreamSuggestedFilenameMIMETypeArguments(image, std::string("p.jpg"),
                                                                               "image/jpeg", std::nullopt));
    context_->setAuthToken(test::PhotoServiceStandIn::kToken);
    ASSERT_TRUE(request_->uploadImageStreamSuggestedFilenameMIMETypeArguments(
        image, std::string("p.jpg"), "image/jpeg",
        PSFlickrAPIContext::Arguments{{"title", "a&b +c"}, {"is_public", "0"}}));
    auto file = *request_->uploadTempFilename();
    EXPECT_TRUE(Text::contains(file, PSFlickrAPIRequest::kUploadFilePrefix));
    EXPECT_TRUE(platform::FileManager::fileExists(file));
    wait();
    ASSERT_TRUE(response_);
    EXPECT_EQ(PSXMLMapper::textContent(*response_->find("photoid")), "4321");
    auto call = service_->lastCall();
    EXPECT_TRUE(call.signatureValid);
    EXPECT_EQ(call.params["title"], "a&b +c");
    EXPECT_EQ(call.params["is_public"], "0");
    EXPECT_EQ(call.photo, std::string(70000, 'J'));
    EXPECT_EQ(call.photoName, "p.jpg");
    EXPECT_EQ(call.photoType, "image/jpeg");
    EXPECT_GT(uploadTotal_, 70000u);
    // The body file is gone after success.
    EXPECT_FALSE(platform::FileManager::fileExists(file));
    EXPECT_FALSE(request_->uploadTempFilename());

    // Cancel removes it too.
    ASSERT_TRUE(request_->uploadImageStreamSuggestedFilenameMIMETypeArguments(
        platform::InputStream::withData(Text::toData("x")), std::nullopt, "image/jpeg", std::nullopt));
    file = *request_->uploadTempFilename();
    request_->cancel();
    EXPECT_FALSE(request_->isRunning());
    EXPECT_FALSE(platform::FileManager::fileExists(file));
}

}  // namespace
}  // namespace clipora
