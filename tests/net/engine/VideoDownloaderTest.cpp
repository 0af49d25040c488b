#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/engine/BKNetworkEngine.h"
#include "net/engine/BKNetworkOperation.h"
#include "net/engine/VideoDownloader.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/OutputStream.h"
#include "platform/foundation/RunLoop.h"
#include "platform/system/NetworkReachability.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/LocalNotificationCenter.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/RawServer.h"
#include "tests/support/TestCA.h"
#include "tests/support/TestHome.h"

namespace clipora::test {
namespace {

using platform::Data;
using platform::Error;
using NR = platform::NetworkReachability;

std::string makeBody(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return body;
}

std::string readFile(const std::filesystem::path& path) {
    auto data = platform::FileManager::contentsOfFile(path);
    return data ? std::string(data->begin(), data->end()) : std::string();
}

// An httplib server keeps idle keep-alive connections until its time-out
// (seconds) and waits for them when stopped: close after each response.
void closeAfterEachResponse(LoopbackServer& server) { server.server().set_keep_alive_max_count(1); }

// What an operation reported, and on which thread.
struct Outcome {
    int completions = 0;
    int failures = 0;
    bool allOnMain = true;
    std::optional<Error> error;
    std::vector<double> progress;

    bool done() const { return completions + failures > 0; }
    void attach(const std::shared_ptr<BKNetworkOperation>& operation) {
        operation->onDownloadProgressChanged([this](double p) {
            progress.push_back(p);
            allOnMain = allOnMain && platform::RunLoop::isMainThread();
        });
        operation->onCompletionOnError(
            [this](const std::shared_ptr<BKNetworkOperation>&) {
                ++completions;
                allOnMain = allOnMain && platform::RunLoop::isMainThread();
            },
            [this](const Error& e) {
                ++failures;
                error = e;
                allOnMain = allOnMain && platform::RunLoop::isMainThread();
            });
    }
};

class VideoDownloaderTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        downloader_ = VideoDownloader::initWithHostNameCustomHeaderFields(std::nullopt);
    }
    void TearDown() override {
        auto queue = BKNetworkEngine::sharedOperationQueue();
        pumpUntil([&] { return queue->operationCount() == 0; });
        NR::clearFlagsOverrides();
        queue->setMaxConcurrentOperationCount(BKNetworkEngine::kWiFiQueueWidth);
        downloader_.reset();
        PlatformTest::TearDown();
    }
    std::filesystem::path cachesFile(const std::string& name) const { return home() / "Library/Caches" / name; }

    std::shared_ptr<VideoDownloader> downloader_;
};

TEST_F(VideoDownloaderTest, StreamsIntoTheFileWithProgressAndCompletionOnMain) {
    const std::string body = makeBody(700 * 1024);
    LoopbackServer server;
    std::string userAgent;
    server.server().Get("/video.mp4", [&](const httplib::Request& request, httplib::Response& response) {
        userAgent = request.get_header_value("User-Agent");
        response.set_content(body, "video/mp4");
    });
    closeAfterEachResponse(server);
    server.start();

    const auto path = cachesFile("123.mp4");
    auto operation = downloader_->downloadVideoToFile(server.url("/video.mp4"), path.string());
    Outcome outcome;
    outcome.attach(operation);
    ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }, 10));

    EXPECT_EQ(outcome.completions, 1);
    EXPECT_EQ(outcome.failures, 0);
    EXPECT_TRUE(outcome.allOnMain);
    EXPECT_TRUE(readFile(path) == body);
    ASSERT_FALSE(outcome.progress.empty());
    EXPECT_DOUBLE_EQ(outcome.progress.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(outcome.progress.begin(), outcome.progress.end()));
    EXPECT_TRUE(operation->isFinished());
    EXPECT_EQ(operation->downloadedDataSize(), body.size());
    EXPECT_FALSE(operation->responseData());  // nothing kept in memory
    EXPECT_NE(userAgent.find('/'), std::string::npos);
}

// A peer that trickles its body a few bytes at a time, each piece written
// (one TLS record each over HTTPS) only once the test asks for it, so the
// test sees what the downloader made of every piece before the next comes,
// whatever the link's speed.
class TricklingPeer {
public:
    enum class Framing { Length, Chunked, UntilClose };

    TricklingPeer(std::string body, std::size_t piece, Framing framing, TestCA* ca)
        : body_(std::move(body)), piece_(piece),
          server_(ca ? LoopbackServer(ca->server().certificateFile, ca->server().privateKeyFile) : LoopbackServer()) {
        server_.server().Get("/slow.mp4", [this, framing](const httplib::Request&, httplib::Response& response) {
            auto provide = [this](std::size_t offset, httplib::DataSink& sink) {
                if (!waitForTurn()) return false;
                const std::size_t n = std::min(piece_, body_.size() - offset);
                sink.write(body_.data() + offset, n);
                if (offset + n == body_.size() && !sink.is_writable()) return false;
                return true;
            };
            switch (framing) {
            case Framing::Length:
                response.set_content_provider(body_.size(), "video/mp4",
                                              [provide](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                                  return provide(offset, sink);
                                              });
                break;
            case Framing::Chunked:
            case Framing::UntilClose: {
                auto offset = std::make_shared<std::size_t>(0);
                auto pieceWise = [this, provide, offset](std::size_t, httplib::DataSink& sink) {
                    if (*offset == body_.size()) {
                        sink.done();
                        return true;
                    }
                    const bool more = provide(*offset, sink);
                    *offset += std::min(piece_, body_.size() - *offset);
                    return more;
                };
                if (framing == Framing::Chunked)
                    response.set_chunked_content_provider("video/mp4", pieceWise);
                else
                    response.set_content_provider("video/mp4", pieceWise);
                break;
            }
            }
        });
        closeAfterEachResponse(server_);
        server_.start();
    }
    ~TricklingPeer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        server_.stop();
    }
    std::string url() const { return server_.url("/slow.mp4"); }
    // Lets the next piece go.
    void sendNext() {
        {
            std::lock_guard lock(mutex_);
            ++allowed_;
        }
        wake_.notify_all();
    }
    std::size_t pieces() const { return (body_.size() + piece_ - 1) / piece_; }
    std::size_t sentAfter(std::size_t pieces) const { return std::min(body_.size(), pieces * piece_); }

private:
    bool waitForTurn() {
        std::unique_lock lock(mutex_);
        if (!wake_.wait_for(lock, std::chrono::seconds(10), [&] { return stopping_ || allowed_ > 0; }) || stopping_)
            return false;
        --allowed_;
        return true;
    }

    const std::string body_;
    const std::size_t piece_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::size_t allowed_ = 0;
    bool stopping_ = false;
    LoopbackServer server_;
};

TEST_F(VideoDownloaderTest, ProgressAndTheFileFollowATricklingBodyPieceByPiece) {
    TestCA ca(home());
    ca.trust();
    const auto path = cachesFile("slow.mp4");
    // The bytes received so far, wherever the download keeps them until it
    // is whole (the destination itself only appears at the end).
    auto bytesOnDisk = [&]() -> std::string {
        for (const auto& entry : std::filesystem::directory_iterator(path.parent_path()))
            if (entry.path().filename().string().find("slow.mp4") != std::string::npos) return readFile(entry.path());
        return {};
    };
    using Framing = TricklingPeer::Framing;
    struct Case {
        const char* name;
        Framing framing;
        bool secure;
    };
    for (const Case& c : {Case{"length", Framing::Length, false}, Case{"chunked", Framing::Chunked, false},
                          Case{"until close", Framing::UntilClose, false}, Case{"length, TLS", Framing::Length, true},
                          Case{"chunked, TLS", Framing::Chunked, true}}) {
        SCOPED_TRACE(c.name);
        const std::string body = makeBody(2000);
        TricklingPeer peer(body, 100, c.framing, c.secure ? &ca : nullptr);
        auto operation = downloader_->downloadVideoToFile(peer.url(), path.string());
        Outcome outcome;
        outcome.attach(operation);
        for (std::size_t piece = 1; piece <= peer.pieces(); ++piece) {
            peer.sendNext();
            const std::size_t sent = peer.sentAfter(piece);
            ASSERT_TRUE(pumpUntil([&] { return operation->downloadedDataSize() == sent; }, 10)) << "piece " << piece;
            EXPECT_TRUE(bytesOnDisk() == body.substr(0, sent)) << "piece " << piece;
            if (c.framing == Framing::Length) {
                ASSERT_FALSE(outcome.progress.empty()) << "piece " << piece;
                EXPECT_DOUBLE_EQ(outcome.progress.back(), static_cast<double>(sent) / static_cast<double>(body.size()));
            } else {
                EXPECT_TRUE(outcome.progress.empty());  // no length, no fraction
            }
        }
        ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }, 10));
        EXPECT_EQ(outcome.completions, 1);
        EXPECT_TRUE(readFile(path) == body);
        platform::FileManager::removeItem(path);
    }
}

TEST_F(VideoDownloaderTest, AStaleFileAtTheDestinationIsReplacedNotAppendedTo) {
    const std::string body = makeBody(64 * 1024);
    LoopbackServer server;
    server.server().Get("/v.mp4", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "video/mp4");
    });
    closeAfterEachResponse(server);
    server.start();
    const auto path = cachesFile("stale.mp4");
    platform::FileManager::writeData(path, Data(200 * 1024, 'z'));

    auto operation = downloader_->downloadVideoToFile(server.url("/v.mp4"), path.string());
    Outcome outcome;
    outcome.attach(operation);
    ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }, 10));
    EXPECT_EQ(outcome.completions, 1);
    EXPECT_TRUE(readFile(path) == body);
}

TEST_F(VideoDownloaderTest, TransfersThatEndBadlyFailAndNeverComplete) {
    // A peer that closes before the announced length, one that resets, and a
    // destination that cannot take the bytes (a full disk, a missing folder).
    RawServer early([](RawServer::Connection& c) {
        if (c.readRequest().empty()) return;
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        c.sendFiller(40000);
    });
    RawServer reset([](RawServer::Connection& c) {
        if (c.readRequest().empty()) return;
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        c.sendFiller(1000);
        c.reset();
    });
    RawServer fine([](RawServer::Connection& c) {
        if (c.readRequest().empty()) return;
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 300000\r\n\r\n");
        c.sendFiller(300000);
        c.waitForPeerClose();
    });
    struct Case {
        const char* name;
        std::string url;
        std::filesystem::path path;
    };
    const std::vector<Case> cases = {
        {"closed early", early.url("/v.mp4"), cachesFile("early.mp4")},
        {"reset", reset.url("/v.mp4"), cachesFile("reset.mp4")},
        {"disk full", fine.url("/v.mp4"), "/dev/full"},
        {"no folder", fine.url("/v.mp4"), cachesFile("missing/folder/v.mp4")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto operation = downloader_->downloadVideoToFile(c.url, c.path.string());
        Outcome outcome;
        outcome.attach(operation);
        ASSERT_TRUE(pumpUntil([&] { return outcome.done() && operation->isFinished(); }, 10));
        EXPECT_EQ(outcome.completions, 0);
        EXPECT_EQ(outcome.failures, 1);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(operation->error(), outcome.error);
        EXPECT_FALSE(operation->isCancelled());
    }
}

TEST_F(VideoDownloaderTest, AFinishedFileIsReplacedOnlyByAWholeSuccessfulDownload) {
    const auto folder = home() / "Library/Caches";
    const auto path = cachesFile("finished.mp4");
    auto filesInFolder = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        return names;
    };
    // Error pages: the finished file stays and no temporary file is left.
    for (int status : {404, 401, 500}) {
        SCOPED_TRACE(status);
        platform::FileManager::writeData(path, Data{'o', 'l', 'd'});
        RawServer server([status](RawServer::Connection& c) {
            if (c.readRequest().empty()) return;
            const std::string page = "<html>error page</html>";
            c.send("HTTP/1.1 " + std::to_string(status) +
                   " Error\r\nWWW-Authenticate: Basic realm=\"r\"\r\nConnection: close\r\nContent-Length: " +
                   std::to_string(page.size()) + "\r\n\r\n" + page);
        });
        auto operation = downloader_->downloadVideoToFile(server.url("/v.mp4"), path.string());
        Outcome outcome;
        outcome.attach(operation);
        ASSERT_TRUE(pumpUntil([&] { return outcome.done() && operation->isFinished(); }, 10));
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_EQ(readFile(path), "old");
        EXPECT_EQ(filesInFolder(), std::vector<std::string>{"finished.mp4"});
    }

    // A download stopped half way (cancelled, or the process killed): the
    // final name never holds a partial file; the bytes so far sit in a
    // temporary file beside it, which the cancel removes.
    RawServer stalling([](RawServer::Connection& c) {
        if (c.readRequest().empty()) return;
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n");
        c.sendFiller(50000);
        c.waitForPeerClose(5);
    });
    std::filesystem::remove(path);
    auto operation = downloader_->downloadVideoToFile(stalling.url("/v.mp4"), path.string());
    Outcome outcome;
    outcome.attach(operation);
    ASSERT_TRUE(pumpUntil([&] { return !outcome.progress.empty() && outcome.progress.back() >= 0.25; }, 10));
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_EQ(filesInFolder().size(), 1u);
    EXPECT_EQ(filesInFolder()[0].rfind(".finished.mp4.", 0), 0u);
    operation->cancel();
    ASSERT_TRUE(pumpUntil([&] { return operation->isFinished(); }));
    EXPECT_TRUE(filesInFolder().empty());
}

TEST_F(VideoDownloaderTest, EqualDownloadsShareOneTransferAndWriteEachChunkOnce) {
    const std::string body = makeBody(256 * 1024);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> requests{0};
    LoopbackServer server;
    server.server().Get("/same.mp4", [&](const httplib::Request&, httplib::Response& response) {
        ++requests;
        released.wait_for(std::chrono::seconds(5));
        response.set_content(body, "video/mp4");
    });
    closeAfterEachResponse(server);
    server.start();

    // Appending writers, so that a second writer of the file would show as
    // a doubled file.
    const auto path = cachesFile("same.mp4");
    auto download = [&] {
        auto operation = downloader_->operationWithURLString(server.url("/same.mp4"));
        operation->addDownloadStream(platform::OutputStream::toFile(path, true), path);
        downloader_->enqueueOperation(operation);
        return operation;
    };
    auto first = download();
    auto second = download();
    Outcome one, two;
    one.attach(first);
    two.attach(second);
    // Both taps are handled before the server answers.
    ASSERT_TRUE(pumpUntil([&] { return requests.load() >= 1; }));
    pumpPending();
    release.set_value();
    ASSERT_TRUE(pumpUntil([&] { return one.done() && two.done(); }, 10));

    EXPECT_EQ(one.completions, 1);
    EXPECT_EQ(two.completions, 1);
    EXPECT_EQ(requests.load(), 1);
    EXPECT_EQ(platform::FileManager::fileSize(path), body.size());
    EXPECT_TRUE(readFile(path) == body);
}

TEST_F(VideoDownloaderTest, CancelBeforeAndDuringTheTransferCallsNoBlock) {
    // Before: the queue finishes it without a request.
    RawServer server([&](RawServer::Connection& c) {
        if (c.readRequest().empty()) return;
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 10000000\r\n\r\n");
        c.sendFiller(64 * 1024);
        c.waitForPeerClose(5);
    });
    auto before = downloader_->downloadVideoToFile(server.url("/v.mp4"), cachesFile("before.mp4").string());
    Outcome beforeOutcome;
    beforeOutcome.attach(before);
    before->cancel();
    ASSERT_TRUE(pumpUntil([&] { return before->isFinished(); }));

    // During: cancelled at its first progress report.
    auto during = downloader_->downloadVideoToFile(server.url("/v.mp4"), cachesFile("during.mp4").string());
    Outcome duringOutcome;
    duringOutcome.attach(during);
    during->onDownloadProgressChanged([&](double) { during->cancel(); });
    ASSERT_TRUE(pumpUntil([&] { return during->isFinished(); }, 10));
    EXPECT_TRUE(server.waitForFinished(1));

    for (const auto& [operation, outcome] : {std::pair{before, &beforeOutcome}, std::pair{during, &duringOutcome}}) {
        EXPECT_TRUE(operation->isCancelled());
        EXPECT_FALSE(operation->error());
        EXPECT_EQ(outcome->completions + outcome->failures, 0);
    }
    EXPECT_EQ(server.connectionsAccepted(), 1u);

    // Cancels racing the queue's start from another thread: every one of
    // them finishes and gives its queue slot back.
    std::vector<std::shared_ptr<BKNetworkOperation>> raced;
    for (int i = 0; i < 12; ++i)
        raced.push_back(
            downloader_->downloadVideoToFile(server.url("/r" + std::to_string(i)), cachesFile("r.mp4").string()));
    std::thread canceller([&] {
        for (auto& operation : raced) operation->cancel();
    });
    canceller.join();
    auto queue = BKNetworkEngine::sharedOperationQueue();
    EXPECT_TRUE(pumpUntil(
        [&] {
            return queue->operationCount() == 0 &&
                   std::all_of(raced.begin(), raced.end(), [](auto& o) { return o->isFinished(); });
        },
        10));
}

TEST_F(VideoDownloaderTest, StatusesOtherThanSuccessReachTheErrorBlocks) {
    LoopbackServer server;
    server.server().Get(R"(/status/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        response.status = std::stoi(request.matches[1]);
        if (response.status != 304) response.set_content("page " + request.matches[1].str(), "text/plain");
    });
    closeAfterEachResponse(server);
    server.start();
    auto engine = BKNetworkEngine::initWithHostNameCustomHeaderFields(std::nullopt);
    for (const int status : {200, 300, 304, 404, 500}) {
        SCOPED_TRACE(status);
        auto operation = engine->operationWithURLString(server.url("/status/" + std::to_string(status)));
        Outcome outcome;
        outcome.attach(operation);
        engine->enqueueOperation(operation);
        ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }, 10));
        EXPECT_EQ(operation->HTTPStatusCode(), status);
        if (status == 200) {
            EXPECT_EQ(outcome.completions, 1);
            EXPECT_EQ(operation->responseString(), "page 200");
            continue;
        }
        EXPECT_EQ(outcome.completions, 0);
        EXPECT_EQ(outcome.failures, 1);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->domain(), Error::kURLErrorDomain);
        EXPECT_EQ(outcome.error->code(), status);
        if (status >= 400) {
            EXPECT_EQ(operation->responseString(), "page " + std::to_string(status));
        }
    }
}

// A download that fails while the application is in the background tells the
// user through a local notification, when the operation asks for one.
TEST_F(VideoDownloaderTest, AFailureInTheBackgroundIsAnnouncedByALocalNotification) {
    LoopbackServer server;
    server.server().Get("/gone.mp4", [](const httplib::Request&, httplib::Response& response) {
        response.status = 404;
        response.set_content("no such video", "text/plain");
    });
    closeAfterEachResponse(server);
    server.start();
    using platform::Application;
    using platform::LocalNotification;
    using platform::LocalNotificationCenter;
    LocalNotification own;
    own.setAlertBody("Your video could not be saved");
    own.setAlertAction("Open");
    struct Case {
        const char* name;
        bool background;
        bool showDefault;
        bool withOwn;
        int presented;  // 0 none, 1 the default one, 2 the operation's own
    };
    const Case cases[] = {
        {"default in the background", true, true, false, 1},
        {"own in the background", true, true, true, 2},
        {"nothing asked for", true, false, false, 0},
        {"in the foreground", false, true, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Application::reset();
        if (c.background) Application::sharedApplication()->enterBackground();
        auto operation = downloader_->downloadVideoToFile(server.url("/gone.mp4"), cachesFile("gone.mp4").string());
        operation->setShouldShowLocalNotificationOnError(c.showDefault);
        if (c.withOwn) operation->setLocalNotification(std::make_shared<LocalNotification>(own));
        Outcome outcome;
        outcome.attach(operation);
        ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }, 10));
        ASSERT_TRUE(outcome.error);
        const auto presented = LocalNotificationCenter::presentedNotifications();
        if (c.presented == 0) {
            EXPECT_TRUE(presented.empty());
            continue;
        }
        ASSERT_EQ(presented.size(), 1u);
        if (c.presented == 2) {
            EXPECT_EQ(presented[0].notification, own);
            continue;
        }
        EXPECT_EQ(presented[0].notification.alertBody(), outcome.error->localizedDescription());
        EXPECT_EQ(presented[0].notification.alertAction(), std::optional<std::string>("Dismiss"));
    }
    Application::reset();
}

TEST_F(VideoDownloaderTest, CachedBodiesServeFreshAndRevalidateWhenExpired) {
    std::mutex mutex;
    std::vector<std::string> conditions;  // "If-None-Match" of each request
    LoopbackServer server;
    server.server().Get("/feed", [&](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(mutex);
        conditions.push_back(request.get_header_value("If-None-Match"));
        if (request.get_header_value("If-None-Match") == "\"v1\"") {
            response.status = 304;
            return;
        }
        response.set_header("ETag", "\"v1\"");
        response.set_header("Cache-Control", "max-age=60");
        response.set_content("feed body", "text/plain");
    });
    closeAfterEachResponse(server);
    server.start();
    auto engine = BKNetworkEngine::initWithHostNameCustomHeaderFields(std::nullopt);
    engine->useCache();
    auto fetch = [&](Outcome& outcome, bool awaitFinish) {
        auto operation = engine->operationWithURLString(server.url("/feed"));
        outcome.attach(operation);
        engine->enqueueOperation(operation);
        EXPECT_TRUE(pumpUntil([&] { return outcome.done() && (!awaitFinish || operation->isFinished()); }, 10));
        return operation;
    };
    auto requests = [&] {
        std::lock_guard lock(mutex);
        return conditions.size();
    };

    Outcome first;
    EXPECT_FALSE(fetch(first, true)->isCachedResponse());
    EXPECT_EQ(requests(), 1u);

    // Fresh: served from the cache, the network untouched.
    Outcome fresh;
    auto cached = fetch(fresh, false);
    EXPECT_TRUE(cached->isCachedResponse());
    EXPECT_EQ(cached->responseString(), "feed body");
    pumpPending();
    EXPECT_EQ(requests(), 1u);

    // Expired: the cached body first, then a conditional request whose 304
    // is the engine's own business (no error block).
    advanceClock(120);
    Outcome stale;
    auto revalidated = fetch(stale, true);
    EXPECT_EQ(stale.completions, 1);
    EXPECT_EQ(stale.failures, 0);
    ASSERT_EQ(requests(), 2u);
    EXPECT_EQ(conditions.back(), "\"v1\"");
    EXPECT_EQ(revalidated->HTTPStatusCode(), 304);
}

TEST_F(VideoDownloaderTest, RedirectsCarryCredentialsOnlyToTheSameServer) {
    LoopbackServer other;
    std::mutex mutex;
    std::vector<std::string> seen;  // "<host> <method> <authorization> <body>"
    auto record = [&](const std::string& where) {
        return [&, where](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            seen.push_back(where + " " + request.method + " " + request.get_header_value("Authorization") + " " +
                           request.body);
            response.set_content("ok", "text/plain");
        };
    };
    other.server().Get("/target", record("other"));
    closeAfterEachResponse(other);
    other.start();
    LoopbackServer server;
    server.server().Get("/target", record("same"));
    server.server().Post("/target", record("same"));
    server.server().Get("/away", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(other.url("/target", "localhost"), 302);
    });
    server.server().Get(
        "/home", [](const httplib::Request&, httplib::Response& response) { response.set_redirect("/target", 302); });
    server.server().Post("/see-other", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/target", 303);
    });
    closeAfterEachResponse(server);
    server.start();

    auto engine = BKNetworkEngine::initWithHostNameCustomHeaderFields(std::nullopt);
    auto run = [&](const std::string& path, const std::string& method) {
        std::optional<platform::Value::Dictionary> fields;
        if (method == "POST") fields = platform::Value::Dictionary{{"a", platform::Value("1")}};
        auto operation = engine->operationWithURLStringParamsHttpMethod(server.url(path), fields, method);
        operation->setUsernamePasswordBasicAuth("user", "secret", true);
        Outcome outcome;
        outcome.attach(operation);
        engine->enqueueOperation(operation);
        EXPECT_TRUE(pumpUntil([&] { return outcome.done(); }, 10));
        EXPECT_EQ(outcome.completions, 1);
        std::lock_guard lock(mutex);
        return seen.empty() ? std::string() : seen.back();
    };
    const std::string basic = "Basic dXNlcjpzZWNyZXQ=";
    EXPECT_EQ(run("/away", "GET"), "other GET  ");
    EXPECT_EQ(run("/home", "GET"), "same GET " + basic + " ");
    // "See other" fetches the new resource: no method or body replayed.
    EXPECT_EQ(run("/see-other", "POST"), "same GET " + basic + " ");
}

TEST_F(VideoDownloaderTest, AnUntrustedServerIsRefusedUnlessItsCertificateIsTrusted) {
    TestCA ca(home());
    auto leaf = ca.selfSigned({"localhost"}, "self");
    LoopbackServer selfSigned(leaf.certificateFile, leaf.privateKeyFile);
    std::atomic<int> served{0};
    selfSigned.server().Get("/v.mp4", [&](const httplib::Request&, httplib::Response& response) {
        ++served;
        response.set_content("secret video", "video/mp4");
    });
    closeAfterEachResponse(selfSigned);
    selfSigned.start();
    auto refused = downloader_->downloadVideoToFile(selfSigned.url("/v.mp4"), cachesFile("self.mp4").string());
    Outcome refusedOutcome;
    refusedOutcome.attach(refused);
    ASSERT_TRUE(pumpUntil([&] { return refusedOutcome.done(); }, 10));
    EXPECT_EQ(refusedOutcome.completions, 0);
    ASSERT_TRUE(refusedOutcome.error);
    EXPECT_EQ(refusedOutcome.error->domain(), Error::kURLErrorDomain);
    EXPECT_LE(refusedOutcome.error->code(), Error::kURLErrorSecureConnectionFailed);
    EXPECT_EQ(served.load(), 0);

    ca.trust();
    LoopbackServer trusted(ca.server().certificateFile, ca.server().privateKeyFile);
    trusted.server().Get("/v.mp4", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("trusted video", "video/mp4");
    });
    closeAfterEachResponse(trusted);
    trusted.start();
    const auto path = cachesFile("trusted.mp4");
    auto accepted = downloader_->downloadVideoToFile(trusted.url("/v.mp4"), path.string());
    Outcome acceptedOutcome;
    acceptedOutcome.attach(accepted);
    ASSERT_TRUE(pumpUntil([&] { return acceptedOutcome.done(); }, 10));
    EXPECT_EQ(acceptedOutcome.completions, 1);
    EXPECT_EQ(readFile(path), "trusted video");
}

TEST_F(VideoDownloaderTest, QueueWidthFollowsTheHostsNetworkAndTheMonitorStopsWithTheEngine) {
    const std::string host = "downloads.test";
    NR::setFlagsOverride(host, NR::kReachable);
    auto engine = BKNetworkEngine::initWithHostNameCustomHeaderFields(host);
    std::vector<ReachabilityStatus> statuses;
    engine->setReachabilityChangedHandler([&](ReachabilityStatus status) { statuses.push_back(status); });
    auto queue = BKNetworkEngine::sharedOperationQueue();
    EXPECT_EQ(queue->maxConcurrentOperationCount(), 6);

    NR::setFlagsOverride(host, NR::kReachable | NR::kIsWWAN);
    EXPECT_TRUE(pumpUntil([&] { return queue->maxConcurrentOperationCount() == 2; }));
    EXPECT_TRUE(engine->isReachable());
    NR::setFlagsOverride(host, NR::kReachable);
    EXPECT_TRUE(pumpUntil([&] { return queue->maxConcurrentOperationCount() == 6; }));
    NR::setFlagsOverride(host, 0);
    EXPECT_TRUE(pumpUntil([&] { return !statuses.empty() && statuses.back() == ReachabilityStatus::Unreachable; }));
    EXPECT_FALSE(engine->isReachable());
    ASSERT_GE(statuses.size(), 3u);
    EXPECT_EQ(std::vector<ReachabilityStatus>(statuses.end() - 3, statuses.end()),
              (std::vector<ReachabilityStatus>{ReachabilityStatus::ViaCellular, ReachabilityStatus::ViaWiFi,
                                               ReachabilityStatus::Unreachable}));

    // The engine's monitor does not outlive it.
    std::weak_ptr<Reachability> monitor = engine->reachability();
    engine.reset();
    EXPECT_TRUE(pumpUntil([&] { return monitor.expired(); }));
}

TEST_F(VideoDownloaderTest, FrozenOperationsSurviveAnEngineRestartWithoutTheirPassword) {
    const std::string password = "correct horse battery staple";
    std::mutex mutex;
    std::vector<std::string> accepted;
    LoopbackServer server;
    server.server().Post("/upload", [&](const httplib::Request& request, httplib::Response& response) {
        const std::string expected = "Basic dXNlcjpjb3JyZWN0IGhvcnNlIGJhdHRlcnkgc3RhcGxl";
        if (request.get_header_value("Authorization") != expected) {
            response.status = 401;
            response.set_header("WWW-Authenticate", "Basic realm=\"uploads\"");
            return;
        }
        std::lock_guard lock(mutex);
        accepted.push_back(request.body);
        response.set_content("stored", "text/plain");
    });
    closeAfterEachResponse(server);
    server.start();

    const std::string host = "127.0.0.1";
    NR::setFlagsOverride(host, 0);
    auto engine = BKNetworkEngine::initWithHostNameCustomHeaderFields(host);
    engine->useCache();
    auto operation = engine->operationWithURLStringParamsHttpMethod(
        server.url("/upload"), platform::Value::Dictionary{{"title", platform::Value("my video")}}, "POST");
    operation->setUsernamePasswordBasicAuth("user", password, true);
    operation->setFreezable(true);
    Outcome outcome;
    outcome.attach(operation);
    engine->enqueueOperation(operation);

    // The host is unreachable: the operation goes to disk and is cancelled.
    const auto frozen = BKNetworkEngine::cacheDirectoryName() /
                        (operation->uniqueIdentifier() + "." + BKNetworkOperation::kFrozenExtension);
    ASSERT_TRUE(pumpUntil([&] { return operation->isCancelled() && platform::FileManager::fileExists(frozen); }));
    const std::string archive = readFile(frozen);
    EXPECT_EQ(archive.find(password), std::string::npos);
    EXPECT_EQ(archive.find("dXNlcjpjb3JyZWN0"), std::string::npos);  // nor its Base64
    EXPECT_NE(archive.find("user"), std::string::npos);
    EXPECT_EQ(outcome.completions + outcome.failures, 0);
    engine.reset();

    // A new engine for the host: when the host comes back the operation is
    // thawed and sent, its password coming from the credential storage.
    auto restarted = BKNetworkEngine::initWithHostNameCustomHeaderFields(host);
    NR::setFlagsOverride(host, NR::kReachable);
    ASSERT_TRUE(pumpUntil(
        [&] {
            std::lock_guard lock(mutex);
            return !accepted.empty();
        },
        10));
    EXPECT_EQ(accepted.front(), "title=my%20video");
    EXPECT_FALSE(platform::FileManager::fileExists(frozen));
}

}  // namespace
}  // namespace clipora::test
