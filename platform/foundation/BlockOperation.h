#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/Operation.h"

namespace clipora::platform {

// An operation that runs one or more blocks, in the order they were added.
class BlockOperation : public Operation {
public:
    static std::shared_ptr<BlockOperation> create(std::function<void()> block);

    BlockOperation() = default;
    explicit BlockOperation(std::function<void()> block);

    void addExecutionBlock(std::function<void()> block);
    void main() override;

private:
    std::mutex blocksMutex_;
    std::vector<std::function<void()>> blocks_;
};

}  // namespace clipora::platform
