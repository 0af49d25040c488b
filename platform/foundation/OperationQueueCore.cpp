#include "platform/foundation/OperationQueueCore.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/foundation/Operation.h"
#include "platform/foundation/RunLoop.h"

namespace clipora::platform {

namespace {
// An idle worker thread ends after this long without work.
constexpr std::chrono::seconds kWorkerIdleTime{2};
}  // namespace

int OperationQueueCore::width() const {
    if (isMain) return 1;
    if (maxCount >= 0) return maxCount;
    return static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));
}

void OperationQueueCore::add(const std::shared_ptr<Operation>& op) {
    std::shared_ptr<void> forMain;
    std::size_t count;
    {
        std::lock_guard lock(mutex);
        operations.push_back(op);
        count = operations.size();
        forMain = pickLocked();
    }
    dispatch(forMain);
    notifyCount(count);
}

void OperationQueueCore::schedule() {
    std::shared_ptr<void> forMain;
    {
        std::lock_guard lock(mutex);
        forMain = pickLocked();
    }
    dispatch(forMain);
}

std::shared_ptr<Operation> OperationQueueCore::nextReadyLocked() const {
    std::shared_ptr<Operation> best;
    for (const auto& op : operations) {
        if (std::find(started.begin(), started.end(), op.get()) != started.end()) continue;
        if (!op->isReady()) continue;
        if (!best || op->queuePriority() > best->queuePriority()) best = op;
    }
    return best;
}

std::shared_ptr<void> OperationQueueCore::pickLocked() {
    const auto limit = static_cast<std::size_t>(std::max(0, width()));
    if (isMain) {
        if (suspended || started.size() >= limit || !mainDrainToken.expired() || !nextReadyLocked()) return nullptr;
        auto token = std::make_shared<int>(0);
        mainDrainToken = token;
        return token;
    }
    while (!suspended && started.size() < limit) {
        auto best = nextReadyLocked();
        if (!best) break;
        started.push_back(best.get());
        handoff.push_back(best);
        if (idleWorkers >= handoff.size()) {
            workCondition.notify_one();
        } else {
            std::thread([self = shared_from_this()] { self->workerLoop(); }).detach();
        }
    }
    return nullptr;
}

void OperationQueueCore::dispatch(std::shared_ptr<void> mainDrain) {
    if (!mainDrain) return;
    RunLoop::main()->perform([self = shared_from_this(), token = std::move(mainDrain)] { self->drainMain(); },
                             {RunLoop::commonModes});
}

void OperationQueueCore::drainMain() {
    std::shared_ptr<Operation> next;
    {
        std::lock_guard lock(mutex);
        mainDrainToken.reset();
        if (!suspended && started.size() < static_cast<std::size_t>(std::max(0, width()))) {
            next = nextReadyLocked();
            if (next) started.push_back(next.get());
        }
    }
    if (next) runOperation(next);
    schedule();
}

void OperationQueueCore::runOperation(const std::shared_ptr<Operation>& op) {
    op->start();
    // Catches operations that changed their own predicates without saying so.
    op->stateDidChange();
}

void OperationQueueCore::workerLoop() {
    std::unique_lock lock(mutex);
    for (;;) {
        if (!handoff.empty()) {
            auto op = std::move(handoff.front());
            handoff.pop_front();
            lock.unlock();
            runOperation(op);
            op.reset();
            lock.lock();
            continue;
        }
        ++idleWorkers;
        const bool gotWork = workCondition.wait_for(lock, kWorkerIdleTime, [this] { return !handoff.empty(); });
        --idleWorkers;
        if (!gotWork) return;
    }
}

void OperationQueueCore::operationFinished(const std::shared_ptr<Operation>& op) {
    std::shared_ptr<void> forMain;
    std::size_t count;
    {
        std::lock_guard lock(mutex);
        auto it = std::find(operations.begin(), operations.end(), op);
        if (it == operations.end()) return;
        operations.erase(it);
        std::erase(started, op.get());
        count = operations.size();
        forMain = pickLocked();
    }
    emptyCondition.notify_all();
    dispatch(forMain);
    notifyCount(count);
}

void OperationQueueCore::notifyCount(std::size_t count) {
    std::vector<CountObserver> toCall;
    {
        std::lock_guard lock(mutex);
        for (const auto& [id, observer] : observers) toCall.push_back(observer);
    }
    for (const auto& observer : toCall) observer(count);
}

void OperationQueueCore::waitUntilEmpty() {
    if (isMain && RunLoop::isMainThread()) {
        // The main queue's operations run on this very thread: turn its loop.
        auto loop = RunLoop::main();
        for (;;) {
            {
                std::lock_guard lock(mutex);
                if (operations.empty()) return;
            }
            loop->runOnce(RunLoop::defaultMode, std::chrono::milliseconds(100));
        }
    }
    std::unique_lock lock(mutex);
    emptyCondition.wait(lock, [this] { return operations.empty(); });
}

}  // namespace clipora::platform
