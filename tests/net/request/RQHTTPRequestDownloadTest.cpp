#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/request/RQError.h"
#include "net/request/RQHTTPRequest.h"
#include "tests/net/request/RequestTestSupport.h"
#include "tests/support/RawServer.h"

namespace clipora::test {
namespace {

// Downloads to a file must never corrupt or replace a good file, and must
// leave no temporary file behind when they fail.
class DownloadTest : public RequestTest {
protected:
    static std::vector<std::string> filesIn(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        if (!std::filesystem::exists(folder)) return names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        return names;
    }
    static void write(const std::filesystem::path& path, const std::string& content) {
        std::ofstream out(path, std::ios::binary);
        out << content;
    }
    std::shared_ptr<RQHTTPRequest> download(const std::string& url, const std::filesystem::path& destination) {
        auto request = get(url);
        request->setDownloadDestinationPath(destination.string());
        return request;
    }
};

TEST_F(DownloadTest, ResumeOfACompletePartialFileAnsweredWith416CompletesTheDownload) {
    const std::string whole(4000, 'v');
    const std::string page = "<html><body>416 Requested Range Not Satisfiable</body></html>";
    RawServer server([&](RawServer::Connection& c) {
        const std::string head = c.readRequest();
        if (head.find("\r\nRange: bytes=4000-\r\n") != std::string::npos) {
            c.send(
                "HTTP/1.1 416 Requested Range Not Satisfiable\r\nContent-Range: bytes */4000\r\n"
                "Content-Type: text/html\r\nContent-Length: " +
                std::to_string(page.size()) + "\r\n\r\n" + page);
        } else if (head.find("\r\nRange: ") != std::string::npos) {
            // A 416 naming another length: the partial file is not this one.
            c.send(
                "HTTP/1.1 416 Requested Range Not Satisfiable\r\nContent-Range: bytes */9999\r\n"
                "Content-Length: " +
                std::to_string(page.size()) + "\r\n\r\n" + page);
        }
    });
    const auto destination = home() / "Documents" / "movie.bin";
    const auto partial = home() / "tmp" / "movie.partial";
    write(partial, whole);
    auto request = download(server.url("/movie"), destination);
    request->setTemporaryFileDownloadPath(partial.string());
    request->setAllowResumeForFileDownloads(true);
    ASSERT_TRUE(runAsync(request));
    ASSERT_FALSE(request->error()) << request->error()->localizedDescription();
    EXPECT_EQ(fileText(destination), whole) << "nothing of the 416 page is appended";
    EXPECT_FALSE(std::filesystem::exists(partial));

    // A partial file of another size: the answer is not the download, the
    // partial file is kept as it was and the destination is not touched.
    std::filesystem::remove(destination);
    write(partial, whole.substr(0, 1000));
    auto other = download(server.url("/movie"), destination);
    other->setTemporaryFileDownloadPath(partial.string());
    other->setAllowResumeForFileDownloads(true);
    ASSERT_TRUE(runAsync(other));
    EXPECT_EQ(other->responseStatusCode(), 416);
    EXPECT_FALSE(std::filesystem::exists(destination));
    EXPECT_EQ(fileText(partial), whole.substr(0, 1000));
    EXPECT_EQ(text(other->responseData()), page);
}

TEST_F(DownloadTest, APartThatDoesNotContinueThePartialFileFailsWithoutTouchingIt) {
    RawServer server([](RawServer::Connection& c) {
        c.readRequest();
        c.send("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-99/100\r\nContent-Length: 100\r\n\r\n" +
               std::string(100, 'z'));
    });
    const auto destination = home() / "Documents" / "movie.bin";
    const auto partial = home() / "tmp" / "movie.partial";
    write(partial, std::string(40, 'a'));
    auto request = download(server.url("/movie"), destination);
    request->setTemporaryFileDownloadPath(partial.string());
    request->setAllowResumeForFileDownloads(true);
    ASSERT_TRUE(runAsync(request));
    ASSERT_TRUE(request->error());
    EXPECT_EQ(fileText(partial), std::string(40, 'a'));
    EXPECT_FALSE(std::filesystem::exists(destination));
}

TEST_F(DownloadTest, AnErrorPageNeverReplacesAFinishedFile) {
    struct Case {
        int status;
        std::string reason;
    };
    const std::vector<Case> cases = {{404, "Not Found"}, {401, "Unauthorized"}, {500, "Internal Server Error"}};
    for (const auto& c : cases) {
        const std::string page = "<html>" + c.reason + "</html>";
        RawServer server([&](RawServer::Connection& conn) {
            conn.readRequest();
            conn.send("HTTP/1.1 " + std::to_string(c.status) + " " + c.reason +
                      "\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                      std::to_string(page.size()) + "\r\n\r\n" + page);
        });
        const auto destination = home() / "Documents" / "finished.mp4";
        write(destination, "the finished video");
        auto request = download(server.url("/video"), destination);
        ASSERT_TRUE(runAsync(request)) << c.status;
        EXPECT_EQ(request->responseStatusCode(), c.status);
        EXPECT_EQ(fileText(destination), "the finished video") << c.status;
        // The page stays readable, except a challenge's: nobody answers it,
        // so the request fails with code 3.
        if (c.status != 401) {
            EXPECT_EQ(text(request->responseData()), page) << c.status;
        }
        EXPECT_EQ(filesIn(home() / "Documents"), std::vector<std::string>{"finished.mp4"}) << c.status;
        EXPECT_TRUE(filesIn(home() / "tmp").empty()) << c.status;
    }
}

TEST_F(DownloadTest, NoTemporaryFileIsLeftAfterAFailure) {
    // Too many redirects: every hop answers with a body.
    RawServer redirecting([](RawServer::Connection& c) {
        while (true) {
            const std::string head = c.readRequest();
            if (head.empty()) return;
            const std::string body(3000, 'r');
            c.send("HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: " + std::to_string(body.size()) +
                   "\r\n\r\n" + body);
        }
    });
    const auto destination = home() / "Documents" / "video.mp4";
    auto looping = download(redirecting.url("/start"), destination);
    ASSERT_TRUE(runAsync(looping));
    ASSERT_TRUE(looping->error());
    EXPECT_TRUE(RQError::is(*looping->error(), RQError::kTooManyRedirects));
    EXPECT_TRUE(filesIn(home() / "tmp").empty());
    EXPECT_TRUE(filesIn(home() / "Documents").empty());

    // A destination folder that does not exist fails before anything is
    // asked of the server.
    RawServer idle([](RawServer::Connection& c) {
        c.readRequest();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nvideo");
    });
    auto nowhere = download(idle.url("/video"), home() / "Documents" / "missing" / "video.mp4");
    ASSERT_TRUE(runAsync(nowhere));
    ASSERT_TRUE(nowhere->error());
    EXPECT_TRUE(RQError::is(*nowhere->error(), RQError::kFileManagement));
    EXPECT_EQ(idle.connectionsAccepted(), 0u);

    // A transfer cut short: the destination keeps its old content and no
    // part of the new body stays anywhere.
    RawServer cutting([](RawServer::Connection& c) {
        c.readRequest();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        c.sendFiller(30000, 'n');
        c.reset();
    });
    write(destination, "old video");
    auto cut = download(cutting.url("/video"), destination);
    ASSERT_TRUE(runAsync(cut));
    ASSERT_TRUE(cut->error());
    EXPECT_EQ(fileText(destination), "old video");
    EXPECT_EQ(filesIn(home() / "Documents"), std::vector<std::string>{"video.mp4"});
    EXPECT_TRUE(filesIn(home() / "tmp").empty());
}

TEST_F(DownloadTest, TheTemporaryFileSitsBesideTheDestination) {
    RawServer server([](RawServer::Connection& c) {
        c.readRequest();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n");
        c.sendFiller(100000, 'p');
        c.waitForPeerClose(5);
    });
    const auto destination = home() / "Documents" / "video.mp4";
    auto request = download(server.url("/video"), destination);
    request->startAsynchronous();
    ASSERT_TRUE(pumpUntil([&] { return request->totalBytesRead() == 100000; }));
    const std::filesystem::path temporary = request->temporaryFileDownloadPath();
    EXPECT_EQ(temporary.parent_path(), destination.parent_path());
    EXPECT_FALSE(std::filesystem::exists(destination));
    request->cancel();
    ASSERT_TRUE(pumpUntil([&] { return request->isFinished(); }));
    EXPECT_TRUE(filesIn(home() / "Documents").empty());
}

}  // namespace
}  // namespace clipora::test
