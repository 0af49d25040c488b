#include "tests/notes/AllocationMeter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> held{0};
std::atomic<std::size_t> peak{0};

void* counted(void* block) {
    if (!block) return nullptr;
    const std::size_t now =
        held.fetch_add(malloc_usable_size(block), std::memory_order_relaxed) + malloc_usable_size(block);
    std::size_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
    return block;
}

void* allocate(std::size_t size, std::size_t alignment = 0) {
    if (size == 0) size = 1;
    void* block = nullptr;
    if (alignment > alignof(std::max_align_t)) {
        if (posix_memalign(&block, alignment, size) != 0) block = nullptr;
    } else {
        block = std::malloc(size);
    }
    return counted(block);
}

void release(void* block) noexcept {
    if (!block) return;
    held.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
    std::free(block);
}

void* allocateOrThrow(std::size_t size, std::size_t alignment = 0) {
    void* block = allocate(size, alignment);
    if (!block) throw std::bad_alloc();
    return block;
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateOrThrow(size, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t size, std::align_val_t a) {
    return allocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(size, static_cast<std::size_t>(a));
}
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete(void* block, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { release(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { release(block); }

namespace clipora::test {

AllocationMeter::AllocationMeter() : base_(held.load()) { peak.store(base_); }

std::size_t AllocationMeter::peakGrowth() const {
    const std::size_t most = peak.load();
    return most > base_ ? most - base_ : 0;
}

}  // namespace clipora::test
