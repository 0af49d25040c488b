#include "share/json/JCPool.h"

#include <algorithm>
#include <utility>

namespace clipora {

JCPool::JCPool(std::size_t firstBlock) : nextBlock_(std::max<std::size_t>(firstBlock, 256)) {}

void* JCPool::allocateSlow(std::size_t bytes) {
    // A request larger than a block gets a block of its own size, so that a
    // single huge string does not double every later block.
    const std::size_t size = std::max(nextBlock_, bytes + alignof(std::max_align_t));
    used_ += static_cast<std::size_t>(cursor_ - blockStart_);
    // Not value-initialised: every byte handed out is written before use.
    blocks_.emplace_back(new std::byte[size]);
    blockStart_ = blocks_.back().get();
    cursor_ = blockStart_;
    end_ = blockStart_ + size;
    if (nextBlock_ < (std::size_t{1} << 26)) nextBlock_ *= 2;
    return allocate(bytes);
}

void JCPool::keepAlive(std::shared_ptr<const JCPool> other) {
    if (other && other.get() != this && !keeps(other.get())) kept_.push_back(std::move(other));
}

bool JCPool::keeps(const JCPool* other) const {
    return std::any_of(kept_.begin(), kept_.end(), [other](const auto& kept) { return kept.get() == other; });
}

}  // namespace clipora
