#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/cfnetwork/HTTPClientCore.h"
#include "platform/cfnetwork/HTTPStreamError.h"
#include "tests/platform/cfnetwork/ReadStreamHarness.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/RawServer.h"
#include "tests/support/TestCA.h"
#include "tests/support/TestHome.h"

namespace clipora::test {
namespace {

using platform::HTTPClientCore;
using platform::HTTPStreamError;
using platform::HTTPTransaction;
using platform::HTTPTransactionOptions;

class CountingObserver : public platform::HTTPTransactionObserver {
public:
    void httpTransactionChanged(HTTPTransaction& transaction) override {
        ++changes;
        readable = transaction.bytesAvailable();
    }
    std::atomic<int> changes{0};
    // What the latest notification found readable.
    std::atomic<std::size_t> readable{0};
};

class HTTPClientCoreTest : public PlatformTest {
protected:
    std::shared_ptr<HTTPTransaction> start(const std::string& url, HTTPTransactionOptions options = {}) {
        return HTTPClientCore::shared()->start(makeRequest("GET", url), std::move(options), observer_);
    }
    static bool finished(const std::shared_ptr<HTTPTransaction>& t) {
        return t->isComplete() || t->error().has_value();
    }
    std::shared_ptr<CountingObserver> observer_ = std::make_shared<CountingObserver>();
};

TEST_F(HTTPClientCoreTest, InactivityTimeOutFailsAStalledExchangeButNotASlowSteadyOne) {
    RawServer server([](RawServer::Connection& c) {
        c.readRequest();
        if (c.index() == 0) {
            c.send("HTTP/1.1 200 OK\r\nContent-Le");  // and then nothing
            c.waitForPeerClose();
            return;
        }
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n");
        for (char ch : std::string("steady")) {
            RawServer::Connection::pauseBriefly(0.05);
            c.send(std::string(1, ch));
        }
    });
    // The limit is twenty gaps of the steady reply, so a loaded machine does
    // not turn a steady exchange into a stalled one.
    HTTPTransactionOptions options;
    options.inactivityTimeout = 1.0;
    auto stalled = start(server.url(), options);
    ASSERT_TRUE(pumpUntil([&]() { return finished(stalled); }));
    ASSERT_TRUE(stalled->error());
    EXPECT_EQ(stalled->error()->domain(), HTTPStreamError::kPOSIXDomain);
    EXPECT_EQ(stalled->error()->code(), HTTPStreamError::kTimedOut);

    auto steady = start(server.url(), options);
    ASSERT_TRUE(pumpUntil([&]() { return finished(steady); }));
    EXPECT_FALSE(steady->error());
    std::uint8_t buffer[16];
    EXPECT_EQ(steady->read(buffer, sizeof buffer), 6);
    EXPECT_TRUE(steady->atEnd());

    // Over TLS a reply sent in one record can be handed on only when the
    // whole record is in; while it crosses a slow link its bytes keep the
    // exchange alive all the same.
    TestCA ca(home());
    ca.trust();
    const std::string body(4000, 'v');
    LoopbackServer tls(ca.server().certificateFile, ca.server().privateKeyFile);
    tls.server().Get(
        "/", [&](const httplib::Request&, httplib::Response& response) { response.set_content(body, "video/mp4"); });
    tls.server().set_keep_alive_max_count(1);
    tls.start();
    // The record takes about 3.2 s to cross, twice the time-out, while a
    // piece arrives every 0.04 s: far inside the limit even on a loaded or
    // instrumented run, yet only counting raw bytes keeps the exchange alive.
    RawServer slowLink([&](RawServer::Connection& c) { c.relayTo(tls.port(), 50, 0.04); });
    HTTPTransactionOptions slowOptions;
    slowOptions.inactivityTimeout = 1.5;
    auto slow = start("https://localhost:" + std::to_string(slowLink.port()) + "/", slowOptions);
    ASSERT_TRUE(pumpUntil([&]() { return finished(slow); }, 40));
    EXPECT_FALSE(slow->error()) << slow->error()->localizedDescription();
    std::string received(6000, '\0');
    const auto count = slow->read(reinterpret_cast<std::uint8_t*>(received.data()), received.size());
    ASSERT_EQ(count, static_cast<std::ptrdiff_t>(body.size()));
    received.resize(body.size());
    EXPECT_EQ(received, body);
}

TEST_F(HTTPClientCoreTest, CancelStopsAtOnceWithoutFurtherNews) {
    RawServer server([](RawServer::Connection& c) {
        c.readRequest();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsome");
        c.waitForPeerClose();
    });
    auto t = start(server.url());
    // Bytes are readable a moment before their news is told on the I/O
    // thread; the cancel waits for that news, so that no notification is
    // under way when it comes and any later one would be news after it.
    ASSERT_TRUE(pumpUntil([&]() { return observer_->readable == 4; }));
    t->cancel();
    int changes = observer_->changes;
    ASSERT_TRUE(server.waitForFinished(1));  // the connection was closed
    EXPECT_EQ(observer_->changes, changes);
    EXPECT_TRUE(t->isCancelled());
    EXPECT_FALSE(t->isComplete());
}

TEST_F(HTTPClientCoreTest, AServerTrustHandlerDecidesBeforeAnyRequestByteIsSent) {
    TestCA ca(home() / "tls");  // not trusted: the handler sees an untrusted chain
    LoopbackServer server(ca.server().certificateFile, ca.server().privateKeyFile);
    std::atomic<int> requests{0};
    server.server().Get("/", [&](const httplib::Request&, httplib::Response& response) {
        ++requests;
        response.set_content("trusted by the delegate", "text/plain");
    });
    server.start();
    for (bool proceed : {false, true}) {
        SCOPED_TRACE(proceed);
        std::atomic<bool> asked{false};
        HTTPTransactionOptions options;
        options.persistentConnection = false;
        options.serverTrustHandler = [&, proceed](const platform::TLSPeerTrust& trust,
                                                  std::function<void(bool)> answer) {
            EXPECT_FALSE(trust.trusted());
            EXPECT_EQ(trust.host, "localhost");
            EXPECT_FALSE(trust.certificateChain.empty());
            asked = true;
            answer(proceed);
        };
        auto t = start(server.url(), options);
        ASSERT_TRUE(pumpUntil([&]() { return finished(t); }));
        EXPECT_TRUE(asked);
        EXPECT_EQ(t->error().has_value(), !proceed);
        EXPECT_EQ(requests.load(), proceed ? 1 : 0);
    }
}

TEST_F(HTTPClientCoreTest, ATLSReadOutstandingWhenItsTransactionIsDroppedWritesIntoNoFreedBuffer) {
    // A body framed by its length goes from the TLS stream straight into the
    // transaction's buffer; the caller cancels and lets go of the
    // transaction while that read waits for the rest of the body.
    TestCA ca(home() / "tls");
    LoopbackServer server(ca.server().certificateFile, ca.server().privateKeyFile);
    std::atomic<bool> dropped{false};
    std::atomic<bool> holding{false};
    std::atomic<int> served{0};
    server.server().Get("/", [&](const httplib::Request&, httplib::Response& response) {
        // Each answer holds once, so a late call for the previous round's
        // answer cannot signal the next round.
        auto held = std::make_shared<bool>(false);
        response.set_content_provider(1 << 20, "application/octet-stream",
                                      [&, held](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          if (offset >= (64u << 10) && !*held) {
                                              // The rest comes only once the
                                              // caller has let go.
                                              *held = true;
                                              holding = true;
                                              for (int i = 0; i < 500 && !dropped; ++i)
                                                  RawServer::Connection::pauseBriefly(0.01);
                                              if (dropped) ++served;
                                          }
                                          if (offset >= (256u << 10)) return false;
                                          const std::string piece(16 << 10, 'b');
                                          return sink.write(piece.data(), piece.size());
                                      });
    });
    server.start();
    HTTPTransactionOptions options;
    options.persistentConnection = false;
    options.serverTrustHandler = [](const platform::TLSPeerTrust&, std::function<void(bool)> answer) { answer(true); };
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        dropped = false;
        holding = false;
        served = 0;
        auto t = start(server.url(), options);
        // Let go only once the server holds back the rest: a connection
        // closed before that would never be offered the rest at all.
        ASSERT_TRUE(pumpUntil([&]() { return (t->bytesAvailable() > 0 && holding) || finished(t); }));
        ASSERT_FALSE(t->error());
        t->cancel();
        t->release(true);
        t.reset();
        dropped = true;
        // The server sends the rest towards the cancelled connection.
        ASSERT_TRUE(pumpUntil([&]() { return served.load() > 0; }));
    }
}

TEST(HTTPClientCoreExitTest, ExitWhileTheIOThreadSetsUpTLSEndsCleanly) {
    // A fresh process whose first OpenSSL use comes after the core's first
    // use: at exit the I/O thread must be stopped before OpenSSL cleans up.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto core = HTTPClientCore::shared();
            RawServer silent([](RawServer::Connection& c) { c.waitForPeerClose(2); });
            std::vector<std::shared_ptr<HTTPTransaction>> pending;
            for (int i = 0; i < 16; ++i) {
                HTTPTransactionOptions options;
                options.persistentConnection = false;
                pending.push_back(
                    core->start(makeRequest("GET", silent.url("/", "localhost").replace(0, 4, "https")), options, {}));
            }
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace clipora::test
