#include "platform/uikit/Control.h"

#include <algorithm>

namespace clipora::platform {

unsigned Control::state() const {
    unsigned s = StateNormal;
    if (highlighted_) s |= StateHighlighted;
    if (!enabled_) s |= StateDisabled;
    if (selected_) s |= StateSelected;
    return s;
}

Control::ActionId Control::addActionForControlEvents(Action action, unsigned events) {
    return addEntry({}, nullptr, std::move(action), events);
}

Control::ActionId Control::addEntry(std::weak_ptr<void> target, const void* address, Action action, unsigned events) {
    ActionId id = nextId_++;
    entries_.push_back({id, std::move(target), address, std::move(action), events});
    return id;
}

void Control::removeTargetForControlEvents(const void* target, unsigned events) {
    for (auto& e : entries_) {
        if (target == nullptr || e.targetAddress == target) e.events &= ~events;
    }
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.events == 0; }),
                   entries_.end());
}

void Control::removeAction(ActionId id) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; }),
                   entries_.end());
}

std::size_t Control::actionCountForControlEvents(unsigned events) const {
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [events](const Entry& e) { return (e.events & events) != 0; }));
}

std::vector<std::shared_ptr<void>> Control::allTargets() const {
    std::vector<std::shared_ptr<void>> out;
    for (auto& e : entries_) {
        auto t = e.target.lock();
        if (t && std::find(out.begin(), out.end(), t) == out.end()) out.push_back(t);
    }
    return out;
}

void Control::sendActionsForControlEvents(unsigned events) {
    auto self = std::static_pointer_cast<Control>(shared_from_this());
    // An action may add or remove actions: run a snapshot.
    std::vector<Action> due;
    for (auto& e : entries_) {
        if (e.events & events) due.push_back(e.action);
    }
    for (auto& action : due) {
        if (action) action(self);
    }
}

bool Control::acceptsTouches() const { return enabled_ && isUserInteractionEnabled() && !isEffectivelyHidden(); }

bool Control::tap() {
    if (!acceptsTouches()) return false;
    auto self = shared_from_this();
    setHighlighted(true);
    sendActionsForControlEvents(EventTouchDown);
    setHighlighted(false);
    sendActionsForControlEvents(EventTouchUpInside);
    return true;
}

}  // namespace clipora::platform
