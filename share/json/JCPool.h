#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace clipora {

// The memory of one decoded document: its containers, their entries and its
// strings are carved from a few large blocks and given back all at once when
// the last reference to the document goes. Nothing placed here has a
// destructor that must run.
//
// A document's strings that came from a decoder's token cache live in the
// cache's own pool; the document keeps that pool alive (keepAlive).
class JCPool : public std::enable_shared_from_this<JCPool> {
public:
    // `firstBlock` bytes are taken at the first allocation; later blocks
    // double.
    explicit JCPool(std::size_t firstBlock = 4096);
    JCPool(const JCPool&) = delete;
    JCPool& operator=(const JCPool&) = delete;

    // Uninitialised memory for `bytes` bytes aligned to `alignment` (a power
    // of two up to alignof(std::max_align_t)); throws std::bad_alloc.
    void* allocate(std::size_t bytes, std::size_t alignment = alignof(std::max_align_t)) {
        auto at = reinterpret_cast<std::uintptr_t>(cursor_);
        at = (at + alignment - 1) & ~static_cast<std::uintptr_t>(alignment - 1);
        if (at + bytes > reinterpret_cast<std::uintptr_t>(end_) || cursor_ == nullptr) return allocateSlow(bytes);
        cursor_ = reinterpret_cast<std::byte*>(at + bytes);
        return reinterpret_cast<void*>(at);
    }
    template <class T>
    T* allocateArray(std::size_t count) {
        return static_cast<T*>(allocate(sizeof(T) * count, alignof(T)));
    }

    // Keeps another pool alive as long as this one.
    void keepAlive(std::shared_ptr<const JCPool> other);
    bool keeps(const JCPool* other) const;

    // Bytes taken from the blocks so far.
    std::size_t bytesUsed() const { return used_ + static_cast<std::size_t>(cursor_ - blockStart_); }

private:
    void* allocateSlow(std::size_t bytes);

    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::byte* blockStart_ = nullptr;
    std::byte* cursor_ = nullptr;
    std::byte* end_ = nullptr;
    std::size_t nextBlock_;
    std::size_t used_ = 0;  // in the blocks before the current one
    std::vector<std::shared_ptr<const JCPool>> kept_;
};

}  // namespace clipora
