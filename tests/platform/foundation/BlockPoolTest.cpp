#include "platform/foundation/BlockPool.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Value.h"

namespace clipora::platform {
namespace {

// A block size of its own, so that no other pooled object shares its counts.
struct Payload {
    std::size_t serial;
    char bytes[232];
};
static_assert(sizeof(Payload) == 240);
using PayloadPool = BlockPool<240>;

Payload* makePayload(std::size_t serial) {
    Payload* p = PoolAllocator<Payload>().allocate(1);
    p->serial = serial;
    for (char& byte : p->bytes) byte = static_cast<char>(serial);
    return p;
}

bool intact(const Payload& p, std::size_t serial) {
    if (p.serial != serial) return false;
    for (char byte : p.bytes) {
        if (byte != static_cast<char>(serial)) return false;
    }
    return true;
}

// Blocks taken on short-lived threads and freed on this one (a reply parsed
// on the network thread and dropped on the main thread) are reused: the
// pool's footprint stops growing once it covers one round, and every block
// is handed out once at a time.
TEST(BlockPoolTest, BlocksFreedOnAnotherThreadAreReusedByLaterThreads) {
    constexpr std::size_t kPerRound = 3000;
    std::size_t carvedAfterWarmUp = 0;
    for (int round = 0; round < 12; ++round) {
        std::vector<Payload*> taken;
        std::thread producer([&] {
            for (std::size_t i = 0; i < kPerRound; ++i) taken.push_back(makePayload(i));
        });
        producer.join();
        for (std::size_t i = 0; i < kPerRound; ++i) ASSERT_TRUE(intact(*taken[i], i)) << "round " << round;
        for (Payload* p : taken) PoolAllocator<Payload>().deallocate(p, 1);
        if (round == 2) carvedAfterWarmUp = PayloadPool::blocksCarved();
    }
    EXPECT_EQ(PayloadPool::blocksCarved(), carvedAfterWarmUp);
    EXPECT_LE(carvedAfterWarmUp, 2 * kPerRound + 8 * detail::kPoolBatch);
}

// A producer and a consumer running together, the consumer freeing what the
// producer took: blocks keep moving back through the depot instead of piling
// up in the consumer's cache, so the footprint stays near what is in flight.
TEST(BlockPoolTest, AProducerAndAConsumerKeepTheFootprintBounded) {
    constexpr std::size_t kItems = 40000;
    constexpr std::size_t kQueueLimit = 64;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Payload*> queue;
    const std::size_t carvedBefore = PayloadPool::blocksCarved();
    std::thread producer([&] {
        for (std::size_t i = 0; i < kItems; ++i) {
            Payload* p = makePayload(i);
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return queue.size() < kQueueLimit; });
            queue.push_back(p);
            changed.notify_all();
        }
    });
    std::size_t corrupted = 0;
    for (std::size_t i = 0; i < kItems; ++i) {
        Payload* p = nullptr;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return !queue.empty(); });
            p = queue.front();
            queue.pop_front();
            changed.notify_all();
        }
        if (!intact(*p, i)) ++corrupted;
        PoolAllocator<Payload>().deallocate(p, 1);
    }
    producer.join();
    EXPECT_EQ(corrupted, 0u);
    // In flight: the queue and one item on each side; cached: two batches in
    // each thread, one being carved.
    EXPECT_LE(PayloadPool::blocksCarved() - carvedBefore, kQueueLimit + 2 + 5 * detail::kPoolBatch);
}

// Values (whose dictionary nodes and boxes are pooled) made on one thread and
// destroyed on another while both keep working, as replies move from the
// network thread to the main thread.
TEST(BlockPoolTest, ValuesCrossThreadsIntact) {
    constexpr int kDocuments = 300;
    const auto document = [](int serial) {
        Value rows;
        for (int row = 0; row < 20; ++row) {
            Value entry = Value::makeDictionary({{"id", serial}, {"row", row}});
            entry.set("title", std::string(40, static_cast<char>('a' + row % 26)));
            entry.set("format", Value::makeArray({Value::makeDictionary({{"width", 130}})}));
            rows.append(std::move(entry));
        }
        return rows;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Value> queue;
    std::thread producer([&] {
        for (int serial = 0; serial < kDocuments; ++serial) {
            Value made = document(serial);
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return queue.size() < 8; });
            queue.push_back(std::move(made));
            changed.notify_all();
        }
    });
    int wrong = 0;
    for (int serial = 0; serial < kDocuments; ++serial) {
        Value received;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return !queue.empty(); });
            received = std::move(queue.front());
            queue.pop_front();
            changed.notify_all();
        }
        // Made here too, from this thread's cache, while the producer works.
        if (received != document(serial)) ++wrong;
    }
    producer.join();
    EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace clipora::platform
