#include "platform/system/LocationManager.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/foundation/RunLoop.h"

namespace clipora::platform {

namespace {

struct DeviceState {
    std::mutex mutex;
    bool servicesEnabled = true;
    LocationManager::AuthorizationStatus status = LocationManager::AuthorizationStatusAuthorized;
    bool significantChangesAvailable = true;
    std::optional<Location> current;
    std::vector<std::weak_ptr<LocationManager>> managers;  // those that are updating
};

DeviceState& device() {
    static DeviceState state;
    return state;
}

// The live managers that are registered, with dead entries swept out.
std::vector<std::shared_ptr<LocationManager>> liveManagers() {
    DeviceState& d = device();
    std::lock_guard lock(d.mutex);
    std::vector<std::shared_ptr<LocationManager>> live;
    std::erase_if(d.managers, [](const auto& weak) { return weak.expired(); });
    for (const auto& weak : d.managers) {
        if (auto m = weak.lock()) live.push_back(std::move(m));
    }
    return live;
}

}  // namespace

LocationManager::LocationManager() = default;
LocationManager::~LocationManager() = default;

bool LocationManager::locationServicesEnabled() {
    std::lock_guard lock(device().mutex);
    return device().servicesEnabled;
}

void LocationManager::setLocationServicesEnabled(bool enabled) {
    std::lock_guard lock(device().mutex);
    device().servicesEnabled = enabled;
}

LocationManager::AuthorizationStatus LocationManager::authorizationStatus() {
    std::lock_guard lock(device().mutex);
    return device().status;
}

void LocationManager::setAuthorizationStatus(AuthorizationStatus status) {
    std::lock_guard lock(device().mutex);
    device().status = status;
}

bool LocationManager::significantLocationChangeMonitoringAvailable() {
    std::lock_guard lock(device().mutex);
    return device().significantChangesAvailable;
}

void LocationManager::setSignificantLocationChangeMonitoringAvailable(bool available) {
    std::lock_guard lock(device().mutex);
    device().significantChangesAvailable = available;
}

std::optional<Location> LocationManager::currentLocation() {
    std::lock_guard lock(device().mutex);
    return device().current;
}

void LocationManager::setCurrentLocation(const Location& location) {
    {
        std::lock_guard lock(device().mutex);
        device().current = location;
    }
    for (auto& manager : liveManagers()) {
        std::weak_ptr<LocationManager> weak = manager;
        RunLoop::main()->perform([weak, location] {
            if (auto m = weak.lock(); m && m->active()) m->deliver(location);
        });
    }
}

void LocationManager::simulateFailure(const Error& error) {
    for (auto& manager : liveManagers()) {
        std::weak_ptr<LocationManager> weak = manager;
        RunLoop::main()->perform([weak, error] {
            if (auto m = weak.lock(); m && m->active()) m->fail(error);
        });
    }
}

void LocationManager::resetDevice() {
    std::lock_guard lock(device().mutex);
    device().servicesEnabled = true;
    device().status = AuthorizationStatusAuthorized;
    device().significantChangesAvailable = true;
    device().current.reset();
    device().managers.clear();
}

void LocationManager::startUpdatingLocation() {
    bool wasActive = active();
    updating_ = true;
    if (!wasActive) started();
}

void LocationManager::stopUpdatingLocation() { updating_ = false; }

void LocationManager::startMonitoringSignificantLocationChanges() {
    bool wasActive = active();
    monitoring_ = true;
    if (!wasActive) started();
}

void LocationManager::stopMonitoringSignificantLocationChanges() { monitoring_ = false; }

void LocationManager::started() {
    std::optional<Location> current;
    bool allowed;
    {
        DeviceState& d = device();
        std::lock_guard lock(d.mutex);
        allowed =
            d.servicesEnabled && d.status != AuthorizationStatusDenied && d.status != AuthorizationStatusRestricted;
        auto self = weak_from_this();
        bool known = std::any_of(d.managers.begin(), d.managers.end(),
                                 [&](const auto& w) { return !w.owner_before(self) && !self.owner_before(w); });
        if (allowed && !known) d.managers.push_back(self);
        current = d.current;
    }
    std::weak_ptr<LocationManager> weak = weak_from_this();
    if (!allowed) {
        Error denied = Error::withDescription(std::string(kErrorDomain), kErrorDenied,
                                              "The application is not allowed to use location services.");
        RunLoop::main()->perform([weak, denied] {
            if (auto m = weak.lock(); m && m->active()) {
                m->updating_ = false;
                m->monitoring_ = false;
                m->fail(denied);
            }
        });
        return;
    }
    if (current) {
        Location fix = *current;
        RunLoop::main()->perform([weak, fix] {
            if (auto m = weak.lock(); m && m->active()) m->deliver(fix);
        });
    }
}

void LocationManager::deliver(const Location& fix) {
    if (distanceFilter_ > 0 && location_ && location_->distanceFromLocation(fix) < distanceFilter_) return;
    std::optional<Location> old = location_;
    location_ = fix;
    auto self = shared_from_this();
    if (auto d = delegate_.lock()) d->locationManagerDidUpdateToLocationFromLocation(self, fix, old);
}

void LocationManager::fail(const Error& error) {
    auto self = shared_from_this();
    if (auto d = delegate_.lock()) d->locationManagerDidFailWithError(self, error);
}

}  // namespace clipora::platform
