#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/Error.h"
#include "platform/system/Location.h"

namespace clipora::platform {

class LocationManager;

// Told of a location manager's fixes and failures, on the main thread. Every
// operation is optional.
class LocationManagerDelegate {
public:
    virtual ~LocationManagerDelegate() = default;

    // A new fix; `oldLocation` is the manager's previous one, if any.
    virtual void locationManagerDidUpdateToLocationFromLocation(const std::shared_ptr<LocationManager>& manager,
                                                                const Location& newLocation,
                                                                const std::optional<Location>& oldLocation) {
        (void)manager;
        (void)newLocation;
        (void)oldLocation;
    }
    virtual void locationManagerDidFailWithError(const std::shared_ptr<LocationManager>& manager, const Error& error) {
        (void)manager;
        (void)error;
    }
};

}  // namespace clipora::platform
