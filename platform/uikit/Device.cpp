#include "platform/uikit/Device.h"

#include <mutex>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Application.h"

namespace clipora::platform {

namespace {
struct DeviceSlot {
    std::mutex mutex;
    std::shared_ptr<Device> device = std::make_shared<Device>();
};

DeviceSlot& slot() {
    // Never destroyed, and locked: request code on background threads reads
    // the device (user agent), also while tests reset it or statics die at
    // exit.
    static DeviceSlot& s = *new DeviceSlot;
    return s;
}
}  // namespace

std::shared_ptr<Device> Device::currentDevice() {
    auto& s = slot();
    std::lock_guard lock(s.mutex);
    return s.device;
}

void Device::reset() {
    auto fresh = std::make_shared<Device>();
    auto& s = slot();
    std::lock_guard lock(s.mutex);
    s.device.swap(fresh);
}

std::string Device::model() const {
    if (model_) return *model_;
    return userInterfaceIdiom() == UserInterfaceIdiomPad ? "iPad" : "iPhone";
}

void Device::setOrientation(Orientation orientation) {
    if (orientation == orientation_) return;
    orientation_ = orientation;
    if (!isGeneratingDeviceOrientationNotifications()) return;
    auto self = shared_from_this();
    NotificationCenter::defaultCenter().post(kOrientationDidChangeNotification, Value(std::shared_ptr<Object>(self)));
    Application::sharedApplication()->deviceOrientationDidChange(orientation);
}

void Device::beginGeneratingDeviceOrientationNotifications() { ++generating_; }

void Device::endGeneratingDeviceOrientationNotifications() {
    if (generating_ > 0) --generating_;
}

}  // namespace clipora::platform
