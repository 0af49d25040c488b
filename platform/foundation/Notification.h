#pragma once

#include <string>
#include <utility>

#include "platform/foundation/Value.h"

namespace clipora::platform {

// A message posted through a NotificationCenter: a name, the sender (or any
// other object, or null) and an optional user-info dictionary.
struct Notification {
    std::string name;
    Value object;
    Value userInfo;

    Notification() = default;
    explicit Notification(std::string n, Value obj = {}, Value info = {})
        : name(std::move(n)), object(std::move(obj)), userInfo(std::move(info)) {}
};

}  // namespace clipora::platform
