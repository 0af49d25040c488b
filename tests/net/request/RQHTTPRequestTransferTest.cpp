#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "net/request/RQError.h"
#include "net/request/RQHTTPRequest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Thread.h"
#include "tests/net/request/RequestTestSupport.h"
#include "tests/support/RawServer.h"

namespace clipora::test {
namespace {

using platform::Data;
using platform::URL;

class TransferTest : public RequestTest {
protected:
    void SetUp() override {
        RequestTest::SetUp();
        auto& s = server_.server();
        s.Get("/hello", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("hello world", "text/plain; charset=utf-8");
        });
        s.Post("/echo", [this](const httplib::Request& req, httplib::Response& res) {
            lastMethod_ = req.method;
            lastContentLength_ = req.get_header_value("Content-Length");
            res.set_content(req.method + ":" + req.body, "text/plain");
        });
        s.Put("/echo", [this](const httplib::Request& req, httplib::Response& res) {
            lastMethod_ = req.method;
            res.set_content(req.method + ":" + req.body, "text/plain");
        });
        s.Get("/empty", [](const httplib::Request&, httplib::Response& res) {
            res.status = 200;
            res.set_content("", "text/plain");
        });
        s.Get("/big", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(300000, 'b'), "application/octet-stream");
        });
        s.Get("/notfound", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("missing", "text/plain");
        });
        server_.start();
    }

    // What the echo handlers saw, declared before the server so that they
    // outlive its threads: a request still in flight when a check gives up
    // must not write into them after they are gone.
    std::string lastMethod_;
    std::string lastContentLength_;
    LoopbackServer server_;
};

TEST_F(TransferTest, GetReportsDelegateThenBlockThenQueueOnTheMainThread) {
    auto request = get(server_.url("/hello"));
    auto delegate = std::make_shared<RequestRecorder>("delegate");
    auto queue = std::make_shared<RequestRecorder>("queue");
    std::vector<std::string> order;
    std::atomic<bool> blockOnMain{false};
    request->setDelegate(delegate);
    request->setQueue(queue);
    request->setCompletionBlock([&] {
        blockOnMain = platform::RunLoop::isMainThread();
        delegate->add("block-finished");
    });
    request->setDelegate(delegate);
    ASSERT_TRUE(runAsync(request));
    ASSERT_TRUE(pumpUntil([&] { return queue->saw("queue:finished"); }));

    EXPECT_FALSE(request->error());
    EXPECT_EQ(request->responseStatusCode(), 200);
    EXPECT_EQ(text(request->responseData()), "hello world");
    EXPECT_EQ(request->responseString(), "hello world");
    EXPECT_EQ(request->responseEncoding(), platform::Text::Encoding::UTF8);
    EXPECT_TRUE(blockOnMain.load());
    auto events = delegate->events();
    auto at = [&](const std::string& e) { return std::find(events.begin(), events.end(), e) - events.begin(); };
    EXPECT_LT(at("delegate:started"), at("delegate:headers"));
    EXPECT_LT(at("delegate:headers"), at("delegate:finished"));
    EXPECT_EQ(at("delegate:finished") + 1, at("delegate:block-finished"));
    EXPECT_TRUE(queue->saw("queue:started"));
}

TEST_F(TransferTest, BodiesFromMemoryAndFromFile) {
    // A GET with a body becomes a POST with a Content-Length.
    auto post = get(server_.url("/echo"));
    post->appendPostData(bytes("abc"));
    post->appendPostData({});
    post->appendPostData(bytes("def"));
    ASSERT_TRUE(runAsync(post));
    EXPECT_EQ(post->requestMethod(), "POST");
    EXPECT_EQ(text(post->responseData()), "POST:abcdef");
    EXPECT_EQ(lastContentLength_, "6");

    // A PUT stays a PUT; the body streams from a file on disk.
    const auto source = home() / "body.bin";
    {
        std::ofstream out(source, std::ios::binary);
        out << std::string(200000, 'z');
    }
    auto put = get(server_.url("/echo"));
    put->setRequestMethod("PUT");
    put->setShouldStreamPostDataFromDisk(true);
    put->appendPostDataFromFile(source.string());
    ASSERT_TRUE(runAsync(put));
    EXPECT_FALSE(put->error());
    EXPECT_EQ(text(put->responseData()), "PUT:" + std::string(200000, 'z'));
    EXPECT_EQ(put->postLength(), 200000u);
    // The temporary body file the request made is gone.
    EXPECT_FALSE(platform::FileManager::fileExists(put->postBodyFilePath()));

    // An empty body leaves the method alone.
    auto plain = get(server_.url("/hello"));
    plain->appendPostData({});
    ASSERT_TRUE(runAsync(plain));
    EXPECT_EQ(plain->requestMethod(), "GET");
    EXPECT_FALSE(plain->requestHeaders().contains("Content-Length"));
}

TEST_F(TransferTest, ClientAndServerErrors) {
    // A 404 is a finished request; callers read the status.
    auto missing = get(server_.url("/notfound"));
    ASSERT_TRUE(runAsync(missing));
    EXPECT_FALSE(missing->error());
    EXPECT_EQ(missing->responseStatusCode(), 404);

    // Nothing listens: code 1.
    auto refused = get("http://127.0.0.1:1/x");
    ASSERT_TRUE(runAsync(refused));
    ASSERT_TRUE(refused->error());
    EXPECT_TRUE(RQError::is(*refused->error(), RQError::kConnectionFailure));
    EXPECT_EQ(refused->error()->localizedDescription(), "A connection failure occurred");

    // No usable URL: code 5.
    auto bad = RQHTTPRequest::requestWithURL(URL::fromString("ftp://example/x"));
    ASSERT_TRUE(runAsync(bad));
    ASSERT_TRUE(bad->error());
    EXPECT_TRUE(RQError::is(*bad->error(), RQError::kUnableToCreateRequest));
}

TEST_F(TransferTest, DownloadToFileReplacesWhatWasThere) {
    const auto destination = home() / "Documents" / "big.bin";
    {
        std::ofstream out(destination);
        out << "old content";
    }
    auto request = get(server_.url("/big"));
    request->setDownloadDestinationPath(destination.string());
    auto recorder = std::make_shared<RequestRecorder>("progress");
    request->setDownloadProgressDelegate(recorder);
    ASSERT_TRUE(runAsync(request));
    EXPECT_FALSE(request->error());
    EXPECT_EQ(fileText(destination), std::string(300000, 'b'));
    EXPECT_FALSE(request->rawResponseData().has_value() && !request->rawResponseData()->empty());
    ASSERT_TRUE(
        pumpUntil([&] { return !recorder->progressValues.empty() && recorder->progressValues.back() == 1.0f; }));
    EXPECT_EQ(recorder->bytesReceived, 300000);
    EXPECT_EQ(recorder->downloadSize, 300000);
}

TEST_F(TransferTest, EmptyBodyReportsCompleteProgress) {
    auto request = get(server_.url("/empty"));
    auto recorder = std::make_shared<RequestRecorder>("progress");
    request->setDownloadProgressDelegate(recorder);
    ASSERT_TRUE(runAsync(request));
    ASSERT_TRUE(
        pumpUntil([&] { return !recorder->progressValues.empty() && recorder->progressValues.back() == 1.0f; }));
    for (float value : recorder->progressValues) EXPECT_FALSE(std::isnan(value));
}

TEST_F(TransferTest, SynchronousRequestOnTheMainThread) {
    auto request = get(server_.url("/hello"));
    auto delegate = std::make_shared<RequestRecorder>();
    request->setDelegate(delegate);
    request->startSynchronous();
    EXPECT_TRUE(request->isFinished());
    EXPECT_EQ(text(request->responseData()), "hello world");
    // Reports for a request run on the main thread arrive during the call.
    EXPECT_TRUE(delegate->saw("delegate:finished"));
}

}  // namespace
}  // namespace clipora::test
