#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Notification.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// Delivers notifications synchronously, on the posting thread, to every
// observer registered for the name (or for every name) and for the sender
// (or for any sender). Safe from any thread. An observer removed during a
// post (on the posting thread) is not called afterwards.
class NotificationCenter {
public:
    using Block = std::function<void(const Notification&)>;
    using ObserverId = std::uint64_t;

    static NotificationCenter& defaultCenter();

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // `name` empty: every name. `sender` null: any sender; otherwise only
    // notifications whose object is that very object. `owner` (optional)
    // groups observers for removeObserver(owner...). Returns an id, never 0.
    ObserverId addObserver(const std::string& name, const Object* sender, Block block, const void* owner = nullptr);
    ObserverId addObserver(const std::string& name, Block block, const void* owner = nullptr) {
        return addObserver(name, nullptr, std::move(block), owner);
    }

    void removeObserver(ObserverId id);
    // Every observer registered with this owner.
    void removeObserver(const void* owner);
    // The owner's observers for this name (and, when given, this sender).
    void removeObserver(const void* owner, const std::string& name, const Object* sender = nullptr);

    void post(const Notification& notification);
    void post(const std::string& name, const Value& object = {}, const Value& userInfo = {});

    std::size_t observerCount() const;

private:
    struct Entry;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
    ObserverId nextId_ = 1;
};

}  // namespace clipora::platform
