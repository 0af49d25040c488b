#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace clipora::platform {

class RunLoop;

// An input source other code can signal from any thread: once signalled, the
// source's handler runs (once per burst of signals) on one run loop the
// source is added to, the next time that loop runs in one of the source's
// modes. Handling a source ends a run that returns after a handled source.
// A source with a null handler does nothing but keeps a loop company.
class RunLoopSource : public std::enable_shared_from_this<RunLoopSource> {
public:
    using Handler = std::function<void()>;

    static std::shared_ptr<RunLoopSource> create(Handler handler);

    ~RunLoopSource();
    RunLoopSource(const RunLoopSource&) = delete;
    RunLoopSource& operator=(const RunLoopSource&) = delete;

    // Marks the source ready and wakes every run loop it is added to.
    void signal();
    bool isSignalled() const { return signalled_.load(); }
    // Removes the source from every run loop; it never runs again.
    void invalidate();
    bool isValid() const { return valid_.load(); }
    // Called once, on the thread that dropped it, when a run loop lets the
    // source go on its own (the loop's thread ended, or removeAll() cleared
    // it) and no other loop holds it: an owner that keeps itself alive until
    // its handler has run learns that it never will.
    void setDroppedHandler(Handler handler);

private:
    explicit RunLoopSource(Handler handler);
    friend class RunLoop;

    // Called by a run loop: clears the signal and runs the handler.
    bool performIfSignalled();
    void attached(const std::shared_ptr<RunLoop>& loop);
    void detached(const RunLoop* loop);
    // A loop let the source go on its own (see setDroppedHandler).
    void dropped(const RunLoop* loop);

    std::atomic<bool> signalled_{false};
    std::atomic<bool> valid_{true};
    std::mutex mutex_;
    Handler handler_;
    Handler droppedHandler_;
    std::vector<std::weak_ptr<RunLoop>> loops_;
};

}  // namespace clipora::platform
