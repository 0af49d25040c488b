#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <thread>

#include "analytics/TallySession.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "tests/analytics/AnalyticsTest.h"

namespace clipora {
namespace {

using namespace platform;

class TallyPersistenceTest : public test::AnalyticsTest {
protected:
    // Ends `count` sessions one after another; each one's record is saved.
    static void endSessions(int count) {
        for (int i = 0; i < count; ++i) {
            auto session = TallySession::createActiveTallySession("KEY");
            advanceClock(1);
            session->endSessionAndSendRemoveCurrentSession(false, true);
        }
    }
    static Date recordStart(const Value& record) {
        const Data& data = *record.data();
        std::int64_t ms = 0;
        // Version (2), then a string (2 + n), then the start timestamp.
        const std::size_t at = 2 + 2 + ((data[2] << 8) | data[3]);
        for (std::size_t i = 0; i < 8; ++i) ms = (ms << 8) | data[at + i];
        return Date::fromTimeIntervalSince1970(static_cast<double>(ms) / 1000.0);
    }
};

TEST_F(TallyPersistenceTest, SavedSessionsAreCappedOldestFirstOut) {
    endSessions(3);
    // With a limit of 2, a fourth record leaves the third and the fourth.
    const Date firstKept = recordStart(TallySession::savedSessions()[2]);
    TallySession::setMaxSessions(2);
    endSessions(1);
    auto saved = TallySession::savedSessions();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(recordStart(saved[0]), firstKept);
    EXPECT_GT(recordStart(saved[1]), firstKept);
}

TEST_F(TallyPersistenceTest, FiftyAtMostByDefault) {
    Value::Array records;
    for (int i = 0; i < 50; ++i) records.emplace_back(Data{static_cast<std::uint8_t>(i)});
    TallySession::createActiveTallySession("KEY");
    TallySession::setSavedSessions(records);
    TallySession::currentSession()->endSessionAndSendRemoveCurrentSession(false, true);
    auto saved = TallySession::savedSessions();
    ASSERT_EQ(saved.size(), 50u);
    EXPECT_EQ(*saved.front().data(), Data{1});   // the oldest went
    EXPECT_GT(saved.back().data()->size(), 1u);  // the new record is last
}

TEST_F(TallyPersistenceTest, FileNamesDirectoriesAndEarlierNames) {
    TallySession::createActiveTallySession("KEY");
    const std::string hash = std::to_string(TallySession::apiKeyHash());
    EXPECT_EQ(TallySession::sessionsFilePath(),
              FileManager::documentsDirectory() + "/.tallyStored" + hash + "_79.archive");
    EXPECT_EQ(TallySession::initialTimestampFilePath(),
              FileManager::documentsDirectory() + "/.initialTimestamp" + hash + ".archive");
    // A file under the earlier name (no dot) is used instead of the new one.
    ASSERT_TRUE(FileManager::createFile(TallySession::oldSessionsFilePath()));
    EXPECT_EQ(TallySession::sessionsFilePath(), TallySession::oldSessionsFilePath());
    TallySession::currentSession()->endSessionAndSendRemoveCurrentSession(false, true);
    EXPECT_EQ(TallySession::savedSessions().size(), 1u);
    EXPECT_FALSE(FileManager::fileExists(FileManager::documentsDirectory() + "/.tallyStored" + hash + "_79.archive"));

    // Systems up to 5.0 keep the files in Caches.
    Device::currentDevice()->setSystemVersion("5.0");
    TallyUtil::reset();
    EXPECT_EQ(TallySession::filePathDirectory(), FileManager::cachesDirectory());
    Device::currentDevice()->setSystemVersion("5.0.1");
    TallyUtil::reset();
    EXPECT_EQ(TallySession::filePathDirectory(), FileManager::documentsDirectory());
    // The key's hash is stable: the same text gives the same number every time.
    EXPECT_EQ(std::to_string(TallySession::apiKeyHash()), hash);
}

TEST_F(TallyPersistenceTest, InitialTimestampIsWrittenOnce) {
    auto session = TallySession::createActiveTallySession("KEY");
    const Date first = TallySession::initialTimestamp();
    EXPECT_EQ(first, session->startTime());
    advanceClock(100);
    TallySession::createActiveTallySession("KEY");
    EXPECT_EQ(TallySession::initialTimestamp(), first);
    ASSERT_TRUE(FileManager::writeData(TallySession::initialTimestampFilePath(), test::textBytes("junk")));
    EXPECT_EQ(TallySession::initialTimestamp(), TallySession::currentSession()->startTime());
}

TEST_F(TallyPersistenceTest, SentMarker) {
    TallySession::createActiveTallySession("KEY");
    EXPECT_FALSE(TallySession::sentSession());
    TallySession::setSentSession();
    TallySession::setSentSession();
    EXPECT_TRUE(TallySession::sentSession());
    EXPECT_EQ(FileManager::fileSize(TallySession::sessionSentFilePath()), 0u);
}

TEST_F(TallyPersistenceTest, AnUnreadableSavedListReadsAsEmptyAndIsReplaced) {
    TallySession::createActiveTallySession("KEY");
    ASSERT_TRUE(FileManager::writeData(TallySession::sessionsFilePath(), test::textBytes("torn")));
    EXPECT_TRUE(TallySession::savedSessions().empty());
    TallySession::currentSession()->endSessionAndSendRemoveCurrentSession(false, true);
    EXPECT_EQ(TallySession::savedSessions().size(), 1u);
}

// A process killed while it writes the saved list leaves the list it had or
// the one it was writing, never a torn file that would lose every session.
TEST_F(TallyPersistenceTest, ACrashDuringAWriteLosesNothing) {
    endSessions(5);
    const std::string path = TallySession::sessionsFilePath();
    const auto sizeBefore = FileManager::fileSize(path);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (;;) {
            auto records = TallySession::savedSessions();
            records.push_back(records.front());
            TallySession::setSavedSessions(records);
        }
    }
    // Kill it as soon as it is writing.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (FileManager::fileSize(path) == sizeBefore && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    auto saved = TallySession::savedSessions();
    EXPECT_GE(saved.size(), 5u);
    // No temporary is mistaken for the list, and a new write works.
    TallySession::setSavedSessions(saved);
    EXPECT_EQ(TallySession::savedSessions().size(), saved.size());
}

}  // namespace
}  // namespace clipora
