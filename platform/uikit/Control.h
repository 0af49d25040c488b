#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/uikit/View.h"

namespace clipora::platform {

// A view that sends actions to targets when events happen to it (a finger
// lifting inside it, its value changing, editing). Targets are not owned: a
// target that went away is skipped. Actions for one event run in the order
// they were added.
class Control : public View {
public:
    enum Events : unsigned {
        EventTouchDown = 1u << 0,
        EventTouchDownRepeat = 1u << 1,
        EventTouchDragInside = 1u << 2,
        EventTouchDragOutside = 1u << 3,
        EventTouchDragEnter = 1u << 4,
        EventTouchDragExit = 1u << 5,
        EventTouchUpInside = 1u << 6,
        EventTouchUpOutside = 1u << 7,
        EventTouchCancel = 1u << 8,
        EventValueChanged = 1u << 12,
        EventEditingDidBegin = 1u << 16,
        EventEditingChanged = 1u << 17,
        EventEditingDidEnd = 1u << 18,
        EventEditingDidEndOnExit = 1u << 19,
        EventAllTouchEvents = 0x00000FFFu,
        EventAllEditingEvents = 0x000F0000u,
        EventAllEvents = 0xFFFFFFFFu,
    };

    enum State : unsigned {
        StateNormal = 0,
        StateHighlighted = 1u << 0,
        StateDisabled = 1u << 1,
        StateSelected = 1u << 2,
    };

    using Action = std::function<void(const std::shared_ptr<Control>& sender)>;
    using ActionId = std::uint64_t;

    Control() = default;
    explicit Control(Rect frame) : View(frame) {}

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected) { selected_ = selected; }
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    // Highlighted, disabled and selected flags combined.
    unsigned state() const;

    // An action with no separate target (the closure owns what it captures).
    ActionId addActionForControlEvents(Action action, unsigned events);
    // A member function of a target that is not owned. The sender is passed
    // as the class the function asks for (null when it is not one).
    template <class T, class S>
    ActionId addTargetActionForControlEvents(const std::shared_ptr<T>& target,
                                             void (T::*action)(const std::shared_ptr<S>&), unsigned events) {
        std::weak_ptr<T> weak = target;
        return addEntry(
            target, target.get(),
            [weak, action](const std::shared_ptr<Control>& sender) {
                if (auto t = weak.lock()) ((*t).*action)(std::dynamic_pointer_cast<S>(sender));
            },
            events);
    }
    template <class T>
    ActionId addTargetActionForControlEvents(const std::shared_ptr<T>& target, void (T::*action)(), unsigned events) {
        std::weak_ptr<T> weak = target;
        return addEntry(
            target, target.get(),
            [weak, action](const std::shared_ptr<Control>&) {
                if (auto t = weak.lock()) ((*t).*action)();
            },
            events);
    }
    // Removes the target's actions for these events (a null target: every action).
    void removeTargetForControlEvents(const void* target, unsigned events);
    void removeAction(ActionId id);
    std::size_t actionCountForControlEvents(unsigned events) const;
    // The live targets, without repeats.
    std::vector<std::shared_ptr<void>> allTargets() const;

    // Runs every action registered for any of the events.
    void sendActionsForControlEvents(unsigned events);

    // A finger tapping the control: when it is enabled, interactive and not
    // hidden, a touch-down then a touch-up-inside. Answers whether it took the tap.
    virtual bool tap();
    // Whether a finger can reach the control at all.
    bool acceptsTouches() const;

    std::string className() const override { return "Control"; }

private:
    struct Entry {
        ActionId id;
        std::weak_ptr<void> target;
        const void* targetAddress;
        Action action;
        unsigned events;
    };
    ActionId addEntry(std::weak_ptr<void> target, const void* address, Action action, unsigned events);

    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    std::vector<Entry> entries_;
    ActionId nextId_ = 1;
};

}  // namespace clipora::platform
