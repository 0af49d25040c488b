#include <mutex>

#include "analytics/TallySession.h"
#include "platform/cfnetwork/HTTPClientCore.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "tests/analytics/AnalyticsTest.h"
#include "tests/support/LoopbackServer.h"

namespace clipora {
namespace {

using namespace platform;

class TallyAdStateTest : public test::AnalyticsTest {
protected:
    void SetUp() override {
        AnalyticsTest::SetUp();
        server.server().Get(R"(/cb/(\d+))", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            requested.push_back(request.matches[1]);
            response.status = failing ? 500 : 200;
        });
        server.start();
        TallySession::createActiveTallySession("KEY");
    }
    void TearDown() override {
        // Kept-alive connections would hold the server's workers at stop().
        HTTPClientCore::shared()->closeIdleConnections();
        server.stop();
        AnalyticsTest::TearDown();
    }
    Value::Dictionary callback(int n, int attempts = 0) {
        return {{"url", Value(server.url("/cb/" + std::to_string(n)))}, {"attempts", Value(attempts)}};
    }
    // The list as the next process would read it from the file.
    static Value::Array onDisk() {
        auto root = KeyedUnarchiver::unarchivedObjectOfAnyClass(
            FileManager::contentsOfFile(TallySession::adStateCallbacksFilePath()).value_or(Data{}));
        return root && root->array() ? *root->array() : Value::Array{};
    }
    std::vector<std::string> take() {
        std::lock_guard lock(mutex);
        return std::exchange(requested, {});
    }

    test::LoopbackServer server;
    std::mutex mutex;
    std::vector<std::string> requested;
    bool failing = true;
};

TEST_F(TallyAdStateTest, AFailedCallbackIsWrittenAtOnce) {
    TallySession::savedAdStateCallbacks();  // loaded: the save flag would be false
    TallySession::sendAdStateCompleted(callback(1));
    EXPECT_EQ(take(), std::vector<std::string>{"1"});
    ASSERT_EQ(onDisk().size(), 1u);
    EXPECT_EQ(onDisk()[0], Value(callback(1, 1)));
}

TEST_F(TallyAdStateTest, BatchesOfFiveUpToFiveAttempts) {
    for (int i = 1; i <= 7; ++i) TallySession::addToSavedAdStateCallbacks(callback(i));
    TallySession::sendSavedAdStateCallbacks();
    EXPECT_EQ(take(), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    auto saved = TallySession::savedAdStateCallbacks();
    ASSERT_EQ(saved.size(), 7u);
    EXPECT_EQ(saved[0], Value(callback(6)));
    EXPECT_EQ(saved[2], Value(callback(1, 1)));
    EXPECT_EQ(onDisk(), saved);

    // One callback failing again and again is requested five times in all.
    TallySession::resetClassState();
    FileManager::removeItem(TallySession::adStateCallbacksFilePath());
    TallySession::sendAdStateCompleted(callback(9));
    for (int round = 0; round < 6; ++round) TallySession::sendSavedAdStateCallbacks();
    EXPECT_EQ(take().size(), 5u);
    EXPECT_TRUE(TallySession::savedAdStateCallbacks().empty());

    // A success is not kept.
    failing = false;
    TallySession::sendAdStateCompleted(callback(10));
    EXPECT_TRUE(TallySession::savedAdStateCallbacks().empty());
}

TEST_F(TallyAdStateTest, AtMostAHundredAndUnreadableFilesStartEmpty) {
    for (int i = 0; i < 101; ++i) TallySession::addToSavedAdStateCallbacks(callback(i));
    auto saved = TallySession::savedAdStateCallbacks();
    ASSERT_EQ(saved.size(), 100u);
    EXPECT_EQ(saved[0], Value(callback(1)));
    TallySession::resetClassState();
    TallySession::createActiveTallySession("KEY");
    ASSERT_TRUE(FileManager::writeData(TallySession::adStateCallbacksFilePath(), test::textBytes("junk")));
    EXPECT_TRUE(TallySession::savedAdStateCallbacks().empty());
    EXPECT_FALSE(FileManager::fileExists(TallySession::adStateCallbacksFilePath()));
}

}  // namespace
}  // namespace clipora
