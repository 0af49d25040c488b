#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/system/Location.h"
#include "platform/system/LocationManagerDelegate.h"

namespace clipora::platform {

// The device's position service. There is no receiver here: the position is
// whatever setCurrentLocation() last said (tests and the device program play
// the satellites). A manager that updates (standard updates or
// significant-change monitoring) gets each new position, and the current one
// when it starts, as a delegate call on the main run loop; a position closer
// than the distance filter to its last fix is not reported. Starting while
// location services are off or the application is denied reports the
// "denied" error instead, and the manager stops.
class LocationManager : public Object, public std::enable_shared_from_this<LocationManager> {
public:
    enum AuthorizationStatus : int {
        AuthorizationStatusNotDetermined = 0,
        AuthorizationStatusRestricted = 1,
        AuthorizationStatusDenied = 2,
        AuthorizationStatusAuthorized = 3,
    };

    static constexpr std::string_view kErrorDomain = "kCLErrorDomain";
    static constexpr std::int64_t kErrorLocationUnknown = 0;
    static constexpr std::int64_t kErrorDenied = 1;
    static constexpr std::int64_t kErrorNetwork = 2;

    // Accuracy wishes in metres (best: negative).
    static constexpr double kDesiredAccuracyBestForNavigation = -2;
    static constexpr double kDesiredAccuracyBest = -1;
    static constexpr double kDesiredAccuracyNearestTenMeters = 10;
    static constexpr double kDesiredAccuracyHundredMeters = 100;
    static constexpr double kDesiredAccuracyKilometer = 1000;
    static constexpr double kDistanceFilterNone = -1;

    LocationManager();
    ~LocationManager() override;

    // --- The device (process-wide, settable) ------------------------------
    static bool locationServicesEnabled();
    static void setLocationServicesEnabled(bool enabled);
    static AuthorizationStatus authorizationStatus();
    static void setAuthorizationStatus(AuthorizationStatus status);
    static bool significantLocationChangeMonitoringAvailable();
    static void setSignificantLocationChangeMonitoringAvailable(bool available);
    // The device's position; updating managers hear of it on the main loop.
    static std::optional<Location> currentLocation();
    static void setCurrentLocation(const Location& location);
    // Reports a failure to every updating manager (on the main loop).
    static void simulateFailure(const Error& error);
    // Back to the defaults: services on, authorized, significant changes
    // available, no position.
    static void resetDevice();

    // --- This manager ----------------------------------------------------
    std::weak_ptr<LocationManagerDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<LocationManagerDelegate> delegate) { delegate_ = std::move(delegate); }
    double desiredAccuracy() const { return desiredAccuracy_; }
    void setDesiredAccuracy(double accuracy) { desiredAccuracy_ = accuracy; }
    double distanceFilter() const { return distanceFilter_; }
    void setDistanceFilter(double metres) { distanceFilter_ = metres; }

    void startUpdatingLocation();
    void stopUpdatingLocation();
    void startMonitoringSignificantLocationChanges();
    void stopMonitoringSignificantLocationChanges();
    bool isUpdatingLocation() const { return updating_; }
    bool isMonitoringSignificantLocationChanges() const { return monitoring_; }

    // The last fix reported to this manager.
    const std::optional<Location>& location() const { return location_; }

private:
    void started();
    bool active() const { return updating_ || monitoring_; }
    void deliver(const Location& fix);
    void fail(const Error& error);

    std::weak_ptr<LocationManagerDelegate> delegate_;
    double desiredAccuracy_ = kDesiredAccuracyBest;
    double distanceFilter_ = kDistanceFilterNone;
    bool updating_ = false;
    bool monitoring_ = false;
    std::optional<Location> location_;
};

}  // namespace clipora::platform
