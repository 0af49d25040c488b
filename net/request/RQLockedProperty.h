#pragma once

#include <mutex>
#include <utility>

namespace clipora {

// A property of an object kept under that object's mutex: get() copies the
// value out and set() replaces it, each holding the mutex for just that
// step. An operation that must see or change several properties at once
// takes the mutex itself and then uses unlocked().
//
// The property refers to its owner's mutex, so it is declared after that
// mutex and never outlives its owner; it is neither copied nor moved.
template <class T, class Mutex = std::mutex>
class RQLockedProperty {
public:
    explicit RQLockedProperty(Mutex& mutex) : mutex_(mutex), value_() {}
    template <class U>
    RQLockedProperty(Mutex& mutex, U&& value) : mutex_(mutex), value_(std::forward<U>(value)) {}
    RQLockedProperty(const RQLockedProperty&) = delete;
    RQLockedProperty& operator=(const RQLockedProperty&) = delete;

    T get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    template <class U>
    void set(U&& value) {
        std::lock_guard lock(mutex_);
        value_ = std::forward<U>(value);
    }
    // Replaces the value and answers the one it had.
    template <class U>
    T exchange(U&& value) {
        std::lock_guard lock(mutex_);
        return std::exchange(value_, std::forward<U>(value));
    }

    // The value itself, for a caller that holds the owner's mutex.
    T& unlocked() { return value_; }
    const T& unlocked() const { return value_; }

private:
    Mutex& mutex_;
    T value_;
};

}  // namespace clipora
