#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace clipora::platform {

class Operation;

// The shared state of an OperationQueue. Operations point back to it (weakly)
// to report state changes; worker threads keep it alive while they run, so
// an operation may outlive the queue object that took it.
struct OperationQueueCore : std::enable_shared_from_this<OperationQueueCore> {
    using CountObserver = std::function<void(std::size_t)>;

    explicit OperationQueueCore(bool main) : isMain(main) {}

    void add(const std::shared_ptr<Operation>& op);
    // Starts what the width, suspension and readiness allow.
    void schedule();
    void operationFinished(const std::shared_ptr<Operation>& op);
    void waitUntilEmpty();
    int width() const;  // needs the lock

    const bool isMain;
    mutable std::mutex mutex;
    std::condition_variable emptyCondition;
    std::condition_variable workCondition;
    std::vector<std::shared_ptr<Operation>> operations;  // not finished, in the order added
    std::vector<const Operation*> started;               // handed to start() and not finished
    int maxCount = -1;
    bool suspended = false;
    std::string name;
    std::deque<std::shared_ptr<Operation>> handoff;  // started, waiting for a worker
    std::size_t idleWorkers = 0;
    std::map<std::uint64_t, CountObserver> observers;
    std::uint64_t nextObserverId = 1;
    // The main queue posts one "run the next operation" task at a time; the
    // token lives in that task, so a task dropped with the main loop's queue
    // (between tests) is noticed and posted again.
    std::weak_ptr<void> mainDrainToken;

    void notifyCount(std::size_t count);

private:
    // Starts what may start; for the main queue answers a drain task's token
    // when one must be posted.
    std::shared_ptr<void> pickLocked();
    // The highest-priority ready operation not yet started (first added wins a tie).
    std::shared_ptr<Operation> nextReadyLocked() const;
    void dispatch(std::shared_ptr<void> mainDrain);
    void drainMain();
    void runOperation(const std::shared_ptr<Operation>& op);
    void workerLoop();
};

}  // namespace clipora::platform
