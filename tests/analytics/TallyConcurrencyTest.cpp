#include <algorithm>
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
// The reader takes a bounded number of records, as uploads do, instead of
// spinning on the session's lock: a spinning reader starves the recording
// thread (locks are not fair), which made the test's time depend on the
// scheduler, minutes under ThreadSanitizer on a loaded machine.
TEST_F(TallyConcurrencyTest, RecordingWhileTheRecordIsWritten) {
    constexpr int kRecordings = 500;
    constexpr int kReads = 100;
    auto session = TallySession::createActiveTallySession("KEY");
    std::vector<std::size_t> sizes;
    std::thread upload([&] {
        for (int i = 0; i < kReads; ++i) {
            auto record = session->data();
            ASSERT_TRUE(record);
            sizes.push_back(record->size());
        }
    });
    for (int i = 0; i < kRecordings; ++i) {
        session->recordEventWithParameters("e" + std::to_string(i % 50), Value::Dictionary{{"i", Value(i)}});
        session->maybeIncrementPageView();
        session->setUserID("user" + std::to_string(i));
    }
    upload.join();
    // The session only grows, so a record never comes out shorter than one
    // taken before it: none was read halfway through a change.
    ASSERT_EQ(sizes.size(), static_cast<std::size_t>(kReads));
    EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()));
    EXPECT_LE(sizes.back(), session->data()->size());
}

// Readers of the current session keep a replaced session alive.
TEST_F(TallyConcurrencyTest, CurrentSessionReplacedWhileRead) {
    TallySession::createActiveTallySession("KEY");
    std::atomic<bool> stop{false};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            // Bounded for the same reason as above.
            for (int i = 0; i < 200 && !stop; ++i) {
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
