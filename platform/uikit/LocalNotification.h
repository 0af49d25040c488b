#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace clipora::platform {

// A notice the application hands to the system to show the user outside its
// own screens (a banner or an alert over whatever is in front), typically
// while it runs in the background. A plain value: what is presented is a
// copy, so changing a notification afterwards changes nothing shown.
// Presented through LocalNotificationCenter.
class LocalNotification {
public:
    // The text shown.
    const std::optional<std::string>& alertBody() const { return alertBody_; }
    void setAlertBody(std::optional<std::string> body) { alertBody_ = std::move(body); }
    // The title of the action that opens the application (none: the
    // system's default).
    const std::optional<std::string>& alertAction() const { return alertAction_; }
    void setAlertAction(std::optional<std::string> action) { alertAction_ = std::move(action); }
    // Whatever the application wants back with the notification.
    const Value& userInfo() const { return userInfo_; }
    void setUserInfo(Value userInfo) { userInfo_ = std::move(userInfo); }

    friend bool operator==(const LocalNotification&, const LocalNotification&) = default;

private:
    std::optional<std::string> alertBody_;
    std::optional<std::string> alertAction_;
    Value userInfo_;
};

}  // namespace clipora::platform
