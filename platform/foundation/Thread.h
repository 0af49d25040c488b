#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/RunLoop.h"

namespace clipora::platform {

// A thread of the process and its run loop. Every thread has a Thread object
// (made on first use for threads this class did not start); detached threads
// started here run a closure and end with it.
class Thread : public std::enable_shared_from_this<Thread> {
public:
    // The calling thread.
    static std::shared_ptr<Thread> current();
    // The main thread (see RunLoop::main()).
    static std::shared_ptr<Thread> mainThread();
    static bool isMainThread();

    // Starts a detached thread running `body`; the thread's run loop exists
    // from the start, so others can perform on it at once.
    static std::shared_ptr<Thread> detach(std::function<void()> body, std::string name = {});

    // Runs `task` on the main thread's run loop in `modes`. With
    // waitUntilDone the caller blocks until the task has run; when the caller
    // is the main thread the task then runs at once, inline. Without waiting,
    // the task is always queued (also from the main thread).
    static void performOnMainThread(std::function<void()> task, bool waitUntilDone,
                                    std::vector<std::string> modes = {RunLoop::commonModes});
    // The same for a given thread; a task for a thread that has ended is
    // dropped (a waiting caller returns).
    static void performOnThread(const std::shared_ptr<Thread>& thread, std::function<void()> task, bool waitUntilDone,
                                std::vector<std::string> modes = {RunLoop::commonModes});
    void perform(std::function<void()> task, bool waitUntilDone,
                 std::vector<std::string> modes = {RunLoop::commonModes});

    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    const std::shared_ptr<RunLoop>& runLoop() const { return runLoop_; }
    std::thread::id id() const { return id_; }
    bool isMain() const;
    bool isFinished() const { return finished_.load(); }
    const std::string& name() const { return name_; }

private:
    Thread(std::thread::id id, std::shared_ptr<RunLoop> loop, std::string name);
    friend struct ThreadRecord;

    const std::thread::id id_;
    const std::shared_ptr<RunLoop> runLoop_;
    const std::string name_;
    std::atomic<bool> finished_{false};
};

}  // namespace clipora::platform
