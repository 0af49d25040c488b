#include <atomic>
#include <thread>
#include <vector>

#include "analytics/TallySession.h"
#include "tests/analytics/AnalyticsTest.h"

namespace clipora {
namespace {

using namespace platform;

class TallyConcurrencyTest : public test::AnalyticsTest {};

// An upload thread serializes the session while the host records into it.
TEST_F(TallyConcurrencyTest, RecordingWhileTheRecordIsWritten) {
    auto session = TallySession::createActiveTallySession("KEY");
    std::atomic<bool> stop{false};
    std::size_t longest = 0;
    int reads = 0;
    std::thread upload([&] {
        while (!stop || reads < 20) {
            ++reads;
            auto record = session->data();
            ASSERT_TRUE(record);
            longest = std::max(longest, record->size());
        }
    });
    for (int i = 0; i < 500; ++i) {
        session->recordEventWithParameters("e" + std::to_string(i % 50), Value::Dictionary{{"i", Value(i)}});
        session->maybeIncrementPageView();
        session->setUserID("user" + std::to_string(i));
    }
    stop = true;
    upload.join();
    EXPECT_GT(longest, 0u);
}

// Readers of the current session keep a replaced session alive.
TEST_F(TallyConcurrencyTest, CurrentSessionReplacedWhileRead) {
    TallySession::createActiveTallySession("KEY");
    std::atomic<bool> stop{false};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!stop) {
                if (auto current = TallySession::currentSession()) {
                    current->setInternetAvailable(false);
                    EXPECT_TRUE(current->data());
                }
            }
        });
    }
    for (int i = 0; i < 50; ++i)
        TallySession::setCurrentSession(TallySession::initWithAPIKeyAppVersion("KEY", std::to_string(i)));
    stop = true;
    for (auto& reader : readers) reader.join();
}

}  // namespace
}  // namespace clipora
