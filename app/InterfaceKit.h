#pragma once

#include <memory>
#include <string>

#include "app/IKMemoryCache.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/Rect.h"
#include "platform/uikit/InterfaceOrientation.h"

namespace clipora {

// The interface kit's device and orientation functions and its two
// process-wide objects (an image memory cache and a network operation
// queue); class operations only.
class InterfaceKit {
public:
    InterfaceKit() = delete;

    // Whether the device is a tablet: asked once per process (thread-safe)
    // and kept, as the answer never changes.
    static bool isPad();
    // Tablet: every orientation; phone: all but upside-down portrait.
    static bool isSupportedOrientation(int orientation);
    static platform::InterfaceOrientation statusBarOrientation();
    // 44 points on a tablet or in portrait, 33 in landscape on a phone.
    static float toolbarHeightForOrientation(int orientation);
    // Same origin, width less dx, height less dy.
    static platform::Rect rectContract(platform::Rect rect, float dx, float dy);
    // The bundle's (the main bundle's when null) resource folder joined with
    // `relativePath`.
    static std::string pathForBundleResource(const std::shared_ptr<platform::Bundle>& bundle,
                                             const std::string& relativePath);

    // Made on first use (main thread).
    static std::shared_ptr<IKImageMemoryCache> imageMemoryCache();
    static void setImageMemoryCache(std::shared_ptr<IKImageMemoryCache> cache);
    static std::shared_ptr<platform::OperationQueue> networkOperationQueue();
    static void setNetworkOperationQueue(std::shared_ptr<platform::OperationQueue> queue);
};

}  // namespace clipora
