#include "app/InterfaceKit.h"

#include <mutex>

#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"

namespace clipora {

using namespace platform;

namespace {

std::shared_ptr<IKImageMemoryCache>& imageCacheSlot() {
    static std::shared_ptr<IKImageMemoryCache> cache;
    return cache;
}

std::shared_ptr<OperationQueue>& queueSlot() {
    static std::shared_ptr<OperationQueue> queue;
    return queue;
}

}  // namespace

bool InterfaceKit::isPad() {
    // Computed once under std::call_once: a plain cached flag written by
    // whichever thread asks first would be a data race.
    static std::once_flag once;
    static bool pad = false;
    std::call_once(once, [] {
        auto device = Device::currentDevice();
        pad = device->answersUserInterfaceIdiom() && device->userInterfaceIdiom() == Device::UserInterfaceIdiomPad;
    });
    return pad;
}

bool InterfaceKit::isSupportedOrientation(int orientation) {
    if (isPad()) return true;
    return orientation == InterfaceOrientationPortrait || orientation == InterfaceOrientationLandscapeLeft ||
           orientation == InterfaceOrientationLandscapeRight;
}

InterfaceOrientation InterfaceKit::statusBarOrientation() {
    return Application::sharedApplication()->statusBarOrientation();
}

float InterfaceKit::toolbarHeightForOrientation(int orientation) {
    if (isPad() || orientation == InterfaceOrientationPortrait || orientation == InterfaceOrientationPortraitUpsideDown)
        return 44;
    return 33;
}

Rect InterfaceKit::rectContract(Rect rect, float dx, float dy) {
    return Rect(rect.origin.x, rect.origin.y, rect.size.width - dx, rect.size.height - dy);
}

std::string InterfaceKit::pathForBundleResource(const std::shared_ptr<Bundle>& bundle,
                                                const std::string& relativePath) {
    auto source = bundle ? bundle : Bundle::mainBundle();
    return source->resourcePath() + "/" + relativePath;
}

std::shared_ptr<IKImageMemoryCache> InterfaceKit::imageMemoryCache() {
    auto& cache = imageCacheSlot();
    if (!cache) cache = std::make_shared<IKImageMemoryCache>();
    return cache;
}

void InterfaceKit::setImageMemoryCache(std::shared_ptr<IKImageMemoryCache> cache) {
    imageCacheSlot() = std::move(cache);
}

std::shared_ptr<OperationQueue> InterfaceKit::networkOperationQueue() {
    auto& queue = queueSlot();
    if (!queue) queue = std::make_shared<OperationQueue>();
    return queue;
}

void InterfaceKit::setNetworkOperationQueue(std::shared_ptr<OperationQueue> queue) { queueSlot() = std::move(queue); }

}  // namespace clipora
