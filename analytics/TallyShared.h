#pragma once

#include <memory>
#include <mutex>

namespace clipora {

// The one process-wide instance of T that the agent's shared objects (file
// cache, image cache, heartbeater) keep: made on first demand, dropped by
// reset(), every access under one lock of its own per T.
template <class T>
class TallyShared {
public:
    // The instance; when there is none, the one `make` answers (called under
    // the lock, so that two first callers cannot make two).
    template <class Make>
    static std::shared_ptr<T> getOrMake(Make&& make) {
        std::lock_guard lock(mutex());
        if (!slot()) slot() = make();
        return slot();
    }

    // The instance, or null.
    static std::shared_ptr<T> get() {
        std::lock_guard lock(mutex());
        return slot();
    }

    // Drops the instance. It is destroyed after the lock is released, so its
    // destructor may reach the shared instance again.
    static void reset() {
        std::shared_ptr<T> old;
        std::lock_guard lock(mutex());
        old.swap(slot());
    }

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::shared_ptr<T>& slot() {
        static std::shared_ptr<T> instance;
        return instance;
    }
};

}  // namespace clipora
