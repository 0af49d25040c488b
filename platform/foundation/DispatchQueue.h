#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace clipora::platform {

struct DispatchQueueCore;

// A once-only flag for DispatchQueue::once.
using DispatchOnce = std::once_flag;

// Queues of blocks:
//  - main(): blocks run in order on the main run loop (common modes);
//  - global(): a concurrent queue on a pool of threads;
//  - createSerial(): blocks run one at a time, in the order submitted, on a
//    thread of the queue's own (started when work arrives, ended when idle).
class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
public:
    static std::shared_ptr<DispatchQueue> main();
    static std::shared_ptr<DispatchQueue> global();
    static std::shared_ptr<DispatchQueue> createSerial(std::string label);

    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    void async(std::function<void()> block);
    // Runs the block and returns when it has run. On the global queue it runs
    // on the caller's thread. Calling sync on a serial queue (or the main
    // queue) from a block that queue is running would wait for itself: that
    // is a programming error (std::logic_error).
    void sync(const std::function<void()>& block);
    // Submits the block after `delay` seconds of Clock time.
    void asyncAfter(double delay, std::function<void()> block);

    // Whether the calling thread is running a block of this queue (for the
    // main queue: whether it is the main thread).
    bool isCurrent() const;
    const std::string& label() const;
    bool isSerial() const;

    // Runs `block` once per flag for the life of the process; other callers
    // wait until that run has finished.
    static void once(DispatchOnce& flag, const std::function<void()>& block);

private:
    explicit DispatchQueue(std::shared_ptr<DispatchQueueCore> core);

    std::shared_ptr<DispatchQueueCore> core_;
};

}  // namespace clipora::platform
