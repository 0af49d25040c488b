#include "app/IKOperation.h"

#include "platform/foundation/Thread.h"

namespace clipora {

using namespace platform;

std::shared_ptr<IKOperationDelegate> IKOperation::delegate() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return delegate_.lock();
}

void IKOperation::setDelegate(std::weak_ptr<IKOperationDelegate> delegate) {
    std::lock_guard<std::mutex> lock(mutex_);
    delegate_ = std::move(delegate);
}

std::optional<Error> IKOperation::lastError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

void IKOperation::setDidStartBlock(Block block) {
    std::lock_guard<std::mutex> lock(mutex_);
    didStartBlock_ = std::move(block);
}

void IKOperation::setDidFinishBlock(Block block) {
    std::lock_guard<std::mutex> lock(mutex_);
    didFinishBlock_ = std::move(block);
}

void IKOperation::setWillFinishBlock(Block block) {
    std::lock_guard<std::mutex> lock(mutex_);
    willFinishBlock_ = std::move(block);
}

void IKOperation::setDidFailWithErrorBlock(ErrorBlock block) {
    std::lock_guard<std::mutex> lock(mutex_);
    didFailWithErrorBlock_ = std::move(block);
}

std::shared_ptr<IKOperation> IKOperation::self() { return std::static_pointer_cast<IKOperation>(shared_from_this()); }

void IKOperation::onMainThread(std::function<void()> step) {
    Thread::performOnMainThread(std::move(step), Thread::isMainThread());
}

void IKOperation::operationDidStart() {
    auto op = self();
    onMainThread([op] {
        if (auto d = op->delegate()) d->operationDidStart(op);
        Block block;
        {
            std::lock_guard<std::mutex> lock(op->mutex_);
            block = op->didStartBlock_;
        }
        if (block) block(op);
    });
}

void IKOperation::operationDidFinish() {
    auto op = self();
    onMainThread([op] {
        if (auto d = op->delegate()) d->operationDidFinish(op);
        Block block;
        {
            std::lock_guard<std::mutex> lock(op->mutex_);
            block = op->didFinishBlock_;
        }
        if (block) block(op);
    });
}

void IKOperation::operationDidFailWithError(const Error& error) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastError_ = error;
    }
    auto op = self();
    onMainThread([op, error] {
        if (auto d = op->delegate()) d->operationDidFailWithError(op, error);
        ErrorBlock block;
        {
            std::lock_guard<std::mutex> lock(op->mutex_);
            block = op->didFailWithErrorBlock_;
        }
        if (block) block(op, error);
    });
}

void IKOperation::operationWillFinish() {
    auto op = self();
    if (auto d = delegate()) d->operationWillFinish(op);
    Block block;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        block = willFinishBlock_;
    }
    if (block) block(op);
}

}  // namespace clipora
