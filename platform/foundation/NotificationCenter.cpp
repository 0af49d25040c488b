#include "platform/foundation/NotificationCenter.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace clipora::platform {

struct NotificationCenter::Entry {
    ObserverId id = 0;
    std::string name;                // empty: every name
    const Object* sender = nullptr;  // null: any sender
    const void* owner = nullptr;
    Block block;
    std::atomic<bool> removed{false};

    bool matches(const Notification& n) const {
        if (!name.empty() && name != n.name) return false;
        if (!sender) return true;
        return n.object.isObject() && n.object.object().get() == sender;
    }
};

NotificationCenter::NotificationCenter() = default;
NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
    // Never destroyed: threads may still post while the process exits.
    static NotificationCenter& center = *new NotificationCenter;
    return center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const std::string& name, const Object* sender,
                                                               Block block, const void* owner) {
    auto entry = std::make_shared<Entry>();
    entry->name = name;
    entry->sender = sender;
    entry->owner = owner;
    entry->block = std::move(block);
    std::lock_guard lock(mutex_);
    entry->id = nextId_++;
    entries_.push_back(entry);
    return entry->id;
}

void NotificationCenter::removeObserver(ObserverId id) {
    std::vector<std::shared_ptr<Entry>> removed;
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
        if (e->id != id) return false;
        e->removed = true;
        removed.push_back(e);
        return true;
    });
}

void NotificationCenter::removeObserver(const void* owner) {
    if (!owner) return;
    std::vector<std::shared_ptr<Entry>> removed;
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
        if (e->owner != owner) return false;
        e->removed = true;
        removed.push_back(e);
        return true;
    });
}

void NotificationCenter::removeObserver(const void* owner, const std::string& name, const Object* sender) {
    if (!owner) return;
    std::vector<std::shared_ptr<Entry>> removed;
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
        if (e->owner != owner || e->name != name || (sender && e->sender != sender)) return false;
        e->removed = true;
        removed.push_back(e);
        return true;
    });
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<std::shared_ptr<Entry>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : entries_) {
            if (entry->matches(notification)) matching.push_back(entry);
        }
    }
    for (const auto& entry : matching) {
        if (!entry->removed && entry->block) entry->block(notification);
    }
}

void NotificationCenter::post(const std::string& name, const Value& object, const Value& userInfo) {
    post(Notification(name, object, userInfo));
}

std::size_t NotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace clipora::platform
