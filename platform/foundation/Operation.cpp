#include "platform/foundation/Operation.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "platform/foundation/OperationQueueCore.h"

namespace clipora::platform {

Operation::Operation() = default;
Operation::~Operation() = default;

void Operation::start() {
    if (isFinished()) return;
    if (isCancelled()) {
        finish();
        return;
    }
    setExecuting(true);
    main();
    finish();
}

void Operation::main() {}

void Operation::cancel() {
    if (cancelled_.exchange(true)) return;
    // A cancelled operation is ready at once; its queue may start it now.
    stateDidChange();
}

bool Operation::isExecuting() const { return executing_.load(); }

bool Operation::isFinished() const { return finished_.load(); }

bool Operation::isReady() const {
    if (isCancelled()) return true;
    for (const auto& dep : dependencies()) {
        if (!dep->isFinished()) return false;
    }
    return true;
}

void Operation::addDependency(const std::shared_ptr<Operation>& op) {
    if (!op) return;
    if (op.get() == this) throw std::invalid_argument("an operation cannot depend on itself");
    {
        std::lock_guard lock(mutex_);
        if (std::find(dependencies_.begin(), dependencies_.end(), op) != dependencies_.end()) return;
        dependencies_.push_back(op);
    }
    std::lock_guard lock(op->mutex_);
    op->dependents_.push_back(weak_from_this());
}

void Operation::removeDependency(const std::shared_ptr<Operation>& op) {
    if (!op) return;
    {
        std::lock_guard lock(mutex_);
        std::erase(dependencies_, op);
    }
    {
        std::lock_guard lock(op->mutex_);
        std::erase_if(op->dependents_, [this](const std::weak_ptr<Operation>& w) {
            auto d = w.lock();
            return !d || d.get() == this;
        });
    }
    stateDidChange();
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const {
    std::lock_guard lock(mutex_);
    return dependencies_;
}

void Operation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard lock(mutex_);
    completionBlock_ = std::move(block);
}

std::function<void()> Operation::completionBlock() const {
    std::lock_guard lock(mutex_);
    return completionBlock_;
}

void Operation::waitUntilFinished() {
    std::unique_lock lock(mutex_);
    finishedCondition_.wait(lock, [this] { return finishHandled_; });
}

void Operation::setExecuting(bool executing) { executing_.store(executing); }

void Operation::finish() {
    executing_.store(false);
    finished_.store(true);
    stateDidChange();
}

void Operation::stateDidChange() {
    // Keeps this operation alive while its queue and completion block run.
    auto self = weak_from_this().lock();
    std::shared_ptr<OperationQueueCore> queue;
    if (!isFinished()) {
        {
            std::lock_guard lock(mutex_);
            queue = queue_.lock();
        }
        if (queue) queue->schedule();
        return;
    }

    std::function<void()> completion;
    std::vector<std::weak_ptr<Operation>> dependents;
    {
        std::lock_guard lock(mutex_);
        if (finishHandled_) return;
        finishHandled_ = true;
        completion = std::move(completionBlock_);
        completionBlock_ = nullptr;
        dependents = dependents_;
        queue = queue_.lock();
    }
    finishedCondition_.notify_all();
    if (queue && self) queue->operationFinished(self);
    for (auto& w : dependents) {
        if (auto dependent = w.lock()) dependent->stateDidChange();
    }
    if (completion) completion();
}

}  // namespace clipora::platform
