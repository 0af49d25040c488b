#include "platform/foundation/DispatchQueue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <future>
#include <stdexcept>
#include <thread>
#include <utility>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"

namespace clipora::platform {

namespace {
// An idle worker thread ends after this long without work.
constexpr std::chrono::seconds kWorkerIdleTime{2};
}  // namespace

// The state behind a DispatchQueue: pending blocks and the worker threads
// that drain them (one for a serial queue, a pool for the global queue).
// Workers keep it alive while they run.
struct DispatchQueueCore : std::enable_shared_from_this<DispatchQueueCore> {
    enum class Kind { Main, Global, Serial };

    DispatchQueueCore(Kind k, std::string l, std::size_t threads) : kind(k), label(std::move(l)), maxThreads(threads) {}

    void async(std::function<void()> block);
    void workerLoop();

    const Kind kind;
    const std::string label;
    const std::size_t maxThreads;
    std::mutex mutex;
    std::condition_variable workCondition;
    std::deque<std::function<void()>> pending;
    std::size_t threads = 0;
    std::size_t idle = 0;
};

namespace {

// The queue whose block the calling thread is running.
thread_local const DispatchQueueCore* tCurrentQueue = nullptr;

class CurrentQueueScope {
public:
    explicit CurrentQueueScope(const DispatchQueueCore* queue) : previous_(tCurrentQueue) { tCurrentQueue = queue; }
    ~CurrentQueueScope() { tCurrentQueue = previous_; }
    CurrentQueueScope(const CurrentQueueScope&) = delete;
    CurrentQueueScope& operator=(const CurrentQueueScope&) = delete;

private:
    const DispatchQueueCore* previous_;
};

// A thread whose run loop holds the timers of asyncAfter for queues other
// than the main queue, so that they follow the process clock like any timer.
// Never destroyed, like the thread itself.
std::shared_ptr<Thread> delayThread() {
    static const std::shared_ptr<Thread>& thread = *new std::shared_ptr<Thread>(Thread::detach(
        [] {
            auto loop = RunLoop::current();
            for (;;) loop->run();
        },
        "dispatch-after"));
    return thread;
}

}  // namespace

void DispatchQueueCore::async(std::function<void()> block) {
    if (!block) return;
    if (kind == Kind::Main) {
        RunLoop::main()->perform(std::move(block), {RunLoop::commonModes});
        return;
    }
    std::lock_guard lock(mutex);
    pending.push_back(std::move(block));
    if (idle >= pending.size()) {
        workCondition.notify_one();
    } else if (threads < maxThreads) {
        ++threads;
        std::thread([self = shared_from_this()] { self->workerLoop(); }).detach();
    }
}

void DispatchQueueCore::workerLoop() {
    CurrentQueueScope scope(this);
    std::unique_lock lock(mutex);
    for (;;) {
        if (!pending.empty()) {
            auto block = std::move(pending.front());
            pending.pop_front();
            lock.unlock();
            block();
            block = nullptr;
            lock.lock();
            continue;
        }
        ++idle;
        const bool gotWork = workCondition.wait_for(lock, kWorkerIdleTime, [this] { return !pending.empty(); });
        --idle;
        if (!gotWork) {
            --threads;
            return;
        }
    }
}

DispatchQueue::DispatchQueue(std::shared_ptr<DispatchQueueCore> core) : core_(std::move(core)) {}

DispatchQueue::~DispatchQueue() = default;

// The main and global queues are never destroyed: blocks on worker threads
// hand work to them, also while statics are destroyed at exit.
std::shared_ptr<DispatchQueue> DispatchQueue::main() {
    static const std::shared_ptr<DispatchQueue>& queue = *new std::shared_ptr<DispatchQueue>(
        new DispatchQueue(std::make_shared<DispatchQueueCore>(DispatchQueueCore::Kind::Main, "main", 1)));
    return queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::global() {
    static const std::shared_ptr<DispatchQueue>& queue = *new std::shared_ptr<DispatchQueue>(new DispatchQueue(
        std::make_shared<DispatchQueueCore>(DispatchQueueCore::Kind::Global, "global",
                                            std::max<std::size_t>(4, 2 * std::thread::hardware_concurrency()))));
    return queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::createSerial(std::string label) {
    return std::shared_ptr<DispatchQueue>(
        new DispatchQueue(std::make_shared<DispatchQueueCore>(DispatchQueueCore::Kind::Serial, std::move(label), 1)));
}

void DispatchQueue::async(std::function<void()> block) { core_->async(std::move(block)); }

void DispatchQueue::sync(const std::function<void()>& block) {
    if (!block) return;
    switch (core_->kind) {
    case DispatchQueueCore::Kind::Global: {
        CurrentQueueScope scope(core_.get());
        block();
        return;
    }
    case DispatchQueueCore::Kind::Main:
    case DispatchQueueCore::Kind::Serial: break;
    }
    if (isCurrent()) throw std::logic_error("sync on the queue that is running the caller would wait forever");
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    core_->async([&block, done] {
        try {
            block();
            done->set_value();
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    });
    finished.get();  // rethrows what the block threw
}

void DispatchQueue::asyncAfter(double delay, std::function<void()> block) {
    if (!block) return;
    if (core_->kind == DispatchQueueCore::Kind::Main) {
        RunLoop::main()->performAfterDelay(delay, std::move(block), nullptr, {}, {RunLoop::commonModes});
        return;
    }
    delayThread()->runLoop()->performAfterDelay(delay, [core = core_, block = std::move(block)] { core->async(block); },
                                                nullptr, {}, {RunLoop::defaultMode});
}

bool DispatchQueue::isCurrent() const {
    if (core_->kind == DispatchQueueCore::Kind::Main) return RunLoop::isMainThread();
    return tCurrentQueue == core_.get();
}

const std::string& DispatchQueue::label() const { return core_->label; }

bool DispatchQueue::isSerial() const { return core_->kind != DispatchQueueCore::Kind::Global; }

void DispatchQueue::once(DispatchOnce& flag, const std::function<void()>& block) { std::call_once(flag, block); }

}  // namespace clipora::platform
