#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Operation.h"

namespace clipora::platform {

struct OperationQueueCore;

// Runs operations on threads of its own, at most maxConcurrentOperationCount
// at a time, ready ones first by priority then in the order added. The width
// may change at any time: widening starts more at once, narrowing lets the
// running ones finish. The main queue runs its operations one at a time on
// the main run loop (common modes).
//
// Operations keep running when the queue object goes away; the queue's
// internal state lives until its last operation has finished.
class OperationQueue {
public:
    // The width the system picks (from the number of processors).
    static constexpr int defaultMaxConcurrentOperationCount = -1;

    using CountObserver = std::function<void(std::size_t operationCount)>;
    using ObserverId = std::uint64_t;

    OperationQueue();
    virtual ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    static std::shared_ptr<OperationQueue> mainQueue();

    // Adding an operation that is already in a queue, or finished, is a
    // programming error (std::invalid_argument).
    virtual void addOperation(std::shared_ptr<Operation> op);
    void addOperations(const std::vector<std::shared_ptr<Operation>>& ops, bool waitUntilFinished);
    void addOperationWithBlock(std::function<void()> block);

    // A snapshot of the operations not yet finished, in the order added.
    std::vector<std::shared_ptr<Operation>> operations() const;
    std::size_t operationCount() const;

    int maxConcurrentOperationCount() const;
    virtual void setMaxConcurrentOperationCount(int count);

    bool isSuspended() const;
    virtual void setSuspended(bool suspended);

    virtual void cancelAllOperations();
    // Blocks until the queue holds no operation.
    void waitUntilAllOperationsAreFinished();

    std::string name() const;
    void setName(std::string name);

    // Called after each change of operationCount(), on the thread that made
    // the change, outside the queue's locks.
    ObserverId addOperationCountObserver(CountObserver observer);
    void removeOperationCountObserver(ObserverId id);

private:
    struct MainTag {};
    explicit OperationQueue(MainTag);

    std::shared_ptr<OperationQueueCore> core_;
};

}  // namespace clipora::platform
