#include "platform/foundation/OperationQueue.h"

#include <stdexcept>
#include <utility>

#include "platform/foundation/BlockOperation.h"
#include "platform/foundation/OperationQueueCore.h"

namespace clipora::platform {

OperationQueue::OperationQueue() : core_(std::make_shared<OperationQueueCore>(false)) {}

OperationQueue::OperationQueue(MainTag) : core_(std::make_shared<OperationQueueCore>(true)) { core_->name = "main"; }

OperationQueue::~OperationQueue() = default;

std::shared_ptr<OperationQueue> OperationQueue::mainQueue() {
    // Never destroyed: operations on worker threads hand work to it, also
    // while statics are destroyed at exit.
    static const std::shared_ptr<OperationQueue>& queue =
        *new std::shared_ptr<OperationQueue>(new OperationQueue(MainTag{}));
    return queue;
}

void OperationQueue::addOperation(std::shared_ptr<Operation> op) {
    if (!op) throw std::invalid_argument("addOperation: no operation");
    {
        std::lock_guard lock(op->mutex_);
        if (!op->queue_.expired() || op->finishHandled_ || op->isExecuting()) {
            throw std::invalid_argument("addOperation: the operation is already in a queue, running or finished");
        }
        op->queue_ = core_;
    }
    if (op->isFinished()) {
        throw std::invalid_argument("addOperation: the operation has finished");
    }
    core_->add(op);
}

void OperationQueue::addOperations(const std::vector<std::shared_ptr<Operation>>& ops, bool waitUntilFinished) {
    for (const auto& op : ops) addOperation(op);
    if (waitUntilFinished) {
        for (const auto& op : ops) op->waitUntilFinished();
    }
}

void OperationQueue::addOperationWithBlock(std::function<void()> block) {
    addOperation(BlockOperation::create(std::move(block)));
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const {
    std::lock_guard lock(core_->mutex);
    return core_->operations;
}

std::size_t OperationQueue::operationCount() const {
    std::lock_guard lock(core_->mutex);
    return core_->operations.size();
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(core_->mutex);
    return core_->isMain ? 1 : core_->maxCount;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard lock(core_->mutex);
        if (core_->isMain) return;  // the main thread runs one at a time
        core_->maxCount = count < 0 ? defaultMaxConcurrentOperationCount : count;
    }
    core_->schedule();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard lock(core_->mutex);
    return core_->suspended;
}

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(core_->mutex);
        core_->suspended = suspended;
    }
    if (!suspended) core_->schedule();
}

void OperationQueue::cancelAllOperations() {
    for (const auto& op : operations()) op->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() { core_->waitUntilEmpty(); }

std::string OperationQueue::name() const {
    std::lock_guard lock(core_->mutex);
    return core_->name;
}

void OperationQueue::setName(std::string name) {
    std::lock_guard lock(core_->mutex);
    core_->name = std::move(name);
}

OperationQueue::ObserverId OperationQueue::addOperationCountObserver(CountObserver observer) {
    std::lock_guard lock(core_->mutex);
    const auto id = core_->nextObserverId++;
    core_->observers.emplace(id, std::move(observer));
    return id;
}

void OperationQueue::removeOperationCountObserver(ObserverId id) {
    std::lock_guard lock(core_->mutex);
    core_->observers.erase(id);
}

}  // namespace clipora::platform
