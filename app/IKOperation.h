#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "app/IKOperationDelegate.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Operation.h"

namespace clipora {

// An operation that reports its start, finish and failure to a delegate and
// to blocks on the main thread (without blocking its worker), and its coming
// finish on the worker thread. Subclasses call the reports from main().
class IKOperation : public platform::Operation {
public:
    using Block = std::function<void(const std::shared_ptr<IKOperation>&)>;
    using ErrorBlock = std::function<void(const std::shared_ptr<IKOperation>&, const platform::Error&)>;

    std::shared_ptr<IKOperationDelegate> delegate() const;
    void setDelegate(std::weak_ptr<IKOperationDelegate> delegate);
    std::int32_t tag() const { return tag_; }
    void setTag(std::int32_t tag) { tag_ = tag; }
    std::optional<platform::Error> lastError() const;

    // The blocks are set before the operation is queued; each runs after the
    // delegate's matching operation.
    void setDidStartBlock(Block block);
    void setDidFinishBlock(Block block);
    void setWillFinishBlock(Block block);
    void setDidFailWithErrorBlock(ErrorBlock block);

    // Reports for subclasses. On the main thread these run at once; from a
    // worker they are handed to the main thread.
    void operationDidStart();
    void operationDidFinish();
    void operationDidFailWithError(const platform::Error& error);
    // Runs on the calling (worker) thread.
    void operationWillFinish();

private:
    std::shared_ptr<IKOperation> self();
    void onMainThread(std::function<void()> step);

    mutable std::mutex mutex_;
    std::weak_ptr<IKOperationDelegate> delegate_;
    std::int32_t tag_ = 0;
    std::optional<platform::Error> lastError_;
    Block didStartBlock_;
    Block didFinishBlock_;
    Block willFinishBlock_;
    ErrorBlock didFailWithErrorBlock_;
};

}  // namespace clipora
