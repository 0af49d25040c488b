#include <zlib.h>

#include <atomic>
#include <mutex>

#include "analytics/TallyAdParser.h"
#include "analytics/TallyHTTPEater.h"
#include "analytics/TallyHTTPResponse.h"
#include "analytics/TallySession.h"
#include "platform/cfnetwork/HTTPClientCore.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/system/DeviceInfo.h"
#include "tests/analytics/AnalyticsTest.h"
#include "tests/support/LoopbackServer.h"

namespace clipora {
namespace {

using namespace platform;
using test::bytes;

// Appends wire values the way the collector reads them.
struct Wire {
    Data data;
    Wire& u16(unsigned v) { return raw({int(v >> 8) & 0xFF, int(v) & 0xFF}); }
    Wire& i32(std::int64_t v) {
        for (int s = 24; s >= 0; s -= 8) data.push_back(static_cast<std::uint8_t>(v >> s));
        return *this;
    }
    Wire& i64(std::int64_t v) {
        for (int s = 56; s >= 0; s -= 8) data.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> s));
        return *this;
    }
    Wire& ms(Date d) { return i64(static_cast<std::int64_t>(d.timeIntervalSince1970() * 1000.0)); }
    Wire& str(const std::string& s) {
        u16(static_cast<unsigned>(s.size()));
        data.insert(data.end(), s.begin(), s.end());
        return *this;
    }
    Wire& raw(std::initializer_list<int> values) {
        for (int v : values) data.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    Wire& block(const Data& d) {
        data.insert(data.end(), d.begin(), d.end());
        return *this;
    }
};

class TallyUploadTest : public test::AnalyticsTest {
protected:
    void SetUp() override {
        AnalyticsTest::SetUp();
        DeviceInfo::setHardwareModel("iPhone4,1");
        server.server().Post("/aas.do", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            bodies.push_back(Data(request.body.begin(), request.body.end()));
            if (duringUpload) duringUpload();
            response.status = status;
            response.set_content(reply, "application/octet-stream");
        });
        server.start();
        TallyAnalytics::setServerURL(server.url("/aas.do"));
    }
    void TearDown() override {
        // Kept-alive connections would hold the server's workers at stop().
        HTTPClientCore::shared()->closeIdleConnections();
        server.stop();
        DeviceInfo::setHardwareModel(std::nullopt);
        AnalyticsTest::TearDown();
    }
    // A pasteboard identifier that reads back intact (status 2).
    static std::string knownIdentifier() {
        const std::string id = "ID00000000-1111-2222-3333-444444444444";
        Pasteboard::pasteboardWithNameCreate("com.tally.pasteboard", true)
            ->setDataForPasteboardType(test::textBytes(TallySession::getCFUUIDBasedUIDWithChecksum(id)),
                                       "com.tally.UID");
        return id;
    }
    // Ends a session with one "Watch Video" event 1.5 s after its start.
    static std::shared_ptr<TallySession> endedSession() {
        auto session = TallySession::createActiveTallySession("KEY");
        advanceClock(1.5);
        session->recordEventWithParameters("Watch Video", std::nullopt);
        advanceClock(2);
        session->endSessionAndSendRemoveCurrentSession(false, false);
        return session;
    }
    std::vector<Data> received() {
        std::lock_guard lock(mutex);
        return bodies;
    }

    test::LoopbackServer server;
    std::mutex mutex;
    std::vector<Data> bodies;
    int status = 200;
    std::string reply;
    std::function<void()> duringUpload;
};

TEST_F(TallyUploadTest, BodyAndRecordByteForByteWithTheirChecksum) {
    const std::string identifier = knownIdentifier();
    auto session = endedSession();
    const Date start = session->startTime();
    const Wire record = Wire{}
                            .u16(1)
                            .str(session->appVersion())
                            .ms(start)
                            .i64(3500)
                            .i64(0)
                            .str(session->locale())
                            .str(session->timeZone())
                            .raw({1})
                            .str("")
                            .raw({1})
                            .raw({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})  // latitude, longitude
                            .raw({0, 0, 0, 0})                                      // accuracy
                            .i32(0)
                            .raw({0xFF, 0})  // gender unknown, no age
                            .u16(1)
                            .str("Watch Video")
                            .i32(1)
                            .u16(1)
                            .u16(1)
                            .str("Watch Video")
                            .u16(0)
                            .i64(1500)
                            .i64(0)
                            .raw({1})
                            .i32(0)
                            .u16(0)
                            .u16(0)
                            .u16(0);
    ASSERT_EQ(*session->data(), record.data);
    session->saveSession();

    // A new session starts; the upload sends the saved record.
    auto current = TallySession::createActiveTallySession("KEY");
    TallySession::sendSessionsToServerForAdRing();
    ASSERT_EQ(received().size(), 1u);
    const std::string mac = TallySession::macAddressText();
    Wire body = Wire{}
                    .u16(22)
                    .u16(0)
                    .i64(0)
                    .u16(0)
                    .u16(2)
                    .u16(79)
                    .ms(Date::now())
                    .str("KEY")
                    .str(current->appVersion())
                    .u16(3)
                    .u16(2)
                    .u16(20)
                    .block(Digest::sha1("IPHONE" + mac + "iPhone4,1"))
                    .u16(4)
                    .u16(20)
                    .block(Digest::sha1(mac))
                    .u16(3)
                    .str(identifier)
                    .raw({2})
                    .ms(current->startTime())  // the first body built: the initial timestamp
                    .ms(current->startTime())
                    .u16(4)
                    .str("device.model.1")
                    .str("iPhone4,1")
                    .str("device.os.version")
                    .str("5.1")
                    .str("scr.height")
                    .str("480")
                    .str("scr.width")
                    .str("320")
                    .u16(1)
                    .block(record.data);
    const auto crc = crc32(crc32(0L, Z_NULL, 0), body.data.data(), static_cast<uInt>(body.data.size()));
    body.i32(static_cast<std::int64_t>(crc));
    const Data sent = received()[0];
    EXPECT_EQ(sent, body.data);
    // The accepted upload cleared what it sent.
    EXPECT_TRUE(TallySession::savedSessions().empty());
    EXPECT_TRUE(TallySession::sentSession());
}

// Before any session exists the body still ends in a correct trailer:
// nothing has to be prepared for the checksum.
TEST_F(TallyUploadTest, ABodyBeforeAnySessionHasItsChecksum) {
    ASSERT_FALSE(TallySession::currentSession());
    const Data body = TallySession::dataForSessions({});
    ASSERT_GT(body.size(), 4u);
    EXPECT_EQ(Data(body.begin(), body.begin() + 8), bytes({0, 22, 0, 3, 0, 5, 0, 1}));
    const Data trailer(body.end() - 4, body.end());
    const auto crc = crc32(crc32(0L, Z_NULL, 0), body.data(), static_cast<uInt>(body.size() - 4));
    EXPECT_EQ(trailer, Wire{}.i32(static_cast<std::int64_t>(crc)).data);
    EXPECT_EQ(Data(body.end() - 6, body.end() - 4), bytes({0, 0}));  // no sessions
}

TEST_F(TallyUploadTest, AnAcceptedUploadClearsOnlyWhatItSent) {
    endedSession()->saveSession();
    endedSession()->saveSession();
    TallySession::createActiveTallySession("KEY");
    auto late = TallySession::initWithAPIKeyAppVersion("KEY", "late");
    // A session ends while the upload is in flight.
    duringUpload = [&] { TallySession::addToSavedSessions(*late); };
    TallySession::sendSessionsToServerForAdRing();
    auto saved = TallySession::savedSessions();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(*saved[0].data(), *late->data());
}

TEST_F(TallyUploadTest, RedirectsAndFailuresClearNothing) {
    struct Case {
        int status;
        bool reachable;
    };
    for (const auto& c : {Case{304, true}, Case{500, false}}) {
        endedSession()->saveSession();
        auto current = TallySession::createActiveTallySession("KEY");
        const auto before = TallySession::savedSessions();
        status = c.status;
        TallySession::sendSessionsToServerForAdRing();
        EXPECT_EQ(TallySession::savedSessions(), before) << c.status;
        EXPECT_FALSE(TallySession::sentSession()) << c.status;
        EXPECT_EQ(current->internetAvailable(), c.reachable) << c.status;
    }
    // A short time-out upload sends the current session too and examines nothing.
    status = 200;
    TallySession::sendSessionsToServerForEndOfSession();
    EXPECT_FALSE(TallySession::savedSessions().empty());
    EXPECT_FALSE(TallySession::sentSession());
}

TEST_F(TallyUploadTest, TheWebViewFormSendsWithoutExaminingTheReply) {
    endedSession()->saveSession();
    TallySession::createActiveTallySession("KEY");
    TallySession::sendSessionsToServerForAdditionalInfo();
    // The web view's load is over once its connection is back in the pool.
    ASSERT_TRUE(pumpUntil([&] { return HTTPClientCore::shared()->idleConnectionCount() > 0; }));
    ASSERT_EQ(received().size(), 1u);
    const Data sent = received()[0];
    EXPECT_EQ(Data(sent.begin(), sent.begin() + 4), bytes({0, 22, 0, 0}));
    EXPECT_FALSE(TallySession::savedSessions().empty());
    EXPECT_FALSE(TallySession::sentSession());
}

TEST_F(TallyUploadTest, OnlyOneUploadAtATime) {
    TallySession::createActiveTallySession("KEY");
    std::unique_lock busy(TallySession::getNetworkLock());
    TallySession::sendSessionsToServerForAdRing();
    EXPECT_TRUE(received().empty());
}

// Parsers that read a fixed count, or answer wild positions.
class FixedParser : public TallyAdParser {
public:
    explicit FixedParser(std::function<std::optional<const std::uint8_t*>(const std::uint8_t*, std::int32_t)> fn)
        : fn_(std::move(fn)) {}
    std::optional<const std::uint8_t*> parseDataBufferLength(const std::uint8_t* data, std::int32_t length) override {
        ++calls;
        return fn_(data, length);
    }
    int calls = 0;

private:
    std::function<std::optional<const std::uint8_t*>(const std::uint8_t*, std::int32_t)> fn_;
};

TEST_F(TallyUploadTest, ReplyBlocksNeverReadPastTheBuffer) {
    // The app-spot parser consumes its 4-byte block from the current position.
    auto slot = std::make_shared<FixedParser>([](const std::uint8_t* p, std::int32_t) { return p + 4; });
    TallySession::setAdSlotAdParser(slot);
    TallySession::parseReplyBlocks(bytes({0x02, 0x01, 9, 9, 0x02, 0x01, 8, 8, 0x02}), false, false, true, false);
    EXPECT_EQ(slot->calls, 2);  // the 1-byte tail is no tag

    // A position outside the body, or one that does not move, ends the walk.
    for (int offset : {-1, 0, 100}) {
        const Data body = bytes({0x02, 0x01, 1, 2, 0x02, 0x01});
        auto wild = std::make_shared<FixedParser>(
            [offset](const std::uint8_t* p, std::int32_t length) { return p + (offset < 0 ? length + 50 : offset); });
        TallySession::setAdSlotAdParser(wild);
        TallySession::parseReplyBlocks(body, false, false, true, false);
        EXPECT_EQ(wild->calls, 1) << offset;
    }

    // Tag 0x0102: every enabled parser gets the body's start; a missing
    // app-circle parser still lets the video parser read, then parsing ends.
    const Data body = bytes({0x01, 0x02, 5, 5, 0x01, 0x02, 6, 6});
    const std::uint8_t* seen = nullptr;
    auto video = std::make_shared<FixedParser>([&](const std::uint8_t* p, std::int32_t) {
        seen = p;
        return p + 4;
    });
    TallySession::setVideoAdParser(video);
    TallySession::parseReplyBlocks(body, true, true, false, false);
    EXPECT_EQ(video->calls, 1);
    EXPECT_EQ(seen, body.data());
    // A block no enabled parser reads, and an unknown tag, end it too.
    TallySession::parseReplyBlocks(body, false, false, false, false);
    TallySession::parseReplyBlocks(bytes({0x00, 0x07, 1}), true, true, true, true);
    EXPECT_EQ(video->calls, 1);
}

// With several main ad kinds on, every parser of a 0x0102 block reads from
// the body's start and the last answer is the position; the walk goes on to
// the blocks after it.
TEST_F(TallyUploadTest, EveryParserOfAMainBlockIsHeardAndTheWalkGoesOn) {
    const Data body = bytes({0x01, 0x02, 0x00, 0x02, 0xaa, 0xbb, 0x02, 0x01, 0x00, 0x01, 0xcc});
    const std::uint8_t* const start = body.data();
    struct Case {
        const char* name;
        std::ptrdiff_t adRing, video, revisit;  // offsets answered from the body's start
        int adSlotCalls;
    };
    const Case cases[] = {
        {"all read the block", 6, 6, 6, 1},
        // The last answer wins even when it lies behind an earlier one.
        {"one answers behind another", 8, 6, 6, 1},
        {"the last answers behind another", 6, 8, 6, 1},
        // An answer outside the body is not taken, the others of the block are
        // still heard, and the walk ends after the block.
        {"one answers past the end", 40, 6, 6, 0},
    };
    for (const auto& c : cases) {
        const std::uint8_t* seenBySlot = nullptr;
        auto at = [start](std::ptrdiff_t offset) {
            return [start, offset](const std::uint8_t* p, std::int32_t length) -> std::optional<const std::uint8_t*> {
                EXPECT_EQ(p, start);
                EXPECT_EQ(length, 11);
                return p + offset;
            };
        };
        auto adRing = std::make_shared<FixedParser>(at(c.adRing));
        auto video = std::make_shared<FixedParser>(at(c.video));
        auto revisit = std::make_shared<FixedParser>(at(c.revisit));
        auto adSlot = std::make_shared<FixedParser>([&](const std::uint8_t* p, std::int32_t length) {
            seenBySlot = p;
            EXPECT_EQ(length, 5);
            return p + 5;
        });
        TallySession::setAdRingAdParser(adRing);
        TallySession::setVideoAdParser(video);
        TallySession::setRevisitAdParser(revisit);
        TallySession::setAdSlotAdParser(adSlot);
        TallySession::parseReplyBlocks(body, true, true, true, true);
        EXPECT_EQ(adRing->calls, 1) << c.name;
        EXPECT_EQ(video->calls, 1) << c.name;
        EXPECT_EQ(revisit->calls, 1) << c.name;
        EXPECT_EQ(adSlot->calls, c.adSlotCalls) << c.name;
        if (c.adSlotCalls) {
            EXPECT_EQ(seenBySlot, start + 6) << c.name;
        }
    }

    // A second main block whose parsers all answer behind its own start makes
    // no progress: the walk stops there instead of reading it again.
    const Data twice = bytes({0x01, 0x02, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x02, 0x01, 0x00});
    auto stuck = std::make_shared<FixedParser>([](const std::uint8_t* p, std::int32_t) { return p + 4; });
    auto adSlot = std::make_shared<FixedParser>([](const std::uint8_t* p, std::int32_t) { return p + 3; });
    TallySession::setAdRingAdParser(stuck);
    TallySession::setVideoAdParser(stuck);
    TallySession::setAdSlotAdParser(adSlot);
    TallySession::parseReplyBlocks(twice, true, true, true, false);
    EXPECT_EQ(stuck->calls, 4);  // two parsers, two visits of a block
    EXPECT_EQ(adSlot->calls, 0);
}

TEST_F(TallyUploadTest, ReplyBlocksReachTheParsersAfterAnAcceptedUpload) {
    TallyAnalytics::setAdSlotEnabled(true);
    TallySession::createActiveTallySession("KEY");
    auto slot = std::make_shared<FixedParser>([](const std::uint8_t* p, std::int32_t) { return p + 3; });
    TallySession::setAdSlotAdParser(slot);
    reply = std::string("\x02\x01\x07\x02\x01\x08", 6);
    TallySession::sendSessionsToServerForAdRing();
    EXPECT_EQ(slot->calls, 2);
    ASSERT_EQ(received().size(), 1u);
    const Data sent = received()[0];
    EXPECT_EQ(Data(sent.begin() + 2, sent.begin() + 8), bytes({0, 3, 0, 0, 0, 1}));
}

TEST_F(TallyUploadTest, TheExchange) {
    auto ok = TallyHTTPEater::postBody(*URL::fromString(server.url("/aas.do")), bytes({1, 2}));
    EXPECT_EQ(ok->statusCode(), 200);
    EXPECT_TRUE(ok->isSuccess() && ok->isAccepted());
    auto none = TallyHTTPEater::get(std::string("http://127.0.0.1:1/nothing"));
    EXPECT_EQ(none->statusCode(), 0);
    EXPECT_TRUE(none->error());
    EXPECT_FALSE(none->isSuccess());
    for (auto [code, success] : {std::pair{199, false}, {200, true}, {304, true}, {399, true}, {400, false}})
        EXPECT_EQ(TallyHTTPResponse::initWithBodyStatusCodeHeadersError({}, code, {}, {})->isSuccess(), success);
    EXPECT_EQ(TallyHTTPEater::queryDictionaryToString({{"a", Value("1 2")}}), "a=1 2");
    EXPECT_EQ(TallyHTTPEater::queryDictionaryToEscapedString({{"a b", Value("1&2=#")}}), "a%20b=1%262%3D%23");
    EXPECT_EQ(TallyHTTPEater::urlWithProtocolHostPortPathQuery(std::nullopt, std::string("h"), 80, std::string("p"),
                                                               std::nullopt)
                  ->absoluteString(),
              "http://h/p");
    EXPECT_EQ(TallyHTTPEater::urlWithProtocolHostPortPathQuery(std::string("https"), std::string("h"), 8080,
                                                               std::nullopt, std::string("q=1"))
                  ->absoluteString(),
              "https://h:8080?q=1");
    // A stored reply decides as a real one would, and nothing is sent.
    ok->saveToDisk();
    const auto file = TallyHTTPResponse::filePath(static_cast<std::int64_t>(Date::now().timeIntervalSince1970()));
    ASSERT_TRUE(FileManager::fileExists(file));
    endedSession()->saveSession();
    TallySession::createActiveTallySession("KEY");
    TallyAnalytics::setSavedResponseURL(URL::fileURLWithPath(file).absoluteString());
    const auto sent = received().size();
    TallySession::sendSessionsToServerForAdRing();
    EXPECT_EQ(received().size(), sent);
    EXPECT_TRUE(TallySession::savedSessions().empty());
}

// A peer that answers one byte at a time, never reaching the end, is cut off
// by the overall deadline instead of holding the thread.
TEST_F(TallyUploadTest, ATricklingPeerMeetsTheDeadline) {
    test::LoopbackServer slow;
    std::atomic<bool> stop{false};
    slow.server().Get("/slow", [&](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("application/octet-stream", [&](std::size_t, httplib::DataSink& sink) {
            while (!stop) {
                sink.write("x", 1);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            sink.done();
            return true;
        });
    });
    slow.start();
    const auto started = std::chrono::steady_clock::now();
    // The idle limit is a hundred times the trickle's pace, so that only the
    // deadline can strike even when a loaded or instrumented run is slow to
    // set up the exchange or to schedule the server's thread.
    constexpr double kIdleLimit = 2;
    auto response = TallyHTTPEater::sendMethodToBodyHeaderFieldsTimeoutIntervalUseWebView(
        "GET", *URL::fromString(slow.url("/slow")), std::nullopt, std::nullopt, kIdleLimit, false);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    stop = true;
    // Bytes kept coming, so the idle limit never struck: the deadline did. The
    // trickle never ends by itself, so returning at all shows the cut; the upper
    // bound only guards against a deadline far past its value, loose enough for
    // a loaded or instrumented run.
    EXPECT_GE(took, kIdleLimit * TallyHTTPEater::kDeadlineFactor);
    EXPECT_LT(took, 30.0);
    ASSERT_TRUE(response->body());
    EXPECT_FALSE(response->body()->empty());
    ASSERT_TRUE(response->error());
    EXPECT_EQ(response->error()->code(), Error::kURLErrorTimedOut);
}

}  // namespace
}  // namespace clipora
