#pragma once

#include <string>

#include "platform/foundation/Date.h"

namespace clipora::platform {

// One fix of the device's position: latitude and longitude in degrees,
// altitude in metres, the two accuracies in metres (a negative horizontal
// accuracy marks an invalid fix), and when it was taken.
struct Location {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    double horizontalAccuracy = 0;
    double verticalAccuracy = -1;
    Date timestamp;

    // Great-circle distance in metres (mean Earth radius 6371 km).
    double distanceFromLocation(const Location& other) const;
    // "<+48.85800000,+2.29400000> +/- 10.00m @ 2012-06-01 12:00:00 +0000".
    std::string description() const;

    friend bool operator==(const Location&, const Location&) = default;
};

}  // namespace clipora::platform
