#include "platform/system/Location.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace clipora::platform {

double Location::distanceFromLocation(const Location& other) const {
    constexpr double kEarthRadius = 6371000.0;
    constexpr double kRad = std::numbers::pi / 180.0;
    double dLat = (other.latitude - latitude) * kRad;
    double dLon = (other.longitude - longitude) * kRad;
    double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
               std::cos(latitude * kRad) * std::cos(other.latitude * kRad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadius * std::atan2(std::sqrt(a), std::sqrt(1 - a));
}

std::string Location::description() const {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "<%+.8f,%+.8f> +/- %.2fm @ ", latitude, longitude, horizontalAccuracy);
    return buffer + timestamp.description();
}

}  // namespace clipora::platform
