#include "platform/foundation/Thread.h"

#include <future>
#include <mutex>
#include <utility>

namespace clipora::platform {

// The calling thread's Thread object; marks it finished when the thread ends.
struct ThreadRecord {
    std::shared_ptr<Thread> thread;
    ~ThreadRecord() {
        if (thread) thread->finished_.store(true);
    }

    static std::shared_ptr<Thread> makeForCurrent(std::string name) {
        return std::shared_ptr<Thread>(new Thread(std::this_thread::get_id(), RunLoop::current(), std::move(name)));
    }
};

namespace {

thread_local ThreadRecord tThread;

struct MainThreadHolder {
    std::mutex mutex;
    std::shared_ptr<Thread> thread;
};

MainThreadHolder& mainHolder() {
    static MainThreadHolder& holder = *new MainThreadHolder;  // intentionally leaked: used by late threads
    return holder;
}

}  // namespace

Thread::Thread(std::thread::id id, std::shared_ptr<RunLoop> loop, std::string name)
    : id_(id), runLoop_(std::move(loop)), name_(std::move(name)) {}

Thread::~Thread() = default;

std::shared_ptr<Thread> Thread::current() {
    if (!tThread.thread) {
        tThread.thread = RunLoop::isMainThread() ? mainThread() : ThreadRecord::makeForCurrent({});
    }
    return tThread.thread;
}

std::shared_ptr<Thread> Thread::mainThread() {
    auto& holder = mainHolder();
    auto loop = RunLoop::main();
    std::lock_guard lock(holder.mutex);
    if (!holder.thread || holder.thread->runLoop_ != loop) {
        holder.thread = std::shared_ptr<Thread>(new Thread(loop->threadId(), loop, "main"));
    }
    return holder.thread;
}

bool Thread::isMainThread() { return RunLoop::isMainThread(); }

bool Thread::isMain() const { return id_ == RunLoop::mainThreadId(); }

std::shared_ptr<Thread> Thread::detach(std::function<void()> body, std::string name) {
    std::promise<std::shared_ptr<Thread>> started;
    auto future = started.get_future();
    std::thread([body = std::move(body), name = std::move(name), started = std::move(started)]() mutable {
        tThread.thread = ThreadRecord::makeForCurrent(std::move(name));
        started.set_value(tThread.thread);
        if (body) body();
    }).detach();
    return future.get();
}

void Thread::performOnMainThread(std::function<void()> task, bool waitUntilDone, std::vector<std::string> modes) {
    performOnThread(mainThread(), std::move(task), waitUntilDone, std::move(modes));
}

void Thread::performOnThread(const std::shared_ptr<Thread>& thread, std::function<void()> task, bool waitUntilDone,
                             std::vector<std::string> modes) {
    if (!thread || !task) return;
    if (waitUntilDone && thread->id_ == std::this_thread::get_id()) {
        task();
        return;
    }
    if (!waitUntilDone) {
        thread->runLoop_->perform(std::move(task), std::move(modes));
        return;
    }
    // The promise lives only in the posted closure: when the loop drops the
    // task (its thread ended) the promise breaks and the wait below ends.
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    const bool posted = thread->runLoop_->perform(
        [task = std::move(task), done = std::move(done)] {
            task();
            done->set_value();
        },
        std::move(modes));
    if (!posted) return;
    try {
        finished.get();
    } catch (const std::future_error&) {
        // Dropped without running.
    }
}

void Thread::perform(std::function<void()> task, bool waitUntilDone, std::vector<std::string> modes) {
    performOnThread(shared_from_this(), std::move(task), waitUntilDone, std::move(modes));
}

}  // namespace clipora::platform
