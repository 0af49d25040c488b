#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Date.h"

namespace clipora::platform {

class Timer;
class RunLoopSource;

// One event loop per thread. A run loop handles, while it runs in a mode:
//  - timers that are due by the process Clock (manual in tests, so a timer fires
//    when the test advances the clock past its fire date);
//  - tasks posted to it (from any thread) with perform();
//  - input sources that other code signals (from any thread).
// Every item is registered for a set of modes; the pseudo-mode `commonModes`
// stands for the default mode plus every mode added with addCommonMode().
//
// Running a mode with nothing registered does not
// return at once: it waits until something arrives, the limit date passes or
// stop() is called.
class RunLoop : public std::enable_shared_from_this<RunLoop> {
public:
    // Never destroyed, so threads still running while the process exits
    // can keep using them.
    static const std::string& defaultMode;  // "default"
    static const std::string& commonModes;  // "common" (a pseudo-mode)

    enum class RunResult {
        Finished,       // the thread that owns the loop has ended (or the loop was not run on it)
        Stopped,        // stop() was called
        TimedOut,       // the limit date passed
        HandledSource,  // a posted task or a signalled source was handled
    };

    // The calling thread's run loop, created on first use.
    static std::shared_ptr<RunLoop> current();
    // The run loop of the main thread (usable from any thread).
    static std::shared_ptr<RunLoop> main();
    // The main thread is the thread that started the process, unless a
    // program designates another one before anything asked for main().
    static void setMainThread(std::thread::id id = std::this_thread::get_id());
    static bool isMainThread();
    static std::thread::id mainThreadId();

    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // --- Running (only on the loop's own thread; nested runs are allowed) ---

    // Runs the loop in `mode` until the limit date (process Clock) passes,
    // stop() is called, or (with returnAfterSourceHandled) a posted task or
    // input source has been handled. Timers never end the run by themselves.
    RunResult runMode(const std::string& mode, Date limitDate, bool returnAfterSourceHandled = true);
    // Handles what is due in `mode` and waits at most `maxWait` of real time
    // for something to become due. Returns true when anything (timer, task or
    // source) was handled. This is the primitive tests pump with.
    bool runOnce(const std::string& mode, std::chrono::steady_clock::duration maxWait);
    // Runs the default mode until stop() is called.
    void run();
    // Runs the default mode until the date passes or stop() is called.
    void runUntil(Date limitDate);

    // Makes the innermost running invocation return Stopped; when the loop is
    // not running, the next run returns at once. Safe from any thread.
    void stop();
    // Wakes the loop so that it looks at its timers and queues again.
    void wakeUp();

    // The mode of the innermost running invocation, or none when not running.
    std::optional<std::string> currentMode() const;
    bool isRunning() const { return currentMode().has_value(); }
    // Whether this is the calling thread's loop.
    bool isCurrent() const;
    bool isMain() const;
    std::thread::id threadId() const { return threadId_; }
    // False once the owning thread has ended; posts to it are then dropped.
    bool isAlive() const;

    // Adds a mode to the set that `commonModes` stands for.
    void addCommonMode(const std::string& mode);
    std::vector<std::string> commonModeNames() const;

    // --- Posted tasks ---

    // Queues a task that runs once, in order, the next time the loop runs in
    // one of `modes`. Safe from any thread; wakes the loop. Returns false when
    // the loop's thread has ended (the task is dropped).
    bool perform(std::function<void()> task, std::vector<std::string> modes = {commonModes});

    // Runs the task after `delay` seconds of Clock time (a one-shot timer in
    // `modes`). The closure owns what it captures until it has run or is
    // cancelled. `target` and `tag` (both optional) identify the request for
    // cancelPreviousPerformRequests(). The returned timer can be invalidated.
    std::shared_ptr<Timer> performAfterDelay(double delay, std::function<void()> task, const void* target = nullptr,
                                             std::string tag = {}, std::vector<std::string> modes = {defaultMode});
    // Cancels every pending delayed perform of this loop made for `target`
    // (and, in the second form, with that tag).
    void cancelPreviousPerformRequests(const void* target);
    void cancelPreviousPerformRequests(const void* target, const std::string& tag);

    // --- Timers ---

    // Schedules the timer in `mode` (a timer may be added to several modes of
    // one loop). The loop holds the timer until it is invalidated.
    void addTimer(const std::shared_ptr<Timer>& timer, const std::string& mode = defaultMode);

    // --- Input sources ---

    void addSource(const std::shared_ptr<RunLoopSource>& source, const std::string& mode);
    void removeSource(const std::shared_ptr<RunLoopSource>& source, const std::string& mode);
    bool containsSource(const std::shared_ptr<RunLoopSource>& source, const std::string& mode) const;

    // Drops every posted task, delayed perform, timer and source, clears a
    // pending stop() and forgets modes added to the common modes. Tests call
    // it between cases on the main loop.
    void removeAll();

private:
    struct Task {
        std::function<void()> fn;
        std::vector<std::string> modes;
    };
    struct TimerEntry {
        std::shared_ptr<Timer> timer;
        std::string mode;
    };
    struct SourceEntry {
        std::shared_ptr<RunLoopSource> source;
        std::string mode;
    };

    explicit RunLoop(std::thread::id owner);
    static std::shared_ptr<RunLoop> make(std::thread::id owner);
    void threadEnded();
    bool modeMatches(const std::string& running, const std::vector<std::string>& modes) const;
    bool modeMatches(const std::string& running, const std::string& registered) const;
    // One pass: fires due timers, runs tasks and signalled sources.
    // Returns {anything handled, a task or source was handled}.
    std::pair<bool, bool> handleDue(const std::string& mode);
    void wait(const std::string& mode, std::optional<Date> limitDate,
              std::optional<std::chrono::steady_clock::time_point> realDeadline);
    void requireCurrent(const char* what) const;
    std::optional<Date> nextTimerDateLocked(const std::string& mode) const;
    void removeTimer(const Timer* timer);
    void removeSourceEverywhere(const RunLoopSource* source);
    void wakeLocked();

    friend class Timer;
    friend class RunLoopSource;
    friend struct RunLoopRegistry;
    friend struct RunLoopThreadHolder;

    const std::thread::id threadId_;
    mutable std::mutex mutex_;
    std::condition_variable wakeCondition_;
    bool wakePending_ = false;
    bool stopPending_ = false;
    bool alive_ = true;
    std::vector<std::string> modeStack_;
    std::vector<std::string> commonModeSet_;
    std::deque<Task> tasks_;
    std::vector<TimerEntry> timers_;
    std::vector<SourceEntry> sources_;
};

}  // namespace clipora::platform
