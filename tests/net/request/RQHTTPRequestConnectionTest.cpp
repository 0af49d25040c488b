#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "net/request/RQError.h"
#include "net/request/RQHTTPRequest.h"
#include "platform/cfnetwork/HTTPReadStream.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/FileManager.h"
#include "tests/net/request/RequestTestSupport.h"
#include "tests/support/RawServer.h"

namespace clipora::test {
namespace {

std::string response(const std::string& body, const std::string& extra = {}) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra + "\r\n" + body;
}

std::size_t countPrefix(const std::vector<std::string>& heads, const std::string& prefix) {
    std::size_t n = 0;
    for (const auto& head : heads) n += head.rfind(prefix, 0) == 0;
    return n;
}

class ConnectionTest : public RequestTest {};

TEST_F(ConnectionTest, SequentialRequestsShareOneConnection) {
    RawServer server([](RawServer::Connection& c) {
        while (!c.readRequest().empty()) c.send(response("ok"));
    });
    auto first = get(server.url("/a"));
    ASSERT_TRUE(runAsync(first));
    auto second = get(server.url("/b"));
    ASSERT_TRUE(runAsync(second));
    EXPECT_EQ(text(second->responseData()), "ok");
    ASSERT_TRUE(first->connectionID());
    EXPECT_EQ(first->connectionID(), second->connectionID());
    EXPECT_EQ(server.connectionsAccepted(), 1u);
    // A request that validates certificates differently, or goes through a
    // proxy, never takes that connection.
    auto unverified = get(server.url("/c"));
    unverified->setValidatesSecureCertificate(false);
    ASSERT_TRUE(runAsync(unverified));
    EXPECT_NE(unverified->connectionID(), first->connectionID());

    // "close" is never reused; another port gets a record of its own.
    RawServer closing([](RawServer::Connection& c) {
        c.readRequest();
        c.send(response("bye", "Connection: close\r\n"));
    });
    auto third = get(closing.url("/c"));
    ASSERT_TRUE(runAsync(third));
    EXPECT_NE(third->connectionID(), first->connectionID());
    EXPECT_FALSE(third->connectionCanBeReused());
    auto fourth = get(closing.url("/d"));
    ASSERT_TRUE(runAsync(fourth));
    EXPECT_EQ(closing.connectionsAccepted(), 2u);
}

TEST_F(ConnectionTest, KeepAliveParameters) {
    struct Case {
        const char* header;
        bool reusable;
        double seconds;
    };
    for (const Case& c : {Case{"Keep-Alive: timeout=15, max=100\r\n", true, 15},
                          Case{"Keep-Alive: timeout=15, max=5\r\n", false, 60}, Case{"", true, 60}}) {
        SCOPED_TRACE(c.header);
        RawServer server([&c](RawServer::Connection& conn) {
            conn.readRequest();
            conn.send(response("x", c.header));
            conn.waitForPeerClose(2);
        });
        auto request = get(server.url("/"));
        ASSERT_TRUE(runAsync(request));
        EXPECT_EQ(request->connectionCanBeReused(), c.reusable);
        EXPECT_EQ(request->persistentConnectionTimeoutSeconds(), c.seconds);
    }
}

TEST_F(ConnectionTest, ReusedConnectionClosedByTheServerIsRetriedOnceButAPostIsNotSentTwice) {
    // The first connection answers one request, then takes the next one and
    // closes without a word; later connections answer normally.
    RawServer server([](RawServer::Connection& c) {
        if (c.readRequest().empty()) return;
        c.send(response("first"));
        if (c.index() == 0) {
            c.readRequest();
            c.close();
            return;
        }
        while (!c.readRequest().empty()) c.send(response("again"));
    });
    auto first = get(server.url("/1"));
    ASSERT_TRUE(runAsync(first));
    auto second = get(server.url("/2"));
    ASSERT_TRUE(runAsync(second));
    ASSERT_FALSE(second->error()) << second->error()->localizedDescription();
    EXPECT_EQ(text(second->responseData()), "first");
    EXPECT_EQ(second->retryCount(), 1);
    EXPECT_EQ(server.connectionsAccepted(), 2u);

    RawServer postServer([](RawServer::Connection& c) {
        if (c.readRequest().empty()) return;
        c.send(response("first"));
        c.readRequest();
        c.close();
    });
    auto warmUp = get(postServer.url("/1"));
    ASSERT_TRUE(runAsync(warmUp));
    auto post = get(postServer.url("/upload"));
    post->appendPostData(bytes("wall post"));
    ASSERT_TRUE(runAsync(post));
    ASSERT_TRUE(post->error());
    EXPECT_TRUE(RQError::is(*post->error(), RQError::kConnectionFailure));
    EXPECT_EQ(countPrefix(postServer.requests(), "POST "), 1u);

    // A fresh connection that breaks is not retried either.
    RawServer breaking([](RawServer::Connection& c) {
        c.readRequest();
        c.reset();
    });
    auto fresh = get(breaking.url("/x"));
    ASSERT_TRUE(runAsync(fresh));
    ASSERT_TRUE(fresh->error());
    EXPECT_TRUE(RQError::is(*fresh->error(), RQError::kConnectionFailure));
    EXPECT_EQ(breaking.connectionsAccepted(), 1u);
}

TEST_F(ConnectionTest, RetryOnANewConnectionSendsTheSameBodyFromItsFile) {
    // The first connection answers a request, then reads only the head of
    // the next one and drops; later connections read the whole upload.
    const std::string body(1 << 20, 'u');
    std::atomic<std::size_t> receivedBodyBytes{0};
    RawServer server([&](RawServer::Connection& c) {
        if (c.index() == 0) {
            if (c.readRequest().empty()) return;
            c.send(response("first"));
            c.readSome(256);
            c.reset();
            return;
        }
        const std::string request = c.readRequest();
        const auto bodyAt = request.find("\r\n\r\n");
        receivedBodyBytes = bodyAt == std::string::npos ? 0 : request.size() - bodyAt - 4;
        c.send(response("stored"));
    });
    auto warmUp = get(server.url("/1"));
    ASSERT_TRUE(runAsync(warmUp));
    auto upload = get(server.url("/upload"));
    upload->setRequestMethod("PUT");
    upload->setShouldStreamPostDataFromDisk(true);
    upload->appendPostData(bytes(body));
    const std::string bodyFile = upload->postBodyFilePath();
    ASSERT_TRUE(runAsync(upload, 20));
    ASSERT_FALSE(upload->error()) << upload->error()->localizedDescription();
    EXPECT_EQ(upload->retryCount(), 1);
    EXPECT_EQ(text(upload->responseData()), "stored");
    EXPECT_EQ(receivedBodyBytes.load(), body.size());
    EXPECT_FALSE(std::filesystem::exists(bodyFile)) << "the request's own body file goes when it ends";
}

TEST_F(ConnectionTest, TimeOutRetryRewritesTheFile) {
    // The first connection stalls half way; the retry gets the whole body
    // from the start (no Range support), and the file holds only that.
    RawServer server([](RawServer::Connection& c) {
        c.readRequest();
        if (c.index() == 0) {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n");
            c.sendFiller(5000, 'a');
            c.waitForPeerClose(5);
            return;
        }
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n");
        c.sendFiller(10000, 'b');
    });
    const auto destination = home() / "Documents" / "video.mp4";
    auto request = get(server.url("/video"));
    request->setDownloadDestinationPath(destination.string());
    request->setTimeOutSeconds(5);
    request->setNumberOfTimesToRetryOnTimeout(1);
    request->startAsynchronous();
    ASSERT_TRUE(pumpUntil([&] { return request->totalBytesRead() == 5000; }));
    advanceClock(6);
    ASSERT_TRUE(pumpUntil([&] { return request->isFinished(); }));
    ASSERT_FALSE(request->error()) << request->error()->localizedDescription();
    EXPECT_EQ(request->retryCount(), 1);
    EXPECT_EQ(fileText(destination), std::string(10000, 'b'));
    EXPECT_EQ(server.connectionsAccepted(), 2u);
}

TEST_F(ConnectionTest, TimeOutWithoutRetriesLeftIsCode2) {
    RawServer server([](RawServer::Connection& c) {
        c.readRequest();
        c.waitForPeerClose(5);
    });
    auto request = get(server.url("/slow"));
    request->setNumberOfTimesToRetryOnTimeout(2);
    request->startAsynchronous();
    for (std::size_t connections = 1; connections <= 3; ++connections) {
        std::shared_ptr<platform::HTTPReadStream> attempt;
        ASSERT_TRUE(pumpUntil([&] {
            attempt = request->readStream();
            return attempt && server.connectionsAccepted() >= connections;
        }));
        // An attempt starts its idle time when its stream is scheduled on the
        // request's thread, which can come after the server has accepted it,
        // so a single step of the clock could land before that and be lost.
        // Step it whenever this attempt has been idle for less than the limit,
        // until the attempt ends; never once the next attempt is under way.
        ASSERT_TRUE(pumpUntil([&] {
            if (request->isFinished() || request->readStream() != attempt) return true;
            const auto last = request->lastActivityTime();
            if (last && platform::Date::now().timeIntervalSince(*last) <= request->timeOutSeconds()) advanceClock(11);
            return false;
        }));
    }
    ASSERT_TRUE(pumpUntil([&] { return request->isFinished(); }));
    ASSERT_TRUE(request->error());
    EXPECT_TRUE(RQError::is(*request->error(), RQError::kRequestTimedOut));
    EXPECT_EQ(request->error()->localizedDescription(), "The request timed out");
    EXPECT_EQ(server.connectionsAccepted(), 3u);
}

TEST_F(ConnectionTest, ResumeByRange) {
    const auto destination = home() / "Documents" / "movie.bin";
    const auto partial = home() / "tmp" / "movie.partial";
    const std::string whole = std::string(1000, 'x') + std::string(3000, 'y');
    {
        std::ofstream out(partial, std::ios::binary);
        out << whole.substr(0, 1000);
    }
    std::atomic<bool> honourRange{true};
    RawServer server([&](RawServer::Connection& c) {
        const std::string head = c.readRequest();
        if (honourRange && head.find("\r\nRange: bytes=1000-\r\n") != std::string::npos) {
            c.send(
                "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-3999/4000\r\nContent-Length: 3000\r\n\r\n" +
                whole.substr(1000));
        } else {
            c.send(response(whole));
        }
    });
    auto request = get(server.url("/movie"));
    request->setDownloadDestinationPath(destination.string());
    request->setTemporaryFileDownloadPath(partial.string());
    request->setAllowResumeForFileDownloads(true);
    auto progress = std::make_shared<RequestRecorder>("progress");
    request->setDownloadProgressDelegate(progress);
    ASSERT_TRUE(runAsync(request));
    ASSERT_FALSE(request->error());
    EXPECT_EQ(request->partialDownloadSize(), 1000u);
    EXPECT_EQ(fileText(destination), whole);

    // A server that ignores Range: the file is written from the start and
    // the total corrected.
    honourRange = false;
    {
        std::ofstream out(partial, std::ios::binary);
        out << whole.substr(0, 1000);
    }
    auto again = get(server.url("/movie"));
    again->setDownloadDestinationPath(destination.string());
    again->setTemporaryFileDownloadPath(partial.string());
    again->setAllowResumeForFileDownloads(true);
    auto totals = std::make_shared<RequestRecorder>("progress");
    again->setDownloadProgressDelegate(totals);
    ASSERT_TRUE(runAsync(again));
    ASSERT_FALSE(again->error());
    EXPECT_EQ(again->partialDownloadSize(), 0u);
    EXPECT_EQ(fileText(destination), whole);
    ASSERT_TRUE(pumpUntil([&] { return totals->downloadSize == 4000; }));
}

}  // namespace
}  // namespace clipora::test
