#include "social/graph/UploadVideo.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "platform/foundation/URL.h"
#include "social/graph/GetVideoUploadLimit.h"
#include "social/graph/RESTAppCredentials.h"
#include "social/sdk/FBRequest.h"
#include "tests/social/graph/PhotoGraphTest.h"
#include "tests/support/LoopbackServer.h"

namespace clipora {
namespace {

using platform::Value;
using standin::StandinHost;

// Test fixtures only: the kind of key and secret the network hands out.
constexpr const char* kApiKey = "4b9e17a0d3c65f28e1a7b40c9d3f6e25";
constexpr const char* kAppSecret = "a06c3e9d52f1b7840e9d2c6a17f3b508";

// Sets (or unsets, for nullptr) an environment variable for the test's life.
class ScopedEnvironment {
public:
    void set(const char* name, const char* value) {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

class UploadVideoTest : public test::PhotoGraphTest {
protected:
    void SetUp() override {
        PhotoGraphTest::SetUp();
        // Nothing of the machine's own configuration takes part.
        env_.set(RESTAppCredentials::kApiKeyVariable, nullptr);
        env_.set(RESTAppCredentials::kAppSecretVariable, nullptr);
        env_.set(RESTAppCredentials::kFileVariable, (home() / "no-credentials").c_str());
    }
    void TearDown() override {
        UploadVideo::setVideoRestEndpoint(std::nullopt);
        PhotoGraphTest::TearDown();
    }
    void configureCredentials() {
        env_.set(RESTAppCredentials::kApiKeyVariable, kApiKey);
        env_.set(RESTAppCredentials::kAppSecretVariable, kAppSecret);
    }
    std::shared_ptr<Video> makeVideo(std::size_t size) {
        auto video = std::make_shared<Video>();
        video->setDescriptionText("Waves");
        video->setPrivacy("everyone");
        video->setVideoPath(platform::URL::fileURLWithPath(writeMP4("clip.mp4", size).string()));
        return video;
    }
    std::shared_ptr<UploadVideo> makeUpload() { return UploadVideo::initWithDelegate(session_, photos_); }

    ScopedEnvironment env_;
};

TEST_F(UploadVideoTest, GraphRouteUploadsToTheVideoHostWithProgress) {
    const std::size_t size = 400 * 1024;
    auto video = makeVideo(size);
    auto upload = makeUpload();
    upload->executeUidInContext(video, "me", 7);
    ASSERT_TRUE(waitForPhotoReports(1));

    const auto& report = photos_->reports[0];
    ASSERT_TRUE(report.success) << (report.error ? report.error->localizedDescription() : "");
    EXPECT_EQ(report.video, video);
    ASSERT_TRUE(video->videoID());
    EXPECT_TRUE(server_->data().findRow("video", "vid", *video->videoID()));

    EXPECT_GT(upload->totalBytesExpectedToWrite(), static_cast<std::int64_t>(size));
    EXPECT_EQ(upload->bytesWritten(), upload->totalBytesExpectedToWrite());
    EXPECT_EQ(upload->totalBytesWritten(), upload->totalBytesExpectedToWrite());

    auto sent = server_->requestsTo("/me/videos", StandinHost::VideoGraph);
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].files.size(), 1u);
    EXPECT_EQ(sent[0].files[0].name, "file");
    EXPECT_EQ(sent[0].files[0].data.size(), size);
    EXPECT_EQ(sent[0].form.at("title"), "");
    EXPECT_EQ(sent[0].form.at("description"), "Waves");
    EXPECT_EQ(sent[0].form.at("privacy"), R"({"value":"EVERYONE"})");
    EXPECT_FALSE(sent[0].hasParam("ShouldUseGraph"));
    EXPECT_FALSE(sent[0].hasParam("video"));
    EXPECT_TRUE(server_->requestsTo("/me/videos", StandinHost::Graph).empty());
    EXPECT_FALSE(session_->requests().count(upload->fbRequest()));
}

TEST_F(UploadVideoTest, AVideoWithoutAFileFailsAtOnce) {
    auto upload = makeUpload();
    for (auto video : {std::make_shared<Video>(), makeVideo(10)}) {
        if (video->videoPath()) video->setVideoPath(platform::URL::fromString("https://elsewhere.test/clip.mp4"));
        photos_->reports.clear();
        upload->executeUidInContext(video, "me", 0);
        ASSERT_EQ(photos_->reports.size(), 1u);
        EXPECT_FALSE(photos_->reports[0].success);
        EXPECT_EQ(photos_->reports[0].video, video);
        EXPECT_EQ(photos_->reports[0].error, UploadVideo::noVideoFileError());
    }
    pumpPending();
    EXPECT_TRUE(server_->requestsTo("/me/videos", StandinHost::VideoGraph).empty());
}

TEST_F(UploadVideoTest, UploadLimitsAreReadAsReplied) {
    auto limit = GetVideoUploadLimit::initWithDelegate(session_, photos_);
    limit->execute();
    ASSERT_TRUE(waitForPhotoReports(1));
    ASSERT_TRUE(photos_->reports[0].success);
    ASSERT_TRUE(photos_->reports[0].result);
    EXPECT_EQ(photos_->reports[0].result->find("length")->integerValue(), 1200);
    EXPECT_EQ(server_->requestsTo("/method/video.getUploadLimits").at(0).method, "GET");
}

TEST_F(UploadVideoTest, CredentialsComeFromConfigurationOnly) {
    // None configured: the signed route refuses before anything is sent.
    auto upload = makeUpload();
    EXPECT_FALSE(upload->apiKey());
    EXPECT_FALSE(upload->appSecret());
    upload->startUploadWithVideoParamsDelegate(nullptr, {}, {});
    ASSERT_EQ(photos_->reports.size(), 1u);
    EXPECT_EQ(photos_->reports[0].error, UploadVideo::noCredentialsError());

    // A credentials file.
    const auto file = home() / "rest-credentials";
    std::ofstream(file) << "# application\napi_key = " << kApiKey << "\napp_secret=" << kAppSecret << "\n";
    env_.set(RESTAppCredentials::kFileVariable, file.c_str());
    upload = makeUpload();
    EXPECT_EQ(upload->apiKey().value_or(""), kApiKey);
    EXPECT_EQ(upload->appSecret().value_or(""), kAppSecret);

    // The environment comes first; malformed values count as none, and are
    // not logged.
    platform::Log::Capture log;
    env_.set(RESTAppCredentials::kApiKeyVariable, "00000000000000000000000000000000");
    env_.set(RESTAppCredentials::kAppSecretVariable, "NOT-A-SECRET-0123456789abcdef012");
    EXPECT_FALSE(RESTAppCredentials::load());
    configureCredentials();
    EXPECT_EQ(RESTAppCredentials::load()->apiKey, kApiKey);
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.find("NOT-A-SECRET"), std::string::npos) << line;
        EXPECT_EQ(line.find(kAppSecret), std::string::npos) << line;
    }
}

TEST_F(UploadVideoTest, SignatureCoversTheSortedTextParametersAndTheSecret) {
    auto upload = makeUpload();
    upload->setAppSecret(kAppSecret);
    Value::Dictionary params{{"b", Value("2")}, {"A", Value("1")}, {"n", Value(5)}};
    EXPECT_EQ(upload->signatureForParams(params), UploadVideo::md5HexDigest(std::string("A=1b=2") + kAppSecret));
    EXPECT_EQ(UploadVideo::md5HexDigest("abc"), "900150983cd24fb0d6963f7d28e17f72");

    upload->setAccessToken("standin|2.session-7|x");
    EXPECT_EQ(upload->sessionID().value_or(""), "2.session-7");
    upload->setAccessToken("plain-token");
    EXPECT_FALSE(upload->sessionID());
    EXPECT_EQ(UploadVideo::videoRestEndpoint().rfind("https://", 0), 0u);
}

TEST_F(UploadVideoTest, SignedRouteWithoutASessionIdIsReported) {
    configureCredentials();
    session_->setAccessToken("token-without-bars");
    auto upload = makeUpload();
    upload->startUploadWithVideoParamsDelegate(nullptr, {}, {});
    ASSERT_EQ(photos_->reports.size(), 1u);
    EXPECT_FALSE(photos_->reports[0].success);
    EXPECT_EQ(photos_->reports[0].error->code(), FBBaseClass::kJunkDataErrorCode);
}

TEST_F(UploadVideoTest, SignedRouteSignsItsPostAndReadsXmlReplies) {
    configureCredentials();
    test::LoopbackServer peer;
    std::mutex lock;
    std::map<std::string, std::string> fields;
    std::size_t fileSize = 0;
    std::string reply = "<video_upload_response><id>777</id><title>x</title></video_upload_response>";
    peer.server().Post("/restserver.php", [&](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard guard(lock);
        fields.clear();
        for (const auto& [name, part] : request.files) {
            if (part.filename.empty())
                fields[name] = part.content;
            else
                fileSize = part.content.size();
        }
        response.set_content(reply, "text/xml");
    });
    peer.start();
    UploadVideo::setVideoRestEndpoint(peer.url("/restserver.php"));

    auto video = makeVideo(50 * 1024);
    auto upload = makeUpload();
    upload->startUploadWithVideoParamsDelegate(
        video, {{"title", Value("Beach")}, {"video", Value(video->videoPath()->path())}}, {});
    ASSERT_TRUE(waitForPhotoReports(1));
    ASSERT_TRUE(photos_->reports[0].success) << photos_->reports[0].error->localizedDescription();
    EXPECT_EQ(upload->video()->videoID().value_or(""), "777");
    {
        std::lock_guard guard(lock);
        EXPECT_EQ(fileSize, 50u * 1024);
        EXPECT_EQ(fields["v"], "1.0");
        EXPECT_EQ(fields["method"], "facebook.video.upload");
        EXPECT_EQ(fields["session_key"], *upload->sessionID());
        EXPECT_EQ(fields["api_key"], kApiKey);
        Value::Dictionary signedParams;
        for (const auto& [name, value] : fields)
            if (name != "sig") signedParams[name] = Value(value);
        signedParams["video"] = Value(video->videoPath()->path());
        EXPECT_EQ(fields["sig"], upload->signatureForParams(signedParams));
    }

    // An error reply in XML fails the run with the network's code.
    {
        std::lock_guard guard(lock);
        reply =
            "<error_response><error_code>190</error_code><error_msg>Session key invalid</error_msg>"
            "<request_args list=\"true\"><arg><key>v</key><value>1.0</value></arg></request_args></error_response>";
    }
    upload->startUploadWithVideoParamsDelegate(video, {{"video", Value(video->videoPath()->path())}}, {});
    ASSERT_TRUE(waitForPhotoReports(2));
    ASSERT_FALSE(photos_->reports[1].success);
    const platform::Error& error = *photos_->reports[1].error;
    EXPECT_EQ(error.domain(), "rest.social.test");
    EXPECT_EQ(error.code(), 190);
    EXPECT_EQ(error.localizedDescription(), "Session key invalid");
}

TEST_F(UploadVideoTest, XmlRepliesAreReadSafely) {
    struct Case {
        std::string xml;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"<video_upload_response><id>5</id></video_upload_response>", true},
        {"<error_response><error_code>x</error_code></error_response>", false},
        {"<unclosed>", false},
        {"<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><r><id>&e;</id></r>", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        std::optional<platform::Error> error;
        auto result = UploadVideo::parseXMLResponseError(platform::Text::toData(c.xml), &error);
        EXPECT_EQ(result.has_value(), c.ok);
        EXPECT_EQ(error.has_value(), !c.ok);
        // An external entity is never read.
        if (result && result->find("id") && result->find("id")->string()) {
            EXPECT_EQ(result->find("id")->string()->find("root:"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace clipora
