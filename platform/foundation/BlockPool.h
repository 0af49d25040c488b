#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace clipora::platform {

namespace detail {

// A free block; the batch fields are used only in the first block of a batch
// kept by the depot.
struct PoolBlock {
    PoolBlock* next;
    PoolBlock* nextBatch;
    std::size_t batchCount;
};

// One thread's cache for one block size. Trivially destructible and
// constant-initialised, so that reaching it costs no initialisation check;
// the thread's end is noticed by a separate object (BlockPool.cpp).
struct PoolCache {
    enum State : unsigned char { kUnregistered, kLive, kEnded };
    PoolBlock* current;  // blocks handed out first
    std::size_t currentCount;
    PoolBlock* spare;  // a full batch, or nullptr
    State state;
};

struct PoolDepot;

inline constexpr std::size_t kPoolBatch = 256;

// The slow paths: `current` is empty / the block does not fit in it.
void* poolRefill(PoolCache& cache, std::size_t blockSize);
void poolRelease(PoolCache& cache, std::size_t blockSize, void* block);
std::size_t poolBlocksCarved(std::size_t blockSize);
// AddressSanitizer bookkeeping (no-ops otherwise): a free block is poisoned
// but for its list fields, so that a use after free is still reported.
#if defined(__SANITIZE_ADDRESS__)
inline void poolPoison(void* block, std::size_t blockSize) {
    ASAN_POISON_MEMORY_REGION(static_cast<char*>(block) + sizeof(PoolBlock), blockSize - sizeof(PoolBlock));
}
inline void poolUnpoison(void* block, std::size_t blockSize) { ASAN_UNPOISON_MEMORY_REGION(block, blockSize); }
#else
inline void poolPoison(void*, std::size_t) {}
inline void poolUnpoison(void*, std::size_t) {}
#endif

}  // namespace detail

// Blocks of one size for the nodes and boxes of platform values, which a
// parsed document creates and frees by the tens of thousands: a block is
// taken from and given back to a per-thread cache in a few instructions.
//
// Memory: blocks are carved from slabs of kPoolBatch blocks that are never
// given back to the system; a freed block is only kept for reuse. A new slab
// is carved only when the calling thread's cache and the shared depot are
// both empty, so the pools hold what the peak number of live blocks of each
// size needed, plus at most two batches (2 x 256 blocks) per size in each
// running thread's cache - never more, however many documents come and go.
//
// Threads: a block may be freed on another thread than the one that took it
// (values pass between the network thread and the main thread). It goes to
// the freeing thread's cache; full batches move between threads through a
// shared depot under a mutex, once per kPoolBatch blocks. A thread's cache
// goes back to the depot when the thread ends; blocks taken or freed after
// that, during the thread's own teardown, come from and go to the depot.
template <std::size_t kBlockSize>
class BlockPool {
    static_assert(kBlockSize % 16 == 0 && kBlockSize >= sizeof(detail::PoolBlock));

public:
    static void* allocate() {
        detail::PoolCache& cache = cache_;
        if (detail::PoolBlock* block = cache.current) [[likely]] {
            cache.current = block->next;
            --cache.currentCount;
            detail::poolUnpoison(block, kBlockSize);
            return block;
        }
        return detail::poolRefill(cache, kBlockSize);
    }

    static void deallocate(void* p) noexcept {
        detail::PoolCache& cache = cache_;
        if (cache.state == detail::PoolCache::kLive && cache.currentCount < detail::kPoolBatch) [[likely]] {
            auto* block = static_cast<detail::PoolBlock*>(p);
            block->next = cache.current;
            cache.current = block;
            ++cache.currentCount;
            detail::poolPoison(block, kBlockSize);
            return;
        }
        detail::poolRelease(cache, kBlockSize, p);
    }

    // How many blocks of this size were ever carved (the pool's footprint).
    static std::size_t blocksCarved() { return detail::poolBlocksCarved(kBlockSize); }

private:
    static inline thread_local constinit detail::PoolCache cache_{};
};

// Allocator of single objects from a BlockPool of their size (rounded up to
// 16 bytes); arrays and large objects come from the heap. Stateless: every
// instance can free what any other took.
template <class T>
class PoolAllocator {
public:
    using value_type = T;
    using is_always_equal = std::true_type;
    using propagate_on_container_move_assignment = std::true_type;

    PoolAllocator() noexcept = default;
    template <class U>
    PoolAllocator(const PoolAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if constexpr (pooled()) {
            if (n == 1) return static_cast<T*>(BlockPool<blockSize()>::allocate());
        }
        return std::allocator<T>().allocate(n);
    }

    void deallocate(T* p, std::size_t n) noexcept {
        if constexpr (pooled()) {
            if (n == 1) return BlockPool<blockSize()>::deallocate(p);
        }
        std::allocator<T>().deallocate(p, n);
    }

    template <class U>
    friend bool operator==(const PoolAllocator&, const PoolAllocator<U>&) noexcept {
        return true;
    }

private:
    // Functions rather than constants: T may still be incomplete where the
    // allocator is named (a dictionary of values inside Value).
    static constexpr std::size_t blockSize() {
        constexpr std::size_t size = (sizeof(T) + 15) / 16 * 16;
        return size < sizeof(detail::PoolBlock) ? 32 : size;
    }
    static constexpr bool pooled() { return alignof(T) <= 16 && blockSize() <= 256; }
};

}  // namespace clipora::platform
