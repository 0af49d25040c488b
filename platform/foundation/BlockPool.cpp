#include "platform/foundation/BlockPool.h"

#include <array>
#include <mutex>

namespace clipora::platform::detail {

// The batches that no thread holds, and the slabs of one block size.
struct PoolDepot {
    std::mutex mutex;
    PoolBlock* batches = nullptr;  // linked through nextBatch
    void* slabs = nullptr;         // linked through their first word
    std::size_t carved = 0;
};

namespace {

// Slabs start with the link to the previous slab, padded so that blocks stay
// 16-byte aligned.
constexpr std::size_t kSlabHeader = 16;

PoolDepot& depotFor(std::size_t blockSize) {
    // One depot per block size (multiples of 16 up to 256); never destroyed,
    // since values may be freed during the static destruction of the program.
    static std::array<PoolDepot, 16>* depots = new std::array<PoolDepot, 16>();
    return (*depots)[blockSize / 16 - 1];
}

// A new batch of kPoolBatch blocks carved from a new slab; depot locked.
PoolBlock* carveSlab(PoolDepot& depot, std::size_t blockSize) {
    auto* slab = static_cast<char*>(::operator new(kSlabHeader + kPoolBatch * blockSize));
    *reinterpret_cast<void**>(slab) = depot.slabs;
    depot.slabs = slab;
    depot.carved += kPoolBatch;
    char* first = slab + kSlabHeader;
    for (std::size_t i = 0; i < kPoolBatch; ++i) {
        auto* block = reinterpret_cast<PoolBlock*>(first + i * blockSize);
        block->next = i + 1 < kPoolBatch ? reinterpret_cast<PoolBlock*>(first + (i + 1) * blockSize) : nullptr;
        poolPoison(block, blockSize);
    }
    auto* batch = reinterpret_cast<PoolBlock*>(first);
    batch->batchCount = kPoolBatch;
    return batch;
}

// Gives a list of `count` blocks to the depot as one batch.
void depositBatch(PoolDepot& depot, PoolBlock* batch, std::size_t count) {
    if (!batch) return;
    batch->batchCount = count;
    const std::lock_guard lock(depot.mutex);
    batch->nextBatch = depot.batches;
    depot.batches = batch;
}

// A batch from the depot, or a new one.
PoolBlock* withdrawBatch(PoolDepot& depot, std::size_t blockSize) {
    const std::lock_guard lock(depot.mutex);
    if (PoolBlock* batch = depot.batches) {
        depot.batches = batch->nextBatch;
        return batch;
    }
    return carveSlab(depot, blockSize);
}

// Set once the thread's caches went back: a cache first used after that (a
// value freed by another thread-local object's destructor) stays ended.
thread_local constinit bool threadEnded = false;

// Hands a thread's caches back to the depots when the thread ends.
class ThreadCaches {
public:
    void add(PoolCache* cache, std::size_t blockSize) {
        entries_[count_++] = {cache, blockSize};
        cache->state = PoolCache::kLive;
    }
    ~ThreadCaches() {
        for (std::size_t i = 0; i < count_; ++i) {
            auto [cache, blockSize] = entries_[i];
            PoolDepot& depot = depotFor(blockSize);
            depositBatch(depot, cache->current, cache->currentCount);
            depositBatch(depot, cache->spare, kPoolBatch);
            *cache = PoolCache{nullptr, 0, nullptr, PoolCache::kEnded};
        }
        threadEnded = true;
    }

private:
    struct Entry {
        PoolCache* cache;
        std::size_t blockSize;
    };
    std::array<Entry, 16> entries_{};  // one cache per block size at most
    std::size_t count_ = 0;
};

void registerCache(PoolCache& cache, std::size_t blockSize) {
    if (threadEnded) {
        cache.state = PoolCache::kEnded;
        return;
    }
    thread_local ThreadCaches caches;
    caches.add(&cache, blockSize);
}

}  // namespace

void* poolRefill(PoolCache& cache, std::size_t blockSize) {
    PoolDepot& depot = depotFor(blockSize);
    if (cache.state == PoolCache::kUnregistered) registerCache(cache, blockSize);
    if (cache.state == PoolCache::kEnded) {
        // The thread is ending: one block straight from the depot.
        PoolBlock* batch = withdrawBatch(depot, blockSize);
        if (PoolBlock* rest = batch->next) depositBatch(depot, rest, batch->batchCount - 1);
        poolUnpoison(batch, blockSize);
        return batch;
    }
    PoolBlock* batch = cache.spare;
    std::size_t count = kPoolBatch;
    if (batch) {
        cache.spare = nullptr;
    } else {
        batch = withdrawBatch(depot, blockSize);
        count = batch->batchCount;
    }
    cache.current = batch->next;
    cache.currentCount = count - 1;
    poolUnpoison(batch, blockSize);
    return batch;
}

void poolRelease(PoolCache& cache, std::size_t blockSize, void* p) {
    auto* block = static_cast<PoolBlock*>(p);
    block->next = nullptr;
    poolPoison(block, blockSize);
    PoolDepot& depot = depotFor(blockSize);
    if (cache.state == PoolCache::kUnregistered) registerCache(cache, blockSize);
    if (cache.state == PoolCache::kEnded) {
        depositBatch(depot, block, 1);
        return;
    }
    if (cache.currentCount >= kPoolBatch) {
        // `current` is full: it becomes the spare batch, the spare one goes
        // to the depot.
        depositBatch(depot, cache.spare, kPoolBatch);
        cache.spare = cache.current;
        cache.current = nullptr;
        cache.currentCount = 0;
    }
    block->next = cache.current;
    cache.current = block;
    ++cache.currentCount;
}

std::size_t poolBlocksCarved(std::size_t blockSize) {
    PoolDepot& depot = depotFor(blockSize);
    const std::lock_guard lock(depot.mutex);
    return depot.carved;
}

}  // namespace clipora::platform::detail
