#include "platform/foundation/RunLoopSource.h"

#include <algorithm>
#include <utility>

#include "platform/foundation/RunLoop.h"

namespace clipora::platform {

RunLoopSource::RunLoopSource(Handler handler) : handler_(std::move(handler)) {}

RunLoopSource::~RunLoopSource() = default;

std::shared_ptr<RunLoopSource> RunLoopSource::create(Handler handler) {
    return std::shared_ptr<RunLoopSource>(new RunLoopSource(std::move(handler)));
}

void RunLoopSource::signal() {
    if (!valid_.load()) return;
    signalled_.store(true);
    std::vector<std::shared_ptr<RunLoop>> loops;
    {
        std::lock_guard lock(mutex_);
        for (auto& w : loops_) {
            if (auto loop = w.lock()) loops.push_back(std::move(loop));
        }
    }
    for (auto& loop : loops) loop->wakeUp();
}

void RunLoopSource::invalidate() {
    if (!valid_.exchange(false)) return;
    std::vector<std::shared_ptr<RunLoop>> loops;
    Handler released;
    {
        std::lock_guard lock(mutex_);
        for (auto& w : loops_) {
            if (auto loop = w.lock()) loops.push_back(std::move(loop));
        }
        loops_.clear();
        released = std::move(handler_);
        handler_ = nullptr;
        droppedHandler_ = nullptr;
    }
    for (auto& loop : loops) loop->removeSourceEverywhere(this);
}

bool RunLoopSource::performIfSignalled() {
    if (!valid_.load() || !signalled_.exchange(false)) return false;
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        handler = handler_;
    }
    if (handler) handler();
    return true;
}

void RunLoopSource::attached(const std::shared_ptr<RunLoop>& loop) {
    std::lock_guard lock(mutex_);
    std::erase_if(loops_, [](const std::weak_ptr<RunLoop>& w) { return w.expired(); });
    for (auto& w : loops_) {
        if (w.lock() == loop) return;
    }
    loops_.push_back(loop);
}

void RunLoopSource::detached(const RunLoop* loop) {
    std::lock_guard lock(mutex_);
    std::erase_if(loops_, [&](const std::weak_ptr<RunLoop>& w) {
        auto l = w.lock();
        return !l || l.get() == loop;
    });
}

void RunLoopSource::setDroppedHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    droppedHandler_ = std::move(handler);
}

void RunLoopSource::dropped(const RunLoop* loop) {
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(loops_, [&](const std::weak_ptr<RunLoop>& w) {
            auto l = w.lock();
            return !l || l.get() == loop;
        });
        if (!valid_.load() || !loops_.empty()) return;
        handler = std::move(droppedHandler_);
        droppedHandler_ = nullptr;
    }
    if (handler) handler();
}

}  // namespace clipora::platform
