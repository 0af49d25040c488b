#include "platform/uikit/LocalNotificationCenter.h"

#include <mutex>

namespace clipora::platform {

namespace {

struct Store {
    std::mutex mutex;
    std::vector<LocalNotificationCenter::Presented> presented;
};
// Never destroyed: a failing transfer may present while statics die at exit.
Store& store() {
    static Store& s = *new Store;
    return s;
}

}  // namespace

void LocalNotificationCenter::presentLocalNotificationNow(const LocalNotification& notification) {
    Presented entry{notification, Date::now()};
    std::lock_guard lock(store().mutex);
    auto& presented = store().presented;
    // The system keeps the latest ones only.
    if (presented.size() >= kKept) presented.erase(presented.begin());
    presented.push_back(std::move(entry));
}

std::vector<LocalNotificationCenter::Presented> LocalNotificationCenter::presentedNotifications() {
    std::lock_guard lock(store().mutex);
    return store().presented;
}

void LocalNotificationCenter::reset() {
    std::lock_guard lock(store().mutex);
    store().presented.clear();
}

}  // namespace clipora::platform
