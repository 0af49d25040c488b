#include "share/Sharers/photo/PHHTTPRequest.h"

#include <mutex>

#include <gtest/gtest.h>

#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/Text.h"
#include "share/Sharers/photo/PHURLEncodedForm.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/RawServer.h"
#include "tests/support/TestHome.h"

namespace clipora {
namespace {

using platform::Text;

struct Recorder : PHHTTPRequestDelegate {
    std::vector<std::string> events;
    int status = 0;
    std::string finalURL;
    std::string error;
    bool takeBytes = false;
    std::string taken;
    std::uint32_t lastTotal = 0;
    bool ended = false;

    void httpRequestDidReceiveStatusCodeURLResponseHeader(PHHTTPRequest&, int code, const platform::URL& url,
                                                          const std::shared_ptr<platform::HTTPMessage>&) override {
        events.push_back("status");
        status = code;
        finalURL = url.absoluteString();
    }
    void httpRequestSentBytesTotal(PHHTTPRequest&, std::uint32_t, std::uint32_t total) override { lastTotal = total; }
    void httpRequestReceivedBytesExpectedTotal(PHHTTPRequest&, std::uint32_t, std::uint32_t) override {
        if (events.empty() || events.back() != "bytes") events.push_back("bytes");
    }
    bool httpRequestTakesReceivedBytes(const PHHTTPRequest&) const override { return takeBytes; }
    void httpRequestWriteReceivedBytesSizeExpectedTotal(PHHTTPRequest&, const std::uint8_t* bytes, std::size_t size,
                                                        std::uint32_t) override {
        taken.append(reinterpret_cast<const char*>(bytes), size);
    }
    void httpRequestDidComplete(PHHTTPRequest&) override {
        events.push_back("complete");
        ended = true;
    }
    void httpRequestDidCancel(PHHTTPRequest&) override {
        events.push_back("cancel");
        ended = true;
    }
    void httpRequestDidFailWithError(PHHTTPRequest&, const std::string& e) override {
        events.push_back("fail");
        error = e;
        ended = true;
    }
};

class PHHTTPRequestTest : public test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        auto& s = server_.server();
        s.set_keep_alive_max_count(1);
        auto record = [this](const httplib::Request& r, httplib::Response& response) {
            std::lock_guard lock(mutex_);
            method_ = r.method;
            body_ = r.body;
            contentLength_ = r.has_header("Content-Length") ? r.get_header_value("Content-Length") : "none";
            contentType_ = r.get_header_value("Content-Type");
            userAgent_ = r.get_header_value("User-Agent");
            response.set_content("hello", "text/plain");
        };
        s.Get("/body", record);
        s.Post("/body", record);
        s.Get("/empty", [](const httplib::Request&, httplib::Response& r) { r.status = 204; });
        s.Get("/moved", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/body"); });
        s.Get("/big", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(std::string(64 * 1024, 'x'), "text/plain");
        });
        server_.start();
        request_->setDelegate(recorder_);
    }
    std::optional<platform::URL> url(const std::string& path) { return platform::URL::fromString(server_.url(path)); }
    void waitForEnd() {
        ASSERT_TRUE(pumpUntil([this] { return recorder_->ended; }));
    }

    test::LoopbackServer server_;
    std::mutex mutex_;
    std::string method_, body_, contentLength_, contentType_, userAgent_;
    std::shared_ptr<PHHTTPRequest> request_ = std::make_shared<PHHTTPRequest>();
    std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

TEST_F(PHHTTPRequestTest, ReportsTheHeadOnceThenTheBodyThenCompletion) {
    struct Case {
        const char* path;
        int status;
        std::vector<std::string> events;
        const char* body;
    };
    for (const auto& c :
         {Case{"/body", 200, {"status", "bytes", "complete"}, "hello"}, Case{"/empty", 204, {"status", "complete"}, ""},
          Case{"/moved", 200, {"status", "bytes", "complete"}, "hello"}}) {
        recorder_ = std::make_shared<Recorder>();
        request_->setDelegate(recorder_);
        ASSERT_TRUE(request_->performMethodOnURLWithData(PHHTTPRequest::kMethodGET, url(c.path), std::nullopt));
        EXPECT_TRUE(request_->isRunning());
        waitForEnd();
        EXPECT_FALSE(request_->isRunning());
        EXPECT_EQ(recorder_->events, c.events) << c.path;
        EXPECT_EQ(recorder_->status, c.status) << c.path;
        EXPECT_EQ(Text::fromUTF8(request_->getReceivedDataAndDetachFromRequest()).value_or("?"), c.body) << c.path;
        EXPECT_TRUE(request_->receivedData().empty());
    }
    // The redirect was followed to its target.
    EXPECT_EQ(recorder_->finalURL, server_.url("/body"));
}

TEST_F(PHHTTPRequestTest, SendsItsHeaderFieldsAndBodies) {
    request_->setUserAgent(std::string("Agent/1"));
    request_->setContentType(std::string("text/plain"));
    request_->setRequestHeader({{"Content-Type", "application/x-test"}});
    ASSERT_TRUE(request_->performMethodOnURLWithData(
        PHHTTPRequest::kMethodPOST, url("/body"),
        PHURLEncodedForm::dataAsWWWURLEncodedFormFromDictionary({{"b", "x+y&z=1"}, {"a", "\xC3\xA9 !"}})));
    // One transfer at a time.
    EXPECT_FALSE(request_->performMethodOnURLWithData(PHHTTPRequest::kMethodGET, url("/body"), std::nullopt));
    waitForEnd();
    EXPECT_EQ(method_, "POST");
    EXPECT_EQ(userAgent_, "Agent/1");
    EXPECT_EQ(contentType_, "application/x-test");
    EXPECT_EQ(body_, "a=%C3%A9%20%21&b=x%2By%26z%3D1");

    // A streamed body sends its length only when it is known.
    for (auto [size, length, total] : {std::tuple{5u, "5", 5u},
                                       {0u, "none", PHHTTPRequest::kUnknownSize},
                                       {PHHTTPRequest::kUnknownSize, "none", PHHTTPRequest::kUnknownSize}}) {
        recorder_->ended = false;
        request_->setRequestHeader({});
        ASSERT_TRUE(request_->performMethodOnURLWithInputStreamKnownContentSize(
            PHHTTPRequest::kMethodPOST, url("/body"), platform::InputStream::withData(Text::toData("12345")), size));
        waitForEnd();
        EXPECT_EQ(contentLength_, length) << size;
        EXPECT_EQ(body_, "12345") << size;
    }
}

TEST_F(PHHTTPRequestTest, AStalledTransferTimesOut) {
    // Upload phase: the peer reads the request and never answers. Download
    // phase: it sends its head and part of a body, then nothing.
    for (bool sendsHead : {false, true}) {
        test::RawServer stalling([sendsHead](test::RawServer::Connection& c) {
            c.readRequest();
            if (sendsHead) c.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart");
            c.waitForPeerClose(10);
        });
        recorder_ = std::make_shared<Recorder>();
        request_->setDelegate(recorder_);
        ASSERT_TRUE(request_->performMethodOnURLWithData(PHHTTPRequest::kMethodGET,
                                                         platform::URL::fromString(stalling.url("/")), std::nullopt));
        if (sendsHead) {
            ASSERT_TRUE(pumpUntil([this] { return !request_->receivedData().empty(); }));
            EXPECT_EQ(request_->expectedDataLength(), 100u);
        } else {
            ASSERT_TRUE(pumpUntil([&] { return stalling.requests().size() == 1; }));
        }
        advanceClock(PHHTTPRequest::kDefaultTimeoutInterval - 1);
        pumpPending();
        EXPECT_TRUE(request_->isRunning()) << sendsHead;
        advanceClock(2);
        waitForEnd();
        EXPECT_EQ(recorder_->error, PHHTTPRequest::kTimeoutError) << sendsHead;
        EXPECT_FALSE(request_->isRunning());
    }
}

TEST_F(PHHTTPRequestTest, KeptRepliesAreCappedButStreamedOnesAreNot) {
    request_->setMaxReceivedDataLength(1024);
    ASSERT_TRUE(request_->performMethodOnURLWithData(PHHTTPRequest::kMethodGET, url("/big"), std::nullopt));
    waitForEnd();
    EXPECT_EQ(recorder_->error, PHHTTPRequest::kResponseTooLargeError);
    EXPECT_LE(request_->receivedData().size(), 1024u);

    recorder_ = std::make_shared<Recorder>();
    recorder_->takeBytes = true;
    request_->setDelegate(recorder_);
    ASSERT_TRUE(request_->performMethodOnURLWithData(PHHTTPRequest::kMethodGET, url("/big"), std::nullopt));
    waitForEnd();
    EXPECT_EQ(recorder_->events.back(), "complete");
    EXPECT_EQ(recorder_->taken.size(), 64u * 1024);
    EXPECT_TRUE(request_->receivedData().empty());
}

TEST_F(PHHTTPRequestTest, SynchronousModeReturnsWhenDoneAndCancelTellsTheDelegate) {
    request_->setShouldWaitUntilDone(true);
    ASSERT_TRUE(request_->performMethodOnURLWithData(PHHTTPRequest::kMethodGET, url("/body"), std::nullopt));
    EXPECT_FALSE(request_->isRunning());
    EXPECT_EQ(recorder_->events.back(), "complete");

    request_->setShouldWaitUntilDone(false);
    recorder_->events.clear();
    ASSERT_TRUE(request_->performMethodOnURLWithData(PHHTTPRequest::kMethodGET, url("/body"), std::nullopt));
    request_->cancel();
    EXPECT_FALSE(request_->isRunning());
    pumpPending();
    EXPECT_EQ(recorder_->events, std::vector<std::string>{"cancel"});
    // Refused without an address.
    EXPECT_FALSE(request_->performMethodOnURLWithData(PHHTTPRequest::kMethodGET, std::nullopt, std::nullopt));
}

}  // namespace
}  // namespace clipora
