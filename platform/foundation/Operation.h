#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace clipora::platform {

class OperationQueue;
struct OperationQueueCore;

// A unit of work, run once by an operation queue (or by calling start()).
//
// A plain operation overrides main(); the default start() runs it on the
// calling thread and marks the operation finished.
//
// A concurrent (asynchronous) operation overrides isConcurrent() to answer
// true and start() to begin its work and return; it reports its progress
// either with the built-in state (setExecuting(), finish()) or by answering
// isExecuting()/isFinished() itself and calling stateDidChange() after each
// change. The queue keeps it counted as running until isFinished() is true.
class Operation : public std::enable_shared_from_this<Operation> {
public:
    enum QueuePriority : int { VeryLow = -8, Low = -4, Normal = 0, High = 4, VeryHigh = 8 };

    Operation();
    virtual ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    virtual void start();
    virtual void main();
    virtual void cancel();

    virtual bool isConcurrent() const { return false; }
    virtual bool isExecuting() const;
    virtual bool isFinished() const;
    // Default: every dependency has finished (a cancelled operation is ready
    // at once so that the queue can finish it).
    virtual bool isReady() const;
    bool isCancelled() const { return cancelled_.load(); }

    // Dependencies: this operation is not ready before `op` has finished.
    void addDependency(const std::shared_ptr<Operation>& op);
    void removeDependency(const std::shared_ptr<Operation>& op);
    std::vector<std::shared_ptr<Operation>> dependencies() const;

    // Higher runs earlier among ready operations of one queue; any integer.
    int queuePriority() const { return priority_.load(); }
    void setQueuePriority(int priority) { priority_.store(priority); }

    // Runs once, on the thread that finished the operation, after it finished.
    // It is released after it ran (so it may capture the operation).
    void setCompletionBlock(std::function<void()> block);
    std::function<void()> completionBlock() const;

    // Blocks until the operation has finished.
    void waitUntilFinished();

    // Re-reads the state predicates; call after changing what isReady(),
    // isExecuting() or isFinished() answer in a subclass that answers them
    // itself. Safe from any thread.
    void stateDidChange();

protected:
    // The built-in state used by the default predicates.
    void setExecuting(bool executing);
    // Marks the operation finished (and no longer executing).
    void finish();

private:
    friend class OperationQueue;
    friend struct OperationQueueCore;

    mutable std::mutex mutex_;
    std::condition_variable finishedCondition_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> executing_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> priority_{Normal};
    bool finishHandled_ = false;
    std::function<void()> completionBlock_;
    std::vector<std::shared_ptr<Operation>> dependencies_;
    std::vector<std::weak_ptr<Operation>> dependents_;
    std::weak_ptr<OperationQueueCore> queue_;
};

}  // namespace clipora::platform
