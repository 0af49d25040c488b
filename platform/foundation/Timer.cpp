#include "platform/foundation/Timer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"

namespace clipora::platform {

namespace {
// A repeating interval below this is taken as this, as the platform does.
constexpr double kMinimumInterval = 0.0001;
}  // namespace

Timer::Timer(Date fireDate, double interval, bool repeats, Action action)
    : fireDate_(fireDate), interval_(repeats ? std::max(interval, kMinimumInterval) : std::max(interval, 0.0)),
      repeats_(repeats), action_(std::move(action)) {}

Timer::~Timer() = default;

std::shared_ptr<Timer> Timer::create(Date fireDate, double interval, bool repeats, Action action) {
    return std::shared_ptr<Timer>(new Timer(fireDate, interval, repeats, std::move(action)));
}

std::shared_ptr<Timer> Timer::create(double interval, bool repeats, Action action) {
    return create(Clock::now().addingTimeInterval(std::max(interval, 0.0)), interval, repeats, std::move(action));
}

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Action action) {
    auto timer = create(interval, repeats, std::move(action));
    RunLoop::current()->addTimer(timer, RunLoop::defaultMode);
    return timer;
}

bool Timer::isValid() const {
    std::lock_guard lock(mutex_);
    return valid_;
}

Date Timer::fireDate() const {
    std::lock_guard lock(mutex_);
    return fireDate_;
}

void Timer::setFireDate(Date date) {
    std::shared_ptr<RunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        fireDate_ = date;
        loop = runLoop_.lock();
    }
    if (loop) loop->wakeUp();
}

void Timer::invalidate() {
    Action released;
    std::shared_ptr<RunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        if (!valid_) return;
        valid_ = false;
        released = std::move(action_);
        action_ = nullptr;
        loop = runLoop_.lock();
    }
    if (loop) loop->removeTimer(this);
    // `released` (and what it captured) goes here, outside every lock.
}

void Timer::fire() {
    auto self = shared_from_this();
    Action action;
    {
        std::lock_guard lock(mutex_);
        if (!valid_) return;
        action = action_;
    }
    if (action) action(*this);
    if (!repeats_) invalidate();
}

void Timer::fireFromRunLoop(Date now) {
    auto self = shared_from_this();
    Action action;
    {
        std::lock_guard lock(mutex_);
        if (!valid_ || firing_) return;
        action = action_;
        if (repeats_) {
            // Next multiple of the interval after now; missed firings are
            // not made up.
            const double late = now.timeIntervalSince(fireDate_);
            double steps = std::floor(late / interval_) + 1;
            if (steps < 1) steps = 1;
            fireDate_ = fireDate_.addingTimeInterval(steps * interval_);
            if (fireDate_ <= now) fireDate_ = now.addingTimeInterval(interval_);
        }
        firing_ = true;
    }
    struct Reset {
        Timer& timer;
        ~Reset() {
            std::lock_guard lock(timer.mutex_);
            timer.firing_ = false;
        }
    } reset{*this};
    if (action) action(*this);
    if (!repeats_) invalidate();
}

}  // namespace clipora::platform
