#pragma once

#include <cstddef>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/uikit/LocalNotification.h"

namespace clipora::platform {

// The system's local-notification service. There is no screen outside the
// application here, so presenting records the notification, as it was at
// that moment and with the time by the process clock; what was presented
// can be read back (the device program draws it, tests check it), the
// latest kKept of them. Nothing is scheduled for later. Safe from any thread.
class LocalNotificationCenter {
public:
    struct Presented {
        LocalNotification notification;
        Date date;
    };

    // How many presented notifications are kept (the oldest goes first).
    static constexpr std::size_t kKept = 64;

    LocalNotificationCenter() = delete;

    // Shows the notification now.
    static void presentLocalNotificationNow(const LocalNotification& notification);
    // Everything presented, oldest first.
    static std::vector<Presented> presentedNotifications();
    // Forgets what was presented (tests; Application::reset() calls it).
    static void reset();
};

}  // namespace clipora::platform
