#pragma once

#include <string>

namespace clipora::platform {

// The device's local time zone.
class TimeZone {
public:
    TimeZone() = delete;

    // The zone's name in the time-zone database ("Europe/Zurich"): from $TZ
    // (without a leading ':'), else /etc/timezone, else the target of the
    // /etc/localtime link; "GMT" when none tells.
    static std::string localTimeZoneName();
};

}  // namespace clipora::platform
