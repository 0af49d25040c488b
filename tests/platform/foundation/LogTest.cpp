#include "platform/foundation/Log.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace clipora::platform {
namespace {

TEST(LogTest, CaptureSeesOneLinePerMessage) {
    std::vector<std::string> sunk;
    auto previous = Log::setSink([&](const std::string& line) { sunk.push_back(line); });
    {
        Log::Capture capture;
        Log::write("first");
        Log::format("%s [Line %d] %@", "fn", 3, Value("two\nlines"));
        EXPECT_EQ(capture.lines(), (std::vector<std::string>{"first", "fn [Line 3] two\\nlines"}));
        EXPECT_TRUE(capture.contains("Line 3"));
        capture.clear();
        EXPECT_TRUE(capture.lines().empty());
    }
    Log::write("after");
    Log::setSink(previous);
    EXPECT_EQ(sunk, (std::vector<std::string>{"first", "fn [Line 3] two\\nlines", "after"}));
}

TEST(LogTest, MessagesFromManyThreadsStayWhole) {
    auto previous = Log::setSink([](const std::string&) {});
    Log::Capture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i) Log::format("thread %d message %d", t, i);
        });
    }
    for (auto& thread : threads) thread.join();
    Log::setSink(previous);
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 400u);
    for (const auto& line : lines) EXPECT_EQ(line.rfind("thread ", 0), 0u) << line;
}

}  // namespace
}  // namespace clipora::platform
