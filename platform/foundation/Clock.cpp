#include "platform/foundation/Clock.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace clipora::platform {

namespace {

// A registered listener. Its own (recursive) mutex is held while it runs, so
// that removeListener() can wait for a call in progress on another thread,
// while the listener itself may still use the clock.
struct ListenerEntry {
    explicit ListenerEntry(Clock::Listener l) : listener(std::move(l)) {}
    std::recursive_mutex mutex;
    bool active = true;
    Clock::Listener listener;
};

struct ClockState {
    std::mutex mutex;
    bool manual = false;
    Date manualNow;
    std::map<Clock::ListenerId, std::shared_ptr<ListenerEntry>> listeners;
    Clock::ListenerId nextId = 1;
};

ClockState& state() {
    static ClockState* s = new ClockState();  // never destroyed: usable during static destruction
    return *s;
}

// Calls every listener with the clock's time at the moment of the call,
// outside the lock so that listeners may use the clock.
void notifyListeners() {
    std::vector<std::shared_ptr<ListenerEntry>> listeners;
    {
        std::lock_guard lock(state().mutex);
        listeners.reserve(state().listeners.size());
        for (auto& [id, entry] : state().listeners) listeners.push_back(entry);
    }
    Date now = Clock::now();
    for (auto& entry : listeners) {
        std::lock_guard lock(entry->mutex);
        if (entry->active) entry->listener(now);
    }
}

}  // namespace

Date Clock::systemNow() {
    using namespace std::chrono;
    double since1970 = duration<double>(system_clock::now().time_since_epoch()).count();
    return Date::fromTimeIntervalSince1970(since1970);
}

Date Clock::now() {
    {
        std::lock_guard lock(state().mutex);
        if (state().manual) return state().manualNow;
    }
    return systemNow();
}

void Clock::setNow(Date date) {
    {
        std::lock_guard lock(state().mutex);
        state().manual = true;
        state().manualNow = date;
    }
    notifyListeners();
}

void Clock::advance(double seconds) {
    Date system = systemNow();
    {
        std::lock_guard lock(state().mutex);
        if (!state().manual) {
            state().manual = true;
            state().manualNow = system;
        }
        state().manualNow = state().manualNow.addingTimeInterval(seconds);
    }
    notifyListeners();
}

void Clock::useSystemTime() {
    {
        std::lock_guard lock(state().mutex);
        state().manual = false;
    }
    notifyListeners();
}

bool Clock::isManual() {
    std::lock_guard lock(state().mutex);
    return state().manual;
}

Clock::ListenerId Clock::addListener(Listener listener) {
    std::lock_guard lock(state().mutex);
    ListenerId id = state().nextId++;
    state().listeners.emplace(id, std::make_shared<ListenerEntry>(std::move(listener)));
    return id;
}

void Clock::removeListener(ListenerId id) {
    std::shared_ptr<ListenerEntry> entry;
    {
        std::lock_guard lock(state().mutex);
        auto it = state().listeners.find(id);
        if (it == state().listeners.end()) return;
        entry = it->second;
        state().listeners.erase(it);
    }
    // Waits for a call in progress on another thread; afterwards the
    // listener is never called again.
    std::lock_guard lock(entry->mutex);
    entry->active = false;
}

}  // namespace clipora::platform
