#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "net/request/RQDataCompressor.h"
#include "net/request/RQDataDecompressor.h"
#include "net/request/RQError.h"
#include "net/request/RQHTTPRequest.h"
#include "platform/foundation/FileManager.h"
#include "tests/net/request/RequestTestSupport.h"

namespace clipora::test {
namespace {

class GzipTest : public RequestTest {
protected:
    void SetUp() override {
        RequestTest::SetUp();
        body_ = std::string(200000, 'q') + "end";
        auto packed = gzip(body_);
        packed_ = std::string(packed.begin(), packed.end());
        auto& s = server_.server();
        s.Get("/gz", [this](const httplib::Request& req, httplib::Response& res) {
            acceptEncoding_ = req.get_header_value("Accept-Encoding");
            res.set_header("Content-Encoding", "gzip");
            res.set_content(packed_, "application/octet-stream");
        });
        s.Get("/truncated", [this](const httplib::Request&, httplib::Response& res) {
            res.set_header("Content-Encoding", "gzip");
            res.set_content(packed_.substr(0, packed_.size() / 2), "application/octet-stream");
        });
        s.Get("/bomb", [](const httplib::Request&, httplib::Response& res) {
            static const std::string bomb = [] {
                auto data = *RQDataCompressor::compressDataError(platform::Data(16u << 20, 0), nullptr);
                return std::string(data.begin(), data.end());
            }();
            res.set_header("Content-Encoding", "gzip");
            res.set_content(bomb, "application/octet-stream");
        });
        s.Post("/upload", [this](const httplib::Request& req, httplib::Response& res) {
            uploadEncoding_ = req.get_header_value("Content-Encoding");
            // The test server inflates request bodies itself.
            std::string body = req.body;
            if (body.size() > 2 && static_cast<unsigned char>(body[0]) == 0x1F) {
                auto inflated = RQDataDecompressor::uncompressDataError(bytes(body), nullptr);
                body = inflated ? std::string(inflated->begin(), inflated->end()) : "<bad>";
            }
            res.set_content(body, "application/octet-stream");
        });
        server_.start();
    }

    LoopbackServer server_;
    std::string body_;
    std::string packed_;
    std::string acceptEncoding_;
    std::string uploadEncoding_;
};

TEST_F(GzipTest, InflatedOnTheFlyOrOnDemand) {
    // Deferred (the default): kept compressed, inflated by responseData().
    auto deferred = get(server_.url("/gz"));
    ASSERT_TRUE(runAsync(deferred));
    EXPECT_EQ(acceptEncoding_, "gzip");
    EXPECT_TRUE(deferred->isResponseCompressed());
    EXPECT_EQ(deferred->rawResponseData()->size(), packed_.size());
    EXPECT_TRUE(text(deferred->responseData()) == body_);

    // On the fly into memory, into a file, and handed to a delegate.
    auto memory = get(server_.url("/gz"));
    memory->setShouldWaitToInflateCompressedResponses(false);
    ASSERT_TRUE(runAsync(memory));
    EXPECT_TRUE(text(memory->rawResponseData()) == body_);
    EXPECT_EQ(memory->totalBytesRead(), packed_.size());

    const auto destination = home() / "inflated.txt";
    auto file = get(server_.url("/gz"));
    file->setShouldWaitToInflateCompressedResponses(false);
    file->setDownloadDestinationPath(destination.string());
    ASSERT_TRUE(runAsync(file));
    ASSERT_FALSE(file->error());
    EXPECT_TRUE(fileText(destination) == body_);

    const auto deferredFile = home() / "deferred.txt";
    auto later = get(server_.url("/gz"));
    later->setDownloadDestinationPath(deferredFile.string());
    ASSERT_TRUE(runAsync(later));
    EXPECT_TRUE(fileText(deferredFile) == body_);

    auto streamed = get(server_.url("/gz"));
    streamed->setShouldWaitToInflateCompressedResponses(false);
    auto delegate = std::make_shared<RequestRecorder>();
    delegate->takesData = true;
    streamed->setDelegate(delegate);
    ASSERT_TRUE(runAsync(streamed));
    ASSERT_TRUE(pumpUntil([&] { return delegate->saw("delegate:finished"); }));
    EXPECT_TRUE(std::string(delegate->dataReceived.begin(), delegate->dataReceived.end()) == body_);
    EXPECT_TRUE(!streamed->rawResponseData() || streamed->rawResponseData()->empty());
}

TEST_F(GzipTest, TruncatedBodyIsCode11) {
    auto memory = get(server_.url("/truncated"));
    memory->setShouldWaitToInflateCompressedResponses(false);
    ASSERT_TRUE(runAsync(memory));
    ASSERT_TRUE(memory->error());
    EXPECT_TRUE(RQError::is(*memory->error(), RQError::kCompression));

    const auto destination = home() / "cut.txt";
    for (bool wait : {false, true}) {
        auto file = get(server_.url("/truncated"));
        file->setShouldWaitToInflateCompressedResponses(wait);
        file->setDownloadDestinationPath(destination.string());
        ASSERT_TRUE(runAsync(file));
        ASSERT_TRUE(file->error()) << wait;
        EXPECT_TRUE(RQError::is(*file->error(), RQError::kCompression));
    }

    auto deferred = get(server_.url("/truncated"));
    ASSERT_TRUE(runAsync(deferred));
    EXPECT_FALSE(deferred->responseData());
}

TEST_F(GzipTest, DecompressionBombStopsAtTheCeiling) {
    const auto previous = RQDataDecompressor::defaultMaximumOutputLength();
    RQDataDecompressor::setDefaultMaximumOutputLength(1 << 20);
    auto onTheFly = get(server_.url("/bomb"));
    onTheFly->setShouldWaitToInflateCompressedResponses(false);
    ASSERT_TRUE(runAsync(onTheFly));
    auto deferred = get(server_.url("/bomb"));
    ASSERT_TRUE(runAsync(deferred));
    auto inflated = deferred->responseData();
    RQDataDecompressor::setDefaultMaximumOutputLength(previous);
    ASSERT_TRUE(onTheFly->error());
    EXPECT_TRUE(RQError::is(*onTheFly->error(), RQError::kCompression));
    EXPECT_FALSE(inflated);
}

TEST_F(GzipTest, CompressedRequestBody) {
    auto request = get(server_.url("/upload"));
    request->setShouldCompressRequestBody(true);
    request->appendPostData(bytes(body_));
    ASSERT_TRUE(runAsync(request));
    EXPECT_EQ(uploadEncoding_, "gzip");
    EXPECT_TRUE(text(request->responseData()) == body_);
    EXPECT_LT(request->postLength(), body_.size());

    auto fromDisk = get(server_.url("/upload"));
    fromDisk->setShouldCompressRequestBody(true);
    fromDisk->setShouldStreamPostDataFromDisk(true);
    fromDisk->appendPostData(bytes(body_));
    ASSERT_TRUE(runAsync(fromDisk));
    EXPECT_TRUE(text(fromDisk->responseData()) == body_);

    // The compressed copy of the caller's own body file is the engine's: it
    // goes when the request ends, the caller's file stays.
    const auto source = home() / "body.txt";
    {
        std::ofstream out(source, std::ios::binary);
        out << body_;
    }
    const auto temporary = std::filesystem::path(platform::FileManager::temporaryDirectory());
    auto entries = [&temporary] {
        std::set<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(temporary)) found.insert(entry.path());
        return found;
    };
    const auto before = entries();
    auto fromFile = get(server_.url("/upload"));
    fromFile->setShouldCompressRequestBody(true);
    fromFile->setPostBodyFilePath(source.string());
    ASSERT_TRUE(runAsync(fromFile));
    EXPECT_TRUE(text(fromFile->responseData()) == body_);
    EXPECT_TRUE(std::filesystem::exists(source));
    EXPECT_EQ(entries(), before);
}

}  // namespace
}  // namespace clipora::test
