#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/RunLoopSource.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/Timer.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

using test::fixedTestDate;
using test::PlatformTest;

class RunLoopTest : public PlatformTest {};

TEST_F(RunLoopTest, TimersFireInFireDateOrderAsTheClockAdvances) {
    std::vector<std::string> fired;
    auto loop = RunLoop::current();
    // Scheduled out of order; two share a fire date (first scheduled fires first).
    for (auto [delay, name] :
         std::vector<std::pair<double, std::string>>{{3, "c"}, {1, "a"}, {2, "b1"}, {2, "b2"}, {10, "late"}}) {
        loop->addTimer(Timer::create(delay, false, [&fired, name = name](Timer&) { fired.push_back(name); }));
    }
    pumpPending();
    EXPECT_TRUE(fired.empty());

    advanceClock(1.5);
    pumpPending();
    EXPECT_EQ(fired, (std::vector<std::string>{"a"}));

    advanceClock(2);  // t = 3.5: three more are due at once
    pumpPending();
    EXPECT_EQ(fired, (std::vector<std::string>{"a", "b1", "b2", "c"}));

    Clock::setNow(fixedTestDate().addingTimeInterval(10));  // exactly the fire date
    pumpPending();
    EXPECT_EQ(fired.back(), "late");
}

TEST_F(RunLoopTest, RepeatingTimerSkipsMissedFiringsAndStopsWhenInvalidated) {
    int count = 0;
    auto timer = Timer::scheduled(1.0, true, [&count](Timer& t) {
        if (++count == 4) t.invalidate();
    });
    const Date start = fixedTestDate();
    EXPECT_EQ(timer->fireDate(), start.addingTimeInterval(1));

    advanceClock(1);
    pumpPending();
    EXPECT_EQ(count, 1);
    EXPECT_EQ(timer->fireDate(), start.addingTimeInterval(2));

    advanceClock(3.5);  // t = 4.5: late by several intervals, fires once
    pumpPending();
    EXPECT_EQ(count, 2);
    EXPECT_EQ(timer->fireDate(), start.addingTimeInterval(5));

    advanceClock(0.5);
    pumpPending();
    advanceClock(1);
    pumpPending();
    EXPECT_EQ(count, 4);
    EXPECT_FALSE(timer->isValid());
    advanceClock(10);
    pumpPending();
    EXPECT_EQ(count, 4);
}

TEST_F(RunLoopTest, InvalidatedTimerNeverFiresAndReleasesItsAction) {
    auto owned = std::make_shared<int>(7);
    std::weak_ptr<int> watch = owned;
    bool fired = false;
    auto timer = Timer::scheduled(1, false, [owned = std::move(owned), &fired](Timer&) { fired = true; });
    timer->invalidate();
    EXPECT_TRUE(watch.expired());
    advanceClock(5);
    pumpPending();
    EXPECT_FALSE(fired);
}

TEST_F(RunLoopTest, TimerFiresByRealTimeUnderTheSystemClock) {
    useSystemClock();
    bool fired = false;
    Timer::scheduled(0.02, false, [&fired](Timer&) { fired = true; });
    EXPECT_TRUE(pumpUntil([&] { return fired; }, 2));
}

TEST_F(RunLoopTest, ItemsRunOnlyInTheirModesAndCommonModesFollowAddCommonMode) {
    auto loop = RunLoop::current();
    const std::string privateMode = "PrivateTestMode";
    std::vector<std::string> ran;
    loop->perform([&] { ran.push_back("private"); }, {privateMode});
    loop->perform([&] { ran.push_back("default"); }, {RunLoop::defaultMode});
    loop->perform([&] { ran.push_back("common"); }, {RunLoop::commonModes});
    loop->addTimer(Timer::create(0, false, [&](Timer&) { ran.push_back("timer-private"); }), privateMode);

    pumpPending();
    EXPECT_EQ(ran, (std::vector<std::string>{"default", "common"}));

    ran.clear();
    loop->perform([&] { ran.push_back("common-2"); }, {RunLoop::commonModes});
    EXPECT_EQ(loop->runMode(privateMode, Date::distantPast(), false), RunLoop::RunResult::TimedOut);
    // "common" does not cover a mode that was never added to it.
    EXPECT_EQ(ran, (std::vector<std::string>{"timer-private", "private"}));

    ran.clear();
    loop->addCommonMode(privateMode);
    loop->runMode(privateMode, Date::distantPast(), false);
    EXPECT_EQ(ran, (std::vector<std::string>{"common-2"}));
}

TEST_F(RunLoopTest, RunModeReportsWhyItReturnedAndKnowsItsMode) {
    auto loop = RunLoop::current();
    std::optional<std::string> modeSeen;
    loop->perform([&] { modeSeen = loop->currentMode(); }, {"Custom"});
    EXPECT_EQ(loop->runMode("Custom", Date::distantFuture()), RunLoop::RunResult::HandledSource);
    EXPECT_EQ(modeSeen, "Custom");
    EXPECT_FALSE(loop->isRunning());

    // The limit date is clock time: under the manual clock it passes when
    // someone moves the clock, which wakes the waiting loop.
    const Date limit = Date::now().addingTimeInterval(1);
    std::thread mover([] { Clock::advance(2); });
    EXPECT_EQ(loop->runMode("Custom", limit), RunLoop::RunResult::TimedOut);
    mover.join();

    // A stop before the run is kept for the next run.
    loop->stop();
    EXPECT_EQ(loop->runMode("Custom", Date::distantFuture()), RunLoop::RunResult::Stopped);
}

TEST_F(RunLoopTest, DelayedPerformsCanBeCancelledByTargetAndTag) {
    auto loop = RunLoop::current();
    int targetA = 0;
    int targetB = 0;
    std::vector<std::string> ran;
    auto kept = std::make_shared<std::string>("kept alive until run or cancelled");
    std::weak_ptr<std::string> watch = kept;

    loop->performAfterDelay(
        0.5, [&, kept] { ran.push_back("a-show"); }, &targetA, "show");
    loop->performAfterDelay(
        0.5, [&] { ran.push_back("a-hide"); }, &targetA, "hide");
    loop->performAfterDelay(
        0.2, [&] { ran.push_back("b"); }, &targetB);
    loop->performAfterDelay(
        0.1, [&] { ran.push_back("b2"); }, &targetB);
    kept.reset();
    EXPECT_FALSE(watch.expired());

    loop->cancelPreviousPerformRequests(&targetA, "show");
    EXPECT_TRUE(watch.expired());
    advanceClock(0.15);
    pumpPending();
    EXPECT_EQ(ran, (std::vector<std::string>{"b2"}));
    loop->cancelPreviousPerformRequests(&targetB);
    advanceClock(1);
    pumpPending();
    EXPECT_EQ(ran, (std::vector<std::string>{"b2", "a-hide"}));

    // The returned handle cancels too.
    auto handle = loop->performAfterDelay(1, [&] { ran.push_back("handle"); });
    handle->invalidate();
    advanceClock(2);
    pumpPending();
    EXPECT_EQ(ran.size(), 2u);
}

TEST_F(RunLoopTest, PerformOnMainFromWorkersDeliversAllInOrderPerThread) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 250;
    std::vector<std::vector<int>> received(kThreads);
    std::atomic<bool> wrongThread{false};
    std::atomic<int> waitedDone{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                // Every tenth waits: it must run before the next one is posted.
                const bool wait = i % 10 == 9;
                Thread::performOnMainThread(
                    [&, t, i] {
                        if (!Thread::isMainThread()) wrongThread = true;
                        received[t].push_back(i);
                    },
                    wait);
                if (wait && static_cast<int>(received[t].size()) != i + 1) wrongThread = true;
            }
            ++waitedDone;
        });
    }
    EXPECT_TRUE(pumpUntil([&] { return waitedDone == kThreads; }));
    pumpPending();
    for (auto& w : workers) w.join();
    EXPECT_FALSE(wrongThread);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(received[t].size(), static_cast<std::size_t>(kPerThread)) << "thread " << t;
        for (int i = 0; i < kPerThread; ++i) EXPECT_EQ(received[t][i], i);
    }
}

TEST_F(RunLoopTest, PerformOnMainFromMainIsInlineOnlyWhenWaiting) {
    std::vector<std::string> order;
    Thread::performOnMainThread([&] { order.push_back("queued"); }, false);
    Thread::performOnMainThread([&] { order.push_back("inline"); }, true);
    order.push_back("after");
    pumpPending();
    EXPECT_EQ(order, (std::vector<std::string>{"inline", "after", "queued"}));
}

TEST_F(RunLoopTest, DetachedThreadRunsItsOwnLoopAndTakesPerformsUntilStopped) {
    std::atomic<bool> loopDone{false};
    auto thread = Thread::detach(
        [&] {
            RunLoop::current()->run();
            loopDone = true;
        },
        "worker");
    ASSERT_TRUE(thread->runLoop());
    EXPECT_EQ(thread->name(), "worker");
    EXPECT_FALSE(thread->isMain());

    std::thread::id ranOn;
    int value = 0;
    thread->perform(
        [&] {
            ranOn = std::this_thread::get_id();
            value = 42;
        },
        true);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(ranOn, thread->id());

    // Without waiting, the task lands later; it can hand a result back.
    std::atomic<bool> handedBack{false};
    Thread::performOnThread(
        thread, [&] { Thread::performOnMainThread([&] { handedBack = true; }, false); }, false);
    EXPECT_TRUE(pumpUntil([&] { return handedBack.load(); }));

    thread->runLoop()->stop();
    EXPECT_TRUE(pumpUntil([&] { return loopDone.load(); }));
    EXPECT_TRUE(pumpUntil([&] { return thread->isFinished(); }));

    // A waiting perform on an ended thread returns instead of hanging.
    bool ran = false;
    thread->perform([&] { ran = true; }, true);
    EXPECT_FALSE(ran);
}

TEST_F(RunLoopTest, SignalledSourceWakesTheLoopInItsModeOnly) {
    std::atomic<int> handled{0};
    auto source = RunLoopSource::create([&] { ++handled; });
    const std::string mode = "StreamMode";
    std::promise<std::shared_ptr<RunLoop>> loopPromise;
    auto loopFuture = loopPromise.get_future();
    std::atomic<bool> sawHandled{false};
    std::thread worker([&] {
        auto loop = RunLoop::current();
        loop->addSource(source, mode);
        loopPromise.set_value(loop);
        // Waits (no timers, no tasks) until the signal from the other thread.
        if (loop->runMode(mode, Date::distantFuture()) == RunLoop::RunResult::HandledSource) sawHandled = true;
        loop->removeSource(source, mode);
    });
    auto loop = loopFuture.get();
    source->signal();
    worker.join();
    EXPECT_TRUE(sawHandled);
    EXPECT_EQ(handled, 1);

    // On the main loop in another mode it waits for its mode.
    RunLoop::current()->addSource(source, mode);
    source->signal();
    pumpPending();
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(RunLoop::current()->runMode(mode, Date::distantPast()), RunLoop::RunResult::HandledSource);
    EXPECT_EQ(handled, 2);
    source->invalidate();
    EXPECT_FALSE(RunLoop::current()->containsSource(source, mode));
}

TEST_F(RunLoopTest, StopFromAnotherThreadEndsANestedRunOnly) {
    auto main = RunLoop::current();
    std::vector<std::string> trace;
    main->perform([&] {
        trace.push_back("outer task");
        std::thread([main] { main->stop(); }).detach();
        const auto result = main->runMode("Nested", Date::distantFuture());
        trace.push_back(result == RunLoop::RunResult::Stopped ? "nested stopped" : "nested other");
    });
    pumpPending();
    EXPECT_EQ(trace, (std::vector<std::string>{"outer task", "nested stopped"}));
}

TEST_F(RunLoopTest, ClockChangeWakesAWaitingLoopOnAnotherThread) {
    std::atomic<bool> fired{false};
    std::promise<void> scheduled;
    auto ready = scheduled.get_future();
    std::thread worker([&] {
        auto loop = RunLoop::current();
        loop->addTimer(Timer::create(60, false, [&](Timer&) { fired = true; }));
        const Date limit = Date::now().addingTimeInterval(120);
        scheduled.set_value();
        loop->runUntil(limit);
    });
    ready.wait();
    Clock::advance(61);
    EXPECT_TRUE(pumpUntil([&] { return fired.load(); }));
    Clock::advance(100);  // passes the worker's limit date
    worker.join();
}

}  // namespace
}  // namespace clipora::platform
