#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/Date.h"

namespace clipora::platform {

class RunLoop;

// A timer fires its action on the run loop it is scheduled on, when the
// process Clock reaches its fire date. A repeating timer then moves its fire
// date on by whole intervals past "now" (late firings are not repeated).
// A non-repeating timer is invalidated after it fired. The run loop holds a
// scheduled timer until it is invalidated, so `scheduled(...)` needs no owner.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Action = std::function<void(Timer&)>;

    // An unscheduled timer whose first fire date is `fireDate`.
    static std::shared_ptr<Timer> create(Date fireDate, double interval, bool repeats, Action action);
    // An unscheduled timer that first fires `interval` seconds from now.
    static std::shared_ptr<Timer> create(double interval, bool repeats, Action action);
    // A timer scheduled on the current thread's run loop in the default mode.
    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Action action);

    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Runs the action now. A non-repeating timer is invalidated afterwards;
    // a repeating timer keeps its schedule.
    void fire();
    // Stops the timer for good and releases its action. Safe from any thread.
    void invalidate();
    bool isValid() const;

    Date fireDate() const;
    // Moves the next firing (also on a scheduled timer; the loop is woken).
    void setFireDate(Date date);
    double timeInterval() const { return interval_; }
    bool repeats() const { return repeats_; }

    // Identification of a delayed perform (see RunLoop::performAfterDelay).
    const void* target() const { return target_; }
    const std::string& tag() const { return tag_; }

private:
    Timer(Date fireDate, double interval, bool repeats, Action action);
    friend class RunLoop;

    // Called by the run loop when the timer is due.
    void fireFromRunLoop(Date now);

    mutable std::mutex mutex_;
    Date fireDate_;
    const double interval_;
    const bool repeats_;
    bool valid_ = true;
    bool firing_ = false;
    Action action_;
    std::weak_ptr<RunLoop> runLoop_;
    const void* target_ = nullptr;
    std::string tag_;
};

}  // namespace clipora::platform
