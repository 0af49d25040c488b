#include "platform/foundation/BlockOperation.h"

#include <utility>

namespace clipora::platform {

std::shared_ptr<BlockOperation> BlockOperation::create(std::function<void()> block) {
    return std::make_shared<BlockOperation>(std::move(block));
}

BlockOperation::BlockOperation(std::function<void()> block) { addExecutionBlock(std::move(block)); }

void BlockOperation::addExecutionBlock(std::function<void()> block) {
    if (!block) return;
    std::lock_guard lock(blocksMutex_);
    blocks_.push_back(std::move(block));
}

void BlockOperation::main() {
    std::vector<std::function<void()>> blocks;
    {
        std::lock_guard lock(blocksMutex_);
        blocks.swap(blocks_);
    }
    for (auto& block : blocks) block();
}

}  // namespace clipora::platform
