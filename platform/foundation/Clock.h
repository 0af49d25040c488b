#pragma once

#include <cstdint>
#include <functional>

#include "platform/foundation/Date.h"

namespace clipora::platform {

// The one process-wide source of "now". It follows the system clock until a
// test sets it (manual mode); from then on time moves only by setNow() and
// advance(), until useSystemTime() returns to the system clock.
//
// Listeners hear every setNow()/advance()/useSystemTime() so that a run loop
// can wake up and fire the timers that became due. They are called on the
// thread that changed the clock, after the change and outside the clock's lock,
// so a listener may read the clock (and even change it).
// All functions are safe from any thread.
class Clock {
public:
    using Listener = std::function<void(Date now)>;
    using ListenerId = std::uint64_t;

    static Date now();

    // Switches to manual mode at the given time.
    static void setNow(Date date);
    // Moves the clock forward (or back, for a negative value). In system mode
    // this first freezes the clock at the current system time (manual mode).
    static void advance(double seconds);
    // Back to the system clock.
    static void useSystemTime();
    static bool isManual();

    // Returns an id for removeListener(); ids are never 0 and never reused.
    static ListenerId addListener(Listener listener);
    // Once this returns, the listener is not running on another thread and is
    // never called again, so its owner may go away. (Called from inside the
    // listener itself, the current call simply finishes.)
    static void removeListener(ListenerId id);

    // The system clock, regardless of mode.
    static Date systemNow();
};

}  // namespace clipora::platform
