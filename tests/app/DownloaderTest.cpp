#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Downloader.h"
#include "platform/foundation/FileManager.h"
#include "tests/app/AppTest.h"
#include "tests/support/LoopbackServer.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class Listener : public DownloaderDelegate {
public:
    void downloaderDidFinishVideoFile(const std::shared_ptr<Downloader>&, const std::shared_ptr<Video>&,
                                      const std::string& path) override {
        finished = path;
    }
    void downloaderDidFailVideoError(const std::shared_ptr<Downloader>&, const std::shared_ptr<Video>&,
                                     const Error& e) override {
        error = e;
    }
    void downloaderPercentCompletedPercent(const std::shared_ptr<Downloader>&, const std::string& text) override {
        progress.push_back(text);
    }
    std::optional<std::string> finished;
    std::optional<Error> error;
    std::vector<std::string> progress;
};

class DownloaderTest : public test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        server.server().set_keep_alive_max_count(1);
        server.server().Get("/video.mp4", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(2 * 1024 * 1024, 'v'), "video/mp4");
        });
        server.server().Get("/missing.mp4", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<html>Not here</html>", "text/html");
        });
        server.start();
        downloader = std::make_shared<Downloader>();
        downloader->setDelegate(listener);
        destination = FileManager::documentsDirectory() + "/clip.mp4";
    }
    std::shared_ptr<Video> video(const std::string& url) {
        auto v = std::make_shared<Video>();
        v->setUrl(url);
        return v;
    }
    bool ended() {
        return pumpUntil([&] { return listener->finished || listener->error; }, 10);
    }

    test::LoopbackServer server;
    std::shared_ptr<Listener> listener = std::make_shared<Listener>();
    std::shared_ptr<Downloader> downloader;
    std::string destination;
};

TEST_F(DownloaderTest, MegabytesAreReportedWithTwoDecimals) {
    EXPECT_EQ(Downloader::megabytesText(1048576), "1.00");
    EXPECT_EQ(Downloader::megabytesText(5242880), "5.00");
    EXPECT_EQ(Downloader::megabytesText(0), "0.00");
}

TEST_F(DownloaderTest, TheWholeBodyStreamsIntoPlace) {
    downloader->startDownload(video(server.url("/video.mp4")), destination);
    ASSERT_TRUE(ended());
    EXPECT_FALSE(listener->error);
    EXPECT_EQ(listener->finished, std::optional<std::string>(destination));
    EXPECT_EQ(FileManager::fileSize(destination), std::optional<std::uint64_t>(2 * 1024 * 1024));
    EXPECT_FALSE(FileManager::fileExists(destination + ".part"));
    ASSERT_FALSE(listener->progress.empty());
    EXPECT_EQ(listener->progress.back(), "2.00");
}

TEST_F(DownloaderTest, AnErrorStatusOrABrokenConnectionIsAFailureAndLeavesNoFile) {
    downloader->startDownload(video(server.url("/missing.mp4")), destination);
    ASSERT_TRUE(ended());
    ASSERT_TRUE(listener->error);
    EXPECT_EQ(listener->error->domain(), Downloader::kErrorDomain);
    EXPECT_EQ(listener->error->code(), Downloader::kErrorHTTPStatus);
    EXPECT_FALSE(FileManager::fileExists(destination));
    EXPECT_FALSE(FileManager::fileExists(destination + ".part"));

    listener->error.reset();
    std::string closed = server.url("/video.mp4");
    server.stop();
    downloader->startDownload(video(closed), destination);
    ASSERT_TRUE(ended());
    EXPECT_TRUE(listener->error);
    EXPECT_FALSE(FileManager::fileExists(destination));

    listener->error.reset();
    downloader->startDownload(video("no address"), destination);
    ASSERT_TRUE(ended());
    EXPECT_EQ(listener->error->code(), Downloader::kErrorBadURL);
}

TEST_F(DownloaderTest, ACancelledDownloadTellsNothing) {
    downloader->startDownload(video(server.url("/video.mp4")), destination);
    downloader->cancelDownload();
    pumpPending();
    EXPECT_FALSE(listener->finished);
    EXPECT_FALSE(listener->error);
    EXPECT_TRUE(listener->progress.empty());
    EXPECT_FALSE(FileManager::fileExists(destination + ".part"));
}

}  // namespace
