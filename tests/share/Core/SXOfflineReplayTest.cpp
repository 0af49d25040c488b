#include <atomic>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/Thread.h"
#include "share/Core/SXOfflineSharer.h"
#include "share/Core/SXSharerRegistry.h"
#include "tests/share/ShareTest.h"

namespace clipora {
namespace {

using platform::Value;

// A sharer that records what it was asked to send and answers as told:
// items titled "hang" start and wait, "fail" fail, others finish.
class ReplaySharer : public SXSharer {
public:
    static inline std::vector<std::string>* sent = nullptr;
    static inline std::vector<std::shared_ptr<SXSharer>>* hanging = nullptr;
    static inline bool loggedIn = true;

    std::string sharerId() const override { return "ReplaySharer"; }
    bool canShareText() const override { return true; }
    bool canShareFile() const override { return true; }
    bool isAuthorized() override { return loggedIn; }
    bool send() override {
        EXPECT_TRUE(platform::Thread::isMainThread());
        EXPECT_TRUE(quiet());
        auto title = item()->title().value_or("");
        sent->push_back(title + (item()->data() ? " with " + std::to_string(item()->data()->size()) + " bytes" : ""));
        sendDidStart();
        if (title == "hang") {
            hanging->push_back(self());
        } else if (title == "fail") {
            sendDidFailWithError(SX::error("no"));
        } else {
            sendDidFinish();
        }
        return true;
    }
};

class SXOfflineReplayTest : public test::ShareTest {
protected:
    void SetUp() override {
        ShareTest::SetUp();
        ReplaySharer::sent = &sent_;
        ReplaySharer::hanging = &hanging_;
        ReplaySharer::loggedIn = true;
        SXSharerRegistry::registerClass<ReplaySharer>("ReplaySharer");
    }
    void TearDown() override {
        if (auto queue = SX::currentHelper()->offlineQueue()) {
            queue->cancelAllOperations();
            for (auto& op : queue->operations()) {
                if (auto worker = std::dynamic_pointer_cast<SXOfflineSharer>(op)) worker->finish();
            }
            queue->waitUntilAllOperationsAreFinished();
        }
        SXSharerRegistry::unregisterClass("ReplaySharer");
        ShareTest::TearDown();
    }
    static void queue(const char* title, std::optional<platform::Data> data = std::nullopt) {
        auto item = data ? SXItem::fileFilenameMimeTypeTitle(data, "f", "application/x", std::string(title))
                         : SXItem::text("t");
        item->setTitle(std::string(title));
        ASSERT_TRUE(SX::addToOfflineQueueForSharer(*item, "ReplaySharer"));
    }
    static std::size_t queued() { return SX::getOfflineQueueList().value_or(Value::Array{}).size(); }
    static std::size_t dataFiles() {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(SX::offlineQueuePath())) {
            if (entry.path().filename() != SX::kOfflineQueueListName) ++count;
        }
        return count;
    }
    bool idle() const {
        auto queue = SX::currentHelper()->offlineQueue();
        return !queue || queue->operationCount() == 0;
    }

    std::vector<std::string> sent_;
    std::vector<std::shared_ptr<SXSharer>> hanging_;
};

TEST_F(SXOfflineReplayTest, EachEntryLeavesTheQueueOnlyAfterItsOutcome) {
    queue("one");
    queue("file", platform::Data{1, 2, 3});
    queue("hang");
    queue("fail");
    EXPECT_EQ(dataFiles(), 1u);

    setOnline(false);
    SX::flushOfflineQueue();
    EXPECT_EQ(queued(), 4u);
    EXPECT_FALSE(SX::currentHelper()->offlineQueue());

    setOnline(true);
    SX::flushOfflineQueue();
    ASSERT_TRUE(pumpUntil([&] { return sent_.size() == 4; }, 10));
    EXPECT_EQ(sent_.size(), 4u);
    EXPECT_NE(std::find(sent_.begin(), sent_.end(), "file with 3 bytes"), sent_.end());
    // Finished and failed shares are gone with their data files; the one
    // still sending stays, and a second flush does not start it again.
    ASSERT_TRUE(pumpUntil([&] { return queued() == 1; }));
    EXPECT_EQ(dataFiles(), 0u);
    SX::flushOfflineQueue();
    pumpPending();
    EXPECT_EQ(sent_.size(), 4u);

    ASSERT_EQ(hanging_.size(), 1u);
    hanging_.front()->sendDidFinish();
    EXPECT_EQ(queued(), 0u);
    EXPECT_TRUE(pumpUntil([&] { return idle(); }));
}

TEST_F(SXOfflineReplayTest, LoggedOutAndUnusableEntries) {
    queue("later", platform::Data{7});
    auto list = *SX::getOfflineQueueList();
    list.push_back(Value::makeDictionary({{"item", Value::makeDictionary({{"shareType", Value(2)}})},
                                          {"sharer", Value("ReplaySharer")},
                                          {"uid", Value("../../escape")}}));
    list.push_back(Value::makeDictionary({{"uid", Value("no-sharer")}}));
    SX::saveOfflineQueueList(list);

    ReplaySharer::loggedIn = false;
    SX::flushOfflineQueue();
    ASSERT_TRUE(pumpUntil([&] { return idle(); }, 10));
    // Not logged in: kept with its data file for a later replay; the two
    // unusable entries are dropped.
    EXPECT_TRUE(sent_.empty());
    EXPECT_EQ(queued(), 1u);
    EXPECT_EQ(dataFiles(), 1u);

    ReplaySharer::loggedIn = true;
    SX::flushOfflineQueue();
    ASSERT_TRUE(pumpUntil([&] { return queued() == 0 && idle(); }, 10));
    EXPECT_EQ(sent_, std::vector<std::string>{"later with 1 bytes"});
    EXPECT_EQ(dataFiles(), 0u);
}

}  // namespace
}  // namespace clipora
