#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/BlockOperation.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

using test::PlatformTest;

class OperationQueueTest : public PlatformTest {};

// Operations that hold their slot until the test lets one go, and count how
// many run at once.
class Gate {
public:
    void enter() {
        const int now = ++running_;
        int peak = peak_.load();
        while (now > peak && !peak_.compare_exchange_weak(peak, now)) {
        }
        std::unique_lock lock(mutex_);
        condition_.wait(lock, [this] { return permits_ > 0; });
        --permits_;
        lock.unlock();
        --running_;
        ++finished_;
    }
    void release(int n) {
        {
            std::lock_guard lock(mutex_);
            permits_ += n;
        }
        condition_.notify_all();
    }
    int running() const { return running_; }
    int finished() const { return finished_; }
    int peak() const { return peak_; }
    void resetPeak() { peak_ = running_.load(); }

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    int permits_ = 0;
    std::atomic<int> running_{0};
    std::atomic<int> finished_{0};
    std::atomic<int> peak_{0};
};

TEST_F(OperationQueueTest, WidthChangesWhileRunning) {
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(2);
    Gate gate;
    constexpr int kOps = 12;
    for (int i = 0; i < kOps; ++i) queue.addOperationWithBlock([&gate] { gate.enter(); });
    EXPECT_EQ(queue.operationCount(), static_cast<std::size_t>(kOps));

    ASSERT_TRUE(pumpUntil([&] { return gate.running() == 2; }));
    EXPECT_EQ(gate.peak(), 2);

    // Widening starts more at once.
    queue.setMaxConcurrentOperationCount(5);
    ASSERT_TRUE(pumpUntil([&] { return gate.running() == 5; }));
    EXPECT_EQ(gate.peak(), 5);

    // Narrowing lets the five finish, then runs one at a time.
    queue.setMaxConcurrentOperationCount(1);
    gate.release(5);
    ASSERT_TRUE(pumpUntil([&] { return gate.finished() == 5 && gate.running() == 1; }));
    gate.resetPeak();
    for (int done = 5; done < kOps; ++done) {
        gate.release(1);
        ASSERT_TRUE(pumpUntil([&] { return gate.finished() == done + 1; }));
    }
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(gate.peak(), 1);
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST_F(OperationQueueTest, DependenciesOrderOperationsAcrossQueues) {
    OperationQueue queue;
    OperationQueue other;
    other.setSuspended(true);
    std::mutex mutex;
    std::vector<std::string> order;
    auto op = [&](const std::string& name) {
        return BlockOperation::create([&, name] {
            std::lock_guard lock(mutex);
            order.push_back(name);
        });
    };
    auto a = op("a");
    auto b = op("b");
    auto c = op("c");
    auto external = op("external");
    c->addDependency(a);
    c->addDependency(b);
    a->addDependency(b);
    b->addDependency(external);
    queue.addOperations({c, a, b}, false);
    other.addOperation(external);
    EXPECT_FALSE(b->isReady());

    other.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(order, (std::vector<std::string>{"external", "b", "a", "c"}));
}

TEST_F(OperationQueueTest, CancelAllFinishesQueuedOperationsWithoutRunningThem) {
    OperationQueue queue;
    queue.setSuspended(true);
    std::atomic<int> ran{0};
    std::atomic<int> completed{0};
    std::vector<std::shared_ptr<Operation>> ops;
    for (int i = 0; i < 5; ++i) {
        auto op = BlockOperation::create([&] { ++ran; });
        op->setCompletionBlock([&] { ++completed; });
        ops.push_back(op);
        queue.addOperation(op);
    }
    queue.cancelAllOperations();
    EXPECT_EQ(queue.operationCount(), 5u);  // still queued while suspended
    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    // Completion blocks run after the operation left the queue.
    EXPECT_TRUE(pumpUntil([&] { return completed == 5; }));
    EXPECT_EQ(ran, 0);
    for (auto& op : ops) {
        EXPECT_TRUE(op->isCancelled());
        EXPECT_TRUE(op->isFinished());
    }
}

TEST_F(OperationQueueTest, ReadyOperationsRunByPriorityThenInOrder) {
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    queue.setSuspended(true);
    std::vector<std::string> order;
    for (auto [priority, name] : std::vector<std::pair<int, std::string>>{{Operation::Low, "low"},
                                                                          {Operation::Normal, "normal1"},
                                                                          {10, "ten"},
                                                                          {Operation::Normal, "normal2"},
                                                                          {Operation::VeryHigh, "veryHigh"}}) {
        auto op = BlockOperation::create([&order, name = name] { order.push_back(name); });
        op->setQueuePriority(priority);
        queue.addOperation(op);
    }
    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(order, (std::vector<std::string>{"ten", "veryHigh", "normal1", "normal2", "low"}));
}

// Finishes only when told to, from another thread.
class AsyncOperation : public Operation {
public:
    bool isConcurrent() const override { return true; }
    void start() override {
        if (isCancelled()) {
            finish();
            return;
        }
        setExecuting(true);
        started = true;
    }
    void complete() { finish(); }
    std::atomic<bool> started{false};
};

TEST_F(OperationQueueTest, ConcurrentOperationHoldsItsSlotUntilItSignalsFinished) {
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    std::vector<std::size_t> counts;
    std::mutex countsMutex;
    queue.addOperationCountObserver([&](std::size_t n) {
        std::lock_guard lock(countsMutex);
        counts.push_back(n);
    });
    auto async = std::make_shared<AsyncOperation>();
    std::atomic<bool> secondRan{false};
    std::atomic<bool> completionRan{false};
    async->setCompletionBlock([&] { completionRan = true; });
    queue.addOperation(async);
    queue.addOperationWithBlock([&] { secondRan = true; });

    ASSERT_TRUE(pumpUntil([&] { return async->started.load(); }));
    EXPECT_TRUE(async->isExecuting());
    EXPECT_FALSE(secondRan);
    EXPECT_EQ(queue.operationCount(), 2u);

    std::thread([async] { async->complete(); }).join();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(secondRan);
    EXPECT_TRUE(completionRan);  // ran on the completing thread, joined above
    EXPECT_FALSE(async->isExecuting());
    // Changes made on different threads may be reported out of order.
    EXPECT_TRUE(pumpUntil([&] {
        std::lock_guard lock(countsMutex);
        return counts.size() == 4;
    }));
    std::lock_guard lock(countsMutex);
    EXPECT_EQ(std::vector<std::size_t>(counts.begin(), counts.begin() + 2), (std::vector<std::size_t>{1, 2}));
}

TEST_F(OperationQueueTest, MainQueueRunsOnTheMainThreadOneAtATime) {
    std::vector<int> order;
    bool offMain = false;
    std::vector<std::size_t> counts;
    const auto observer =
        OperationQueue::mainQueue()->addOperationCountObserver([&](std::size_t n) { counts.push_back(n); });
    for (int i = 0; i < 3; ++i) {
        OperationQueue::mainQueue()->addOperationWithBlock([&, i] {
            offMain = offMain || !Thread::isMainThread();
            order.push_back(i);
        });
    }
    EXPECT_TRUE(order.empty());  // queued, not run inline
    EXPECT_TRUE(pumpUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(offMain);
    OperationQueue::mainQueue()->removeOperationCountObserver(observer);
    EXPECT_EQ(counts, (std::vector<std::size_t>{1, 2, 3, 2, 1, 0}));
}

TEST_F(OperationQueueTest, MainQueueRecoversWhenTheMainLoopWasEmptied) {
    std::vector<int> ran;
    OperationQueue::mainQueue()->addOperationWithBlock([&] { ran.push_back(1); });
    RunLoop::main()->removeAll();  // what the fixture does between tests
    OperationQueue::mainQueue()->addOperationWithBlock([&] { ran.push_back(2); });
    EXPECT_TRUE(pumpUntil([&] { return ran.size() == 2; }));
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST_F(OperationQueueTest, AnOperationGoesIntoOneQueueOnce) {
    OperationQueue queue;
    OperationQueue other;
    queue.setSuspended(true);
    auto op = BlockOperation::create([] {});
    queue.addOperation(op);
    EXPECT_THROW(other.addOperation(op), std::invalid_argument);
    EXPECT_THROW(queue.addOperation(op), std::invalid_argument);
    queue.setSuspended(false);
    op->waitUntilFinished();
    EXPECT_THROW(other.addOperation(op), std::invalid_argument);
}

}  // namespace
}  // namespace clipora::platform
