#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "net/request/RQBandwidthThrottle.h"
#include "net/request/RQError.h"
#include "net/request/RQHTTPRequest.h"
#include "net/request/RQInputStream.h"
#include "net/request/RQProxyResolver.h"
#include "platform/cfnetwork/ProxySettings.h"
#include "platform/foundation/Thread.h"
#include "platform/system/NetworkReachability.h"
#include "tests/net/request/RequestTestSupport.h"
#include "tests/support/RawServer.h"

namespace clipora::test {
namespace {

using platform::Text;

class BehaviourTest : public RequestTest {};

TEST_F(BehaviourTest, ContentTypeCharsets) {
    struct Case {
        const char* contentType;
        Text::Encoding expected;
        const char* mime;
    };
    for (const Case& c :
         {Case{"text/html; charset=UTF-8", Text::Encoding::UTF8, "text/html"},
          Case{" text/plain ; Charset=\"utf-8\"", Text::Encoding::UTF8, "text/plain"},
          Case{"text/plain;format=flowed; CHARSET = windows-1252", Text::Encoding::WindowsCP1252, "text/plain"},
          Case{"text/plain; charset=klingon", Text::Encoding::ISOLatin1, "text/plain"},
          Case{" application/json ", Text::Encoding::ISOLatin1, "application/json"}}) {
        std::string mime;
        Text::Encoding encoding = Text::Encoding::ISOLatin1;
        RQHTTPRequest::parseMimeTypeAndResponseEncodingFromContentType(&mime, &encoding, std::string(c.contentType));
        EXPECT_EQ(encoding, c.expected) << c.contentType;
        EXPECT_EQ(mime, c.mime) << c.contentType;
    }
}

TEST_F(BehaviourTest, ContentLengthIsDecimal) {
    // "0100" is a hundred bytes, not sixty-four.
    RawServer server([](RawServer::Connection& c) {
        c.readRequest();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 0100\r\n\r\n" + std::string(100, 'o'));
    });
    auto octal = get(server.url("/octal"));
    auto progress = std::make_shared<RequestRecorder>("progress");
    octal->setDownloadProgressDelegate(progress);
    ASSERT_TRUE(runAsync(octal));
    EXPECT_EQ(octal->contentLength(), 100u);
    EXPECT_EQ(octal->rawResponseData()->size(), 100u);
    ASSERT_TRUE(pumpUntil([&] { return progress->downloadSize == 100 && progress->bytesReceived == 100; }));
}

TEST_F(BehaviourTest, UploadProgressAndEmptyBodies) {
    LoopbackServer server;
    server.server().Post("/up", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(std::to_string(req.body.size()), "application/octet-stream");
    });
    server.server().Get("/nothing", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("", "application/octet-stream");
    });
    server.start();
    auto upload = get(server.url("/up"));
    upload->appendPostData(platform::Data(300000, 'u'));
    auto progress = std::make_shared<RequestRecorder>("up");
    upload->setUploadProgressDelegate(progress);
    ASSERT_TRUE(runAsync(upload));
    EXPECT_EQ(text(upload->responseData()), "300000");
    ASSERT_TRUE(
        pumpUntil([&] { return !progress->progressValues.empty() && progress->progressValues.back() == 1.0f; }));
    EXPECT_EQ(progress->bytesSent, progress->uploadSize);
    EXPECT_GT(progress->uploadSize, 0);

    // Nothing to send and nothing to receive: both ends report 1.0, never
    // 0/0.
    auto empty = get(server.url("/nothing"));
    auto up = std::make_shared<RequestRecorder>("up");
    auto down = std::make_shared<RequestRecorder>("down");
    empty->setUploadProgressDelegate(up);
    empty->setDownloadProgressDelegate(down);
    ASSERT_TRUE(runAsync(empty));
    ASSERT_TRUE(pumpUntil([&] {
        return !up->progressValues.empty() && up->progressValues.back() == 1.0f && !down->progressValues.empty() &&
               down->progressValues.back() == 1.0f;
    }));
    for (float value : up->progressValues) EXPECT_FALSE(std::isnan(value));
    for (float value : down->progressValues) EXPECT_FALSE(std::isnan(value));
}

TEST_F(BehaviourTest, DownloadThrottlingKeepsToTheLimitPerSecond) {
    constexpr std::uint64_t kLimit = 20000;
    LoopbackServer server;
    server.server().Get("/data", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(90000, 'd'), "application/octet-stream");
    });
    server.start();
    RQHTTPRequest::setMaxBandwidthPerSecond(kLimit);
    RQHTTPRequest::measureBandwidthUsage();  // the first window opens now
    auto request = get(server.url("/data"));
    request->startAsynchronous();
    std::vector<std::uint64_t> perSecond;
    std::uint64_t before = 0;
    for (int second = 0; second < 10 && !request->isFinished(); ++second) {
        // The clock stands still: the request reads its second's worth and
        // sleeps until the clock moves on.
        pumpUntil([&] {
            return request->isFinished() ||
                   (RQBandwidthThrottle::shared().isSleeping() && request->totalBytesRead() > before);
        });
        const std::uint64_t now = request->totalBytesRead();
        perSecond.push_back(now - before);
        before = now;
        advanceClock(1.01);
    }
    ASSERT_TRUE(pumpUntil([&] { return request->isFinished(); }));
    EXPECT_EQ(request->totalBytesRead(), 90000u);
    ASSERT_GE(perSecond.size(), 4u);
    for (std::size_t i = 0; i + 1 < perSecond.size(); ++i) {
        EXPECT_LE(perSecond[i], kLimit + kLimit / 20) << i;
        EXPECT_GE(perSecond[i], kLimit / 2) << i;
    }
}

TEST_F(BehaviourTest, BodyStreamReadsWithinTheUploadAllowance) {
    auto request = get("http://127.0.0.1:9/");
    auto body = RQInputStream::inputStreamWithDataRequest(platform::Data(100000, 'b'), request);
    body->open();
    std::vector<std::uint8_t> buffer(32768);
    // Not throttled: the length asked for, counted as asked.
    RQHTTPRequest::measureBandwidthUsage();
    EXPECT_EQ(body->read(buffer.data(), buffer.size()), 32768);
    EXPECT_EQ(RQBandwidthThrottle::shared().bytesUsedInCurrentWindow(), 32768u);
    // 14800 bytes a second, a fresh window: a quarter of it.
    RQHTTPRequest::setMaxBandwidthPerSecond(14800);
    advanceClock(1.1);
    RQHTTPRequest::measureBandwidthUsage();
    EXPECT_EQ(body->read(buffer.data(), buffer.size()), 3700);
    // The window's allowance used up: one byte at a time.
    RQHTTPRequest::incrementBandwidthUsedInLastSecond(20000);
    EXPECT_EQ(body->read(buffer.data(), buffer.size()), 1);
    body->close();
}

TEST_F(BehaviourTest, SynchronousRequestsNeverHangOnCancel) {
    RawServer stalled([](RawServer::Connection& c) {
        c.readRequest();
        c.waitForPeerClose(10);
    });
    // On another thread, cancelled from the main thread.
    auto request = get(stalled.url("/stall"));
    std::atomic<bool> returned{false};
    platform::Thread::detach([request, &returned] {
        request->startSynchronous();
        returned = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return stalled.connectionsAccepted() == 1; }));
    request->cancel();
    ASSERT_TRUE(pumpUntil([&] { return returned.load(); }));
    ASSERT_TRUE(request->error());
    EXPECT_TRUE(RQError::is(*request->error(), RQError::kRequestCancelled));
    EXPECT_EQ(request->error()->localizedDescription(), "The request was cancelled");

    // On the main thread, cancelled from another thread.
    auto onMain = get(stalled.url("/stall2"));
    std::thread canceller([&] {
        while (stalled.connectionsAccepted() < 2) std::this_thread::yield();
        onMain->cancel();
    });
    onMain->startSynchronous();
    canceller.join();
    EXPECT_TRUE(onMain->isFinished());
    ASSERT_TRUE(onMain->error());
    EXPECT_TRUE(RQError::is(*onMain->error(), RQError::kRequestCancelled));

    // Waiting for credentials nobody gives: cancel still ends it.
    LoopbackServer locked;
    locked.server().Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"x\"");
    });
    locked.start();
    auto waiting = get(locked.url("/"));
    std::atomic<bool> asked{false};
    waiting->setAuthenticationNeededBlock([&asked] { asked = true; });
    std::atomic<bool> done{false};
    platform::Thread::detach([waiting, &done] {
        waiting->startSynchronous();
        done = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return asked.load(); }));
    waiting->cancel();
    ASSERT_TRUE(pumpUntil([&] { return done.load(); }));
    EXPECT_TRUE(RQError::is(*waiting->error(), RQError::kRequestCancelled));

    // Cancelled before it starts: the cancel alone reports the failure
    // (once, with code 4); starting it afterwards returns at once, finished,
    // without ever reaching the server or reporting again.
    auto early = get(stalled.url("/never"));
    std::vector<std::string> heard;
    early->setFailedBlock([&heard, request = early.get()] {
        heard.push_back(request->error() ? request->error()->localizedDescription() : "no error");
    });
    ASSERT_FALSE(early->error());
    early->cancel();
    ASSERT_TRUE(pumpUntil([&] { return !heard.empty(); }));
    EXPECT_TRUE(early->isCancelled());
    EXPECT_EQ(heard, std::vector<std::string>{"The request was cancelled"});
    ASSERT_FALSE(early->isFinished());
    early->startSynchronous();
    EXPECT_TRUE(early->isFinished());
    EXPECT_FALSE(early->isExecuting());
    ASSERT_TRUE(early->error());
    EXPECT_TRUE(RQError::is(*early->error(), RQError::kRequestCancelled));
    pumpPending();
    EXPECT_EQ(heard.size(), 1u) << "reported once";
    EXPECT_EQ(stalled.connectionsAccepted(), 2u);
}

TEST_F(BehaviourTest, ABodyThatCannotBeCopiedFailsTheRequest) {
    RawServer server([](RawServer::Connection& c) {
        c.readRequest();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    // A source that cannot be read.
    auto unreadable = get(server.url("/upload"));
    unreadable->appendPostDataFromFile((home() / "Documents" / "missing.mov").string());
    // A body file on a full disk.
    auto full = get(server.url("/upload"));
    full->setShouldStreamPostDataFromDisk(true);
    full->setPostBodyFilePath("/dev/full");
    full->appendPostData(bytes(std::string(1 << 16, 'f')));
    for (const auto& request : {unreadable, full}) {
        ASSERT_TRUE(runAsync(request));
        ASSERT_TRUE(request->error());
        EXPECT_TRUE(RQError::is(*request->error(), RQError::kFileManagement))
            << request->error()->localizedDescription();
    }
    EXPECT_EQ(server.connectionsAccepted(), 0u) << "nothing truncated is sent";
}

TEST_F(BehaviourTest, MobileNetworkThrottlingFollowsReachabilityChanges) {
    using NR = platform::NetworkReachability;
    NR::setFlagsOverride(NR::kReachable);
    RQHTTPRequest::setShouldThrottleBandwidthForWWAN(true);
    EXPECT_FALSE(RQHTTPRequest::isBandwidthThrottled()) << "Wi-Fi";
    NR::setFlagsOverride(NR::kReachable | NR::kIsWWAN);
    EXPECT_TRUE(pumpUntil([] { return RQHTTPRequest::isBandwidthThrottled(); })) << "cellular";
    NR::setFlagsOverride(NR::kReachable);
    EXPECT_TRUE(pumpUntil([] { return !RQHTTPRequest::isBandwidthThrottled(); })) << "Wi-Fi again";
    RQHTTPRequest::setShouldThrottleBandwidthForWWAN(false);
    NR::setFlagsOverride(NR::kReachable | NR::kIsWWAN);
    pumpPending();
    EXPECT_FALSE(RQHTTPRequest::isBandwidthThrottled()) << "no longer following";
    NR::clearFlagsOverrides();
}

TEST_F(BehaviourTest, AProxyScriptRunsOffTheNetworkThreadAndItsAnswerIsKept) {
    // The script takes a second and a half for one URL: the other requests
    // of the shared network thread must not wait for it.
    RawServer slowServer([](RawServer::Connection& c) {
        c.readRequest();
        c.waitForPeerClose(10);
    });
    RawServer quickServer([](RawServer::Connection& c) {
        while (!c.readRequest().empty()) c.send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nquick");
    });
    const auto script = home() / "slow.pac";
    {
        std::ofstream out(script);
        out << "function FindProxyForURL(url, host) {\n"
               "  if (url.indexOf(\"/slow\") >= 0) {\n"
               "    var start = new Date().getTime();\n"
               "    while (new Date().getTime() - start < 1500) {}\n"
               "  }\n"
               "  return \"DIRECT\";\n}\n";
    }
    auto settings = std::make_shared<platform::ProxySettings>();
    settings->pacURL = script.string();
    platform::ProxySettings::setSystemProxySettings(settings);

    auto slow = get(slowServer.url("/slow"));
    slow->startAsynchronous();
    ASSERT_TRUE(pumpUntil([&] { return slow->isExecuting(); }));
    auto quick = get(quickServer.url("/quick"));
    ASSERT_TRUE(runAsync(quick, 20));
    ASSERT_FALSE(quick->error()) << quick->error()->localizedDescription();
    EXPECT_EQ(text(quick->responseData()), "quick");
    EXPECT_EQ(slowServer.connectionsAccepted(), 0u) << "the quick request waited for the slow script";

    // The same script and URL again: the answer kept is used.
    const auto evaluations = RQProxyResolver::shared().evaluations();
    auto again = get(quickServer.url("/quick"));
    ASSERT_TRUE(runAsync(again, 20));
    EXPECT_EQ(text(again->responseData()), "quick");
    EXPECT_EQ(RQProxyResolver::shared().evaluations(), evaluations);
    EXPECT_FALSE(
        RQProxyResolver::answersMayBeKept("function FindProxyForURL(u, h) { "
                                          "return timeRange(8, 18) ? \"PROXY a:1\" : \"DIRECT\"; }"));

    slow->cancel();
    ASSERT_TRUE(pumpUntil([&] { return slow->isFinished(); }, 10));
}

TEST_F(BehaviourTest, ClearedDelegatesHearNothing) {
    RawServer slow([](RawServer::Connection& c) {
        c.readRequest();
        c.waitForPeerClose(10);
    });
    auto request = get(slow.url("/"));
    auto delegate = std::make_shared<RequestRecorder>();
    std::atomic<bool> blockCalled{false};
    request->setDelegate(delegate);
    request->setFailedBlock([&] { blockCalled = true; });
    request->startAsynchronous();
    ASSERT_TRUE(pumpUntil([&] { return slow.connectionsAccepted() == 1; }));
    request->clearDelegatesAndCancel();
    ASSERT_TRUE(pumpUntil([&] { return request->isFinished(); }));
    pumpPending();
    EXPECT_FALSE(delegate->saw("delegate:failed"));
    EXPECT_FALSE(blockCalled.load());
    // A finished request cannot be cancelled any more.
    request->cancel();
    pumpPending();
    EXPECT_TRUE(RQError::is(*request->error(), RQError::kRequestCancelled));
}

TEST_F(BehaviourTest, ProxiesFromSettingsAndScripts) {
    // A stand-in HTTP proxy: it answers whatever absolute-form request it
    // gets.
    RawServer proxy([](RawServer::Connection& c) {
        while (true) {
            const std::string head = c.readRequest();
            if (head.empty()) return;
            const std::string line = head.substr(0, head.find("\r\n"));
            c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(line.size()) + "\r\n\r\n" + line);
        }
    });
    LoopbackServer direct;
    direct.server().Get("/x", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("direct", "application/octet-stream");
    });
    direct.start();

    // System settings.
    auto settings = std::make_shared<platform::ProxySettings>();
    settings->httpProxy = platform::ProxyEntry{platform::ProxyEntry::Type::HTTP, "127.0.0.1", proxy.port(), {}};
    platform::ProxySettings::setSystemProxySettings(settings);
    auto viaSettings = get("http://video.example/clip?id=1");
    ASSERT_TRUE(runAsync(viaSettings));
    ASSERT_FALSE(viaSettings->error()) << viaSettings->error()->localizedDescription();
    EXPECT_EQ(text(viaSettings->responseData()), "GET http://video.example/clip?id=1 HTTP/1.1");
    EXPECT_EQ(viaSettings->proxyHost(), "127.0.0.1");

    // A request with its own proxy never asks the system.
    auto own = get(direct.url("/x"));
    own->setProxyHost("127.0.0.1");
    own->setProxyPort(proxy.port());
    ASSERT_TRUE(runAsync(own));
    EXPECT_EQ(text(own->responseData()), "GET " + direct.url("/x") + " HTTP/1.1");

    // A PAC file on disk.
    const auto script = home() / "proxy.pac";
    {
        std::ofstream out(script);
        out << "function FindProxyForURL(url, host) {\n"
               "  if (host == \"video.example\") return \"PROXY 127.0.0.1:"
            << proxy.port()
            << "\";\n"
               "  return \"DIRECT\";\n}\n";
    }
    auto pacSettings = std::make_shared<platform::ProxySettings>();
    pacSettings->pacURL = script.string();
    platform::ProxySettings::setSystemProxySettings(pacSettings);
    auto viaPAC = get("http://video.example/pac");
    ASSERT_TRUE(runAsync(viaPAC, 20));
    ASSERT_FALSE(viaPAC->error()) << viaPAC->error()->localizedDescription();
    EXPECT_EQ(text(viaPAC->responseData()), "GET http://video.example/pac HTTP/1.1");
    auto directByPAC = get(direct.url("/x"));
    ASSERT_TRUE(runAsync(directByPAC, 20));
    EXPECT_EQ(text(directByPAC->responseData()), "direct");

    // A "file" that never ends is given up: the request goes direct.
    auto endless = std::make_shared<platform::ProxySettings>();
    endless->pacURL = "/dev/zero";
    platform::ProxySettings::setSystemProxySettings(endless);
    auto notStuck = get(direct.url("/x"));
    ASSERT_TRUE(runAsync(notStuck, 20));
    EXPECT_EQ(text(notStuck->responseData()), "direct");
}

}  // namespace
}  // namespace clipora::test
