#include "platform/uikit/Device.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Application.h"

namespace clipora::platform {

namespace {
std::shared_ptr<Device>& shared() {
    static std::shared_ptr<Device> device = std::make_shared<Device>();
    return device;
}
}  // namespace

std::shared_ptr<Device> Device::currentDevice() { return shared(); }

void Device::reset() { shared() = std::make_shared<Device>(); }

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
