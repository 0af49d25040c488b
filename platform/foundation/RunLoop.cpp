#include "platform/foundation/RunLoop.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoopSource.h"
#include "platform/foundation/Timer.h"

namespace clipora::platform {

const std::string& RunLoop::defaultMode = *new std::string("default");
const std::string& RunLoop::commonModes = *new std::string("common");

namespace {

// Longest single real-time wait; the loop re-evaluates afterwards. Keeps the
// arithmetic far from overflow when the limit is the distant future.
constexpr std::chrono::hours kMaxWait{24};

std::chrono::steady_clock::duration secondsToDuration(double seconds) {
    if (seconds <= 0) return std::chrono::steady_clock::duration::zero();
    if (seconds > 86400.0) return kMaxWait;
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

// Process-wide bookkeeping: which thread is main, the main loop, and every
// live loop so that a change of the clock can wake them all. Never destroyed,
// so that threads outliving main() can still reach it.
struct RunLoopRegistry {
    std::mutex mutex;
    std::optional<std::thread::id> mainId;
    std::shared_ptr<RunLoop> mainLoop;
    std::vector<std::weak_ptr<RunLoop>> loops;
    std::once_flag clockListenerOnce;

    static RunLoopRegistry& instance() {
        static RunLoopRegistry& registry = *new RunLoopRegistry;  // intentionally leaked, see above
        return registry;
    }

    std::thread::id mainThreadId() {
        std::lock_guard lock(mutex);
        if (!mainId) mainId = std::this_thread::get_id();
        return *mainId;
    }

    void add(const std::shared_ptr<RunLoop>& loop) {
        // Registered with the first loop rather than at start-up, so that it
        // never depends on the order of static initialisation.
        std::call_once(clockListenerOnce,
                       [] { Clock::addListener([](Date) { RunLoopRegistry::instance().wakeAll(); }); });
        std::lock_guard lock(mutex);
        std::erase_if(loops, [](const std::weak_ptr<RunLoop>& w) { return w.expired(); });
        loops.push_back(loop);
    }

    void wakeAll() {
        std::vector<std::shared_ptr<RunLoop>> live;
        {
            std::lock_guard lock(mutex);
            for (auto& w : loops) {
                if (auto loop = w.lock()) live.push_back(std::move(loop));
            }
        }
        for (auto& loop : live) loop->wakeUp();
    }
};

// Ends a thread's loop when the thread ends.
struct RunLoopThreadHolder {
    std::shared_ptr<RunLoop> loop;
    ~RunLoopThreadHolder() {
        if (loop) loop->threadEnded();
    }
};

namespace {

thread_local RunLoopThreadHolder tLoop;

// The thread that runs static initialisation is the process's main thread.
[[maybe_unused]] const std::thread::id kProcessMainThread = RunLoop::mainThreadId();

}  // namespace

RunLoop::RunLoop(std::thread::id owner) : threadId_(owner), commonModeSet_{defaultMode} {}

RunLoop::~RunLoop() = default;

std::shared_ptr<RunLoop> RunLoop::make(std::thread::id owner) {
    std::shared_ptr<RunLoop> loop(new RunLoop(owner));
    RunLoopRegistry::instance().add(loop);
    return loop;
}

std::shared_ptr<RunLoop> RunLoop::current() {
    if (!tLoop.loop) {
        if (isMainThread()) {
            tLoop.loop = main();
        } else {
            tLoop.loop = make(std::this_thread::get_id());
        }
    }
    return tLoop.loop;
}

std::shared_ptr<RunLoop> RunLoop::main() {
    auto& registry = RunLoopRegistry::instance();
    const auto id = registry.mainThreadId();
    {
        std::lock_guard lock(registry.mutex);
        if (registry.mainLoop && registry.mainLoop->threadId_ == id) return registry.mainLoop;
    }
    auto loop = make(id);
    std::lock_guard lock(registry.mutex);
    if (!registry.mainLoop || registry.mainLoop->threadId_ != id) registry.mainLoop = loop;
    return registry.mainLoop;
}

void RunLoop::setMainThread(std::thread::id id) {
    auto& registry = RunLoopRegistry::instance();
    std::lock_guard lock(registry.mutex);
    registry.mainId = id;
    if (registry.mainLoop && registry.mainLoop->threadId_ != id) registry.mainLoop.reset();
}

bool RunLoop::isMainThread() { return mainThreadId() == std::this_thread::get_id(); }

std::thread::id RunLoop::mainThreadId() { return RunLoopRegistry::instance().mainThreadId(); }

bool RunLoop::isCurrent() const { return threadId_ == std::this_thread::get_id(); }

bool RunLoop::isMain() const { return threadId_ == mainThreadId(); }

bool RunLoop::isAlive() const {
    std::lock_guard lock(mutex_);
    return alive_;
}

std::optional<std::string> RunLoop::currentMode() const {
    std::lock_guard lock(mutex_);
    if (modeStack_.empty()) return std::nullopt;
    return modeStack_.back();
}

void RunLoop::addCommonMode(const std::string& mode) {
    std::lock_guard lock(mutex_);
    if (std::find(commonModeSet_.begin(), commonModeSet_.end(), mode) == commonModeSet_.end()) {
        commonModeSet_.push_back(mode);
    }
    wakeLocked();
}

std::vector<std::string> RunLoop::commonModeNames() const {
    std::lock_guard lock(mutex_);
    return commonModeSet_;
}

bool RunLoop::modeMatches(const std::string& running, const std::string& registered) const {
    if (registered == running) return true;
    return registered == commonModes &&
           std::find(commonModeSet_.begin(), commonModeSet_.end(), running) != commonModeSet_.end();
}

bool RunLoop::modeMatches(const std::string& running, const std::vector<std::string>& modes) const {
    return std::any_of(modes.begin(), modes.end(), [&](const std::string& m) { return modeMatches(running, m); });
}

void RunLoop::wakeLocked() {
    wakePending_ = true;
    wakeCondition_.notify_all();
}

void RunLoop::wakeUp() {
    std::lock_guard lock(mutex_);
    wakeLocked();
}

void RunLoop::stop() {
    std::lock_guard lock(mutex_);
    stopPending_ = true;
    wakeLocked();
}

void RunLoop::threadEnded() {
    std::deque<Task> tasks;
    std::vector<TimerEntry> timers;
    std::vector<SourceEntry> sources;
    {
        std::lock_guard lock(mutex_);
        alive_ = false;
        tasks.swap(tasks_);
        timers.swap(timers_);
        sources.swap(sources_);
    }
    // Dropping the tasks releases waiters (see Thread::performOnThread).
    for (auto& entry : timers) entry.timer->invalidate();
    for (auto& entry : sources) entry.source->dropped(this);
}

void RunLoop::removeAll() {
    std::deque<Task> tasks;
    std::vector<TimerEntry> timers;
    std::vector<SourceEntry> sources;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
        timers.swap(timers_);
        sources.swap(sources_);
        stopPending_ = false;
        commonModeSet_ = {defaultMode};
    }
    for (auto& entry : timers) entry.timer->invalidate();
    for (auto& entry : sources) entry.source->dropped(this);
}

bool RunLoop::perform(std::function<void()> task, std::vector<std::string> modes) {
    if (!task) return true;
    if (modes.empty()) modes.push_back(commonModes);
    std::unique_lock lock(mutex_);
    if (!alive_) {
        lock.unlock();
        return false;  // the task is destroyed here, outside the lock
    }
    tasks_.push_back(Task{std::move(task), std::move(modes)});
    wakeLocked();
    return true;
}

std::shared_ptr<Timer> RunLoop::performAfterDelay(double delay, std::function<void()> task, const void* target,
                                                  std::string tag, std::vector<std::string> modes) {
    auto timer =
        Timer::create(Date::now().addingTimeInterval(std::max(0.0, delay)), 0, false, [task = std::move(task)](Timer&) {
            if (task) task();
        });
    timer->target_ = target;
    timer->tag_ = std::move(tag);
    if (modes.empty()) modes.push_back(defaultMode);
    for (const auto& mode : modes) addTimer(timer, mode);
    return timer;
}

void RunLoop::cancelPreviousPerformRequests(const void* target) {
    if (!target) return;
    std::vector<std::shared_ptr<Timer>> matching;
    {
        std::lock_guard lock(mutex_);
        for (auto& entry : timers_) {
            if (entry.timer->target_ == target) matching.push_back(entry.timer);
        }
    }
    for (auto& timer : matching) timer->invalidate();
}

void RunLoop::cancelPreviousPerformRequests(const void* target, const std::string& tag) {
    if (!target) return;
    std::vector<std::shared_ptr<Timer>> matching;
    {
        std::lock_guard lock(mutex_);
        for (auto& entry : timers_) {
            if (entry.timer->target_ == target && entry.timer->tag_ == tag) matching.push_back(entry.timer);
        }
    }
    for (auto& timer : matching) timer->invalidate();
}

void RunLoop::addTimer(const std::shared_ptr<Timer>& timer, const std::string& mode) {
    if (!timer) return;
    {
        std::lock_guard timerLock(timer->mutex_);
        if (!timer->valid_) return;
        auto bound = timer->runLoop_.lock();
        if (bound && bound.get() != this) {
            throw std::logic_error("a timer can be scheduled on one run loop only");
        }
        timer->runLoop_ = weak_from_this();
    }
    std::unique_lock lock(mutex_);
    if (!alive_) return;
    for (const auto& entry : timers_) {
        if (entry.timer == timer && entry.mode == mode) return;
    }
    timers_.push_back(TimerEntry{timer, mode});
    wakeLocked();
}

void RunLoop::removeTimer(const Timer* timer) {
    std::vector<TimerEntry> removed;
    std::lock_guard lock(mutex_);
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->timer.get() == timer) {
            removed.push_back(std::move(*it));
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
    // `removed` may hold the last references; Timer's destructor takes no
    // lock of this loop, so releasing them here is safe.
}

void RunLoop::addSource(const std::shared_ptr<RunLoopSource>& source, const std::string& mode) {
    if (!source || !source->isValid()) return;
    {
        std::lock_guard lock(mutex_);
        if (!alive_) return;
        for (const auto& entry : sources_) {
            if (entry.source == source && entry.mode == mode) return;
        }
        sources_.push_back(SourceEntry{source, mode});
        wakeLocked();
    }
    source->attached(shared_from_this());
}

void RunLoop::removeSource(const std::shared_ptr<RunLoopSource>& source, const std::string& mode) {
    if (!source) return;
    bool stillAttached = false;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(sources_, [&](const SourceEntry& e) { return e.source == source && e.mode == mode; });
        stillAttached =
            std::any_of(sources_.begin(), sources_.end(), [&](const SourceEntry& e) { return e.source == source; });
    }
    if (!stillAttached) source->detached(this);
}

void RunLoop::removeSourceEverywhere(const RunLoopSource* source) {
    std::vector<SourceEntry> removed;
    std::lock_guard lock(mutex_);
    for (auto it = sources_.begin(); it != sources_.end();) {
        if (it->source.get() == source) {
            removed.push_back(std::move(*it));
            it = sources_.erase(it);
        } else {
            ++it;
        }
    }
}

bool RunLoop::containsSource(const std::shared_ptr<RunLoopSource>& source, const std::string& mode) const {
    std::lock_guard lock(mutex_);
    return std::any_of(sources_.begin(), sources_.end(),
                       [&](const SourceEntry& e) { return e.source == source && e.mode == mode; });
}

std::optional<Date> RunLoop::nextTimerDateLocked(const std::string& mode) const {
    std::optional<Date> next;
    for (const auto& entry : timers_) {
        if (!modeMatches(mode, entry.mode)) continue;
        std::lock_guard timerLock(entry.timer->mutex_);
        if (!entry.timer->valid_ || entry.timer->firing_) continue;
        if (!next || entry.timer->fireDate_ < *next) next = entry.timer->fireDate_;
    }
    return next;
}

std::pair<bool, bool> RunLoop::handleDue(const std::string& mode) {
    bool handledAnything = false;
    bool handledSource = false;

    // Timers due by the clock, earliest first; each at most once per pass so
    // that a very short repeating interval cannot hold the loop.
    std::vector<const Timer*> firedThisPass;
    for (;;) {
        std::shared_ptr<Timer> due;
        const Date now = Clock::now();
        {
            std::lock_guard lock(mutex_);
            Date best = Date::distantFuture();
            for (const auto& entry : timers_) {
                if (!modeMatches(mode, entry.mode)) continue;
                if (std::find(firedThisPass.begin(), firedThisPass.end(), entry.timer.get()) != firedThisPass.end()) {
                    continue;
                }
                std::lock_guard timerLock(entry.timer->mutex_);
                if (!entry.timer->valid_ || entry.timer->firing_ || entry.timer->fireDate_ > now) continue;
                if (!due || entry.timer->fireDate_ < best) {
                    due = entry.timer;
                    best = entry.timer->fireDate_;
                }
            }
        }
        if (!due) break;
        firedThisPass.push_back(due.get());
        due->fireFromRunLoop(now);
        handledAnything = true;
    }

    // Posted tasks, one at a time and in order, so that a nested run inside a
    // task carries on with the next one; only those present at the start.
    std::size_t budget;
    {
        std::lock_guard lock(mutex_);
        budget = tasks_.size();
    }
    while (budget-- > 0) {
        std::function<void()> fn;
        {
            std::lock_guard lock(mutex_);
            auto it =
                std::find_if(tasks_.begin(), tasks_.end(), [&](const Task& t) { return modeMatches(mode, t.modes); });
            if (it == tasks_.end()) break;
            fn = std::move(it->fn);
            tasks_.erase(it);
        }
        fn();
        handledAnything = handledSource = true;
    }

    // Signalled input sources.
    std::vector<std::shared_ptr<RunLoopSource>> ready;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : sources_) {
            if (modeMatches(mode, entry.mode) && entry.source->isSignalled() &&
                std::find(ready.begin(), ready.end(), entry.source) == ready.end()) {
                ready.push_back(entry.source);
            }
        }
    }
    for (auto& source : ready) {
        if (source->performIfSignalled()) handledAnything = handledSource = true;
    }
    return {handledAnything, handledSource};
}

void RunLoop::wait(const std::string& mode, std::optional<Date> limitDate,
                   std::optional<std::chrono::steady_clock::time_point> realDeadline) {
    std::unique_lock lock(mutex_);
    if (wakePending_ || stopPending_) return;
    std::optional<Date> target = nextTimerDateLocked(mode);
    if (limitDate && (!target || *limitDate < *target)) target = limitDate;

    std::optional<std::chrono::steady_clock::time_point> deadline = realDeadline;
    if (target) {
        const double remaining = target->timeIntervalSince(Clock::now());
        if (remaining <= 0) return;  // already due
        // Under the manual clock time moves only when a test moves it, and
        // that wakes every loop; there is nothing to wait for in real time.
        if (!Clock::isManual()) {
            const auto clockDeadline = std::chrono::steady_clock::now() + secondsToDuration(remaining);
            if (!deadline || clockDeadline < *deadline) deadline = clockDeadline;
        }
    }
    const auto woken = [this] { return wakePending_ || stopPending_; };
    if (deadline) {
        wakeCondition_.wait_until(lock, *deadline, woken);
    } else {
        wakeCondition_.wait_until(lock, std::chrono::steady_clock::now() + kMaxWait, woken);
    }
}

void RunLoop::requireCurrent(const char* what) const {
    if (!isCurrent()) throw std::logic_error(std::string(what) + ": a run loop runs only on its own thread");
}

namespace {

// Keeps the stack of running modes right when a callback throws.
class ModeScope {
public:
    ModeScope(std::mutex& mutex, std::vector<std::string>& stack, const std::string& mode)
        : mutex_(mutex), stack_(stack) {
        std::lock_guard lock(mutex_);
        stack_.push_back(mode);
    }
    ~ModeScope() {
        std::lock_guard lock(mutex_);
        stack_.pop_back();
    }
    ModeScope(const ModeScope&) = delete;
    ModeScope& operator=(const ModeScope&) = delete;

private:
    std::mutex& mutex_;
    std::vector<std::string>& stack_;
};

}  // namespace

RunLoop::RunResult RunLoop::runMode(const std::string& mode, Date limitDate, bool returnAfterSourceHandled) {
    requireCurrent("runMode");
    ModeScope scope(mutex_, modeStack_, mode);
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (!alive_) return RunResult::Finished;
            if (stopPending_) {
                stopPending_ = false;
                return RunResult::Stopped;
            }
            wakePending_ = false;
        }
        const auto [anything, source] = handleDue(mode);
        (void)anything;
        if (source && returnAfterSourceHandled) return RunResult::HandledSource;
        {
            std::lock_guard lock(mutex_);
            if (stopPending_) {
                stopPending_ = false;
                return RunResult::Stopped;
            }
        }
        if (Clock::now() >= limitDate) return RunResult::TimedOut;
        wait(mode, limitDate, std::nullopt);
    }
}

bool RunLoop::runOnce(const std::string& mode, std::chrono::steady_clock::duration maxWait) {
    requireCurrent("runOnce");
    ModeScope scope(mutex_, modeStack_, mode);
    const auto deadline = std::chrono::steady_clock::now() + maxWait;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopPending_) {
                stopPending_ = false;
                return true;
            }
            wakePending_ = false;
        }
        if (handleDue(mode).first) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        wait(mode, std::nullopt, deadline);
    }
}

void RunLoop::run() {
    requireCurrent("run");
    for (;;) {
        const auto result = runMode(defaultMode, Date::distantFuture());
        if (result == RunResult::Stopped || result == RunResult::Finished) return;
    }
}

void RunLoop::runUntil(Date limitDate) {
    requireCurrent("runUntil");
    for (;;) {
        const auto result = runMode(defaultMode, limitDate);
        if (result != RunResult::HandledSource) return;
    }
}

}  // namespace clipora::platform
