#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Thread.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

using test::PlatformTest;

class DispatchQueueTest : public PlatformTest {};

TEST_F(DispatchQueueTest, SerialQueueRunsOneAtATimeInOrder) {
    auto queue = DispatchQueue::createSerial("test.serial");
    std::vector<int> order;  // touched only by the queue's blocks
    std::atomic<int> inFlight{0};
    std::atomic<bool> overlapped{false};
    constexpr int kBlocks = 500;
    for (int i = 0; i < kBlocks; ++i) {
        queue->async([&, i] {
            if (++inFlight > 1) overlapped = true;
            order.push_back(i);
            --inFlight;
        });
    }
    std::vector<int> seen;
    queue->sync([&] { seen = order; });  // after everything before it
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kBlocks));
    for (int i = 0; i < kBlocks; ++i) EXPECT_EQ(seen[i], i);
    EXPECT_FALSE(overlapped);
}

TEST_F(DispatchQueueTest, SyncPassesExceptionsAndRefusesToWaitForItself) {
    auto queue = DispatchQueue::createSerial("test.sync");
    EXPECT_THROW(queue->sync([] { throw std::runtime_error("from the block"); }), std::runtime_error);
    bool refused = false;
    queue->sync([&] {
        EXPECT_TRUE(queue->isCurrent());
        try {
            queue->sync([] {});
        } catch (const std::logic_error&) {
            refused = true;
        }
    });
    EXPECT_TRUE(refused);
    EXPECT_FALSE(queue->isCurrent());
    EXPECT_THROW(DispatchQueue::main()->sync([] {}), std::logic_error);  // we are the main thread
}

TEST_F(DispatchQueueTest, GlobalQueueRunsBlocksConcurrently) {
    // Two blocks that each wait for the other can only finish side by side.
    std::atomic<int> arrived{0};
    std::atomic<int> done{0};
    for (int i = 0; i < 2; ++i) {
        DispatchQueue::global()->async([&] {
            ++arrived;
            while (arrived < 2) std::this_thread::yield();
            ++done;
        });
    }
    EXPECT_TRUE(pumpUntil([&] { return done == 2; }));
}

TEST_F(DispatchQueueTest, MainQueueSharesTheMainLoopOrderWithPerforms) {
    std::vector<int> order;
    std::thread worker([&] {
        DispatchQueue::main()->async([&] { order.push_back(1); });
        Thread::performOnMainThread([&] { order.push_back(2); }, false);
        DispatchQueue::main()->async([&] { order.push_back(3); });
        DispatchQueue::main()->sync([&] { order.push_back(4); });
    });
    EXPECT_TRUE(pumpUntil([&] { return order.size() == 4; }));
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(DispatchQueueTest, AsyncAfterFollowsTheClock) {
    auto queue = DispatchQueue::createSerial("test.after");
    std::atomic<bool> serialRan{false};
    bool mainRan = false;
    queue->asyncAfter(30, [&] { serialRan = true; });
    DispatchQueue::main()->asyncAfter(30, [&] { mainRan = true; });
    advanceClock(29);
    pumpPending();
    queue->sync([] {});
    EXPECT_FALSE(serialRan);
    EXPECT_FALSE(mainRan);
    advanceClock(1);
    EXPECT_TRUE(pumpUntil([&] { return serialRan && mainRan; }));
}

TEST_F(DispatchQueueTest, OnceRunsOnceAcrossThreads) {
    DispatchOnce flag;
    std::atomic<int> runs{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] { DispatchQueue::once(flag, [&] { ++runs; }); });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace clipora::platform
