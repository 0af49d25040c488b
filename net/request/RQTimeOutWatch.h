#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/foundation/Date.h"

namespace clipora {

// When one request gives up on a silent connection: its time-out, the last
// time its attempt moved, and the retries it may make and has made.
//
// Contract:
// - Ownership: part of its request (made with it, never outliving it). It
//   owns the time-out and retry settings, the time of the last activity and
//   the count of retries (after a time-out, or once on a new connection);
//   the request gives it the facts of the attempt with each question and
//   does the retrying itself.
// - Threads: every member may be used from any thread (the settings and the
//   count are atomic, the last activity is kept under its own lock); the
//   request notes activity and asks timedOut() on its own thread, on each
//   status tick.
// - Order: noteActivity() when an attempt starts or bytes move,
//   forgetActivity() while the request waits for credentials (no time-out
//   runs then), timedOut() on each tick.
class RQTimeOutWatch {
public:
    // The attempt as the watch needs to see it.
    struct Attempt {
        // The attempt's stream exists and is scheduled (not asleep for the
        // bandwidth limit).
        bool streamScheduled = false;
        std::uint64_t postLength = 0;
        // The part of the body the connection's buffer took at once, and
        // what was written so far.
        std::uint64_t uploadBufferSize = 0;
        std::uint64_t bytesSent = 0;
    };

    // --- Settings ---
    // Seconds without activity before the attempt fails or is retried; 0 or
    // less never times out.
    std::atomic<double> timeOutSeconds{10.0};
    std::atomic<int> numberOfTimesToRetryOnTimeout{0};

    RQTimeOutWatch() = default;
    RQTimeOutWatch(const RQTimeOutWatch&) = delete;
    RQTimeOutWatch& operator=(const RQTimeOutWatch&) = delete;

    std::optional<platform::Date> lastActivity() const;
    void noteActivity();
    void forgetActivity();

    // Whether the attempt has been silent too long. With a body, a request
    // whose body still sits in the connection's buffer (nothing beyond it
    // written yet) gets one and a half times the time-out: the first
    // buffer may take that long to reach the server.
    bool timedOut(const Attempt& attempt) const;

    int retryCount() const { return retries_.load(); }
    // A time-out may be answered with a new attempt.
    bool mayRetryAfterTimeOut() const { return retryCount() < numberOfTimesToRetryOnTimeout.load(); }
    void countRetry() { retries_.fetch_add(1); }

private:
    mutable std::mutex mutex_;
    std::optional<platform::Date> lastActivity_;
    std::atomic<int> retries_{0};
};

}  // namespace clipora
