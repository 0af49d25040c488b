#include "app/IKMemoryCache.h"

#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Image.h"

namespace clipora {

using namespace platform;

bool IKMemoryCacheInfo::hasExpired() const { return expirationDate_ && Date::now() >= *expirationDate_; }

IKMemoryCache::IKMemoryCache(std::size_t) {
    // The observer is registered without capturing `this` as an owner of
    // any kind: it is removed in the destructor, on the main thread.
    NotificationCenter::defaultCenter().addObserver(
        Application::kDidReceiveMemoryWarningNotification, [this](const Notification&) { reduceMemoryUsage(); }, this);
    observing_ = true;
}

IKMemoryCache::~IKMemoryCache() {
    if (observing_) NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

void IKMemoryCache::storeObjectWithNameExpiresAfter(ObjectPtr object, const std::string& name,
                                                    std::optional<Date> expirationDate) {
    if (!object) return;
    if (expirationDate && *expirationDate <= Date::now()) {
        removeCacheInfoForName(name);
        return;
    }
    auto it = cacheMap_.find(name);
    auto info = it != cacheMap_.end() ? it->second : std::make_shared<IKMemoryCacheInfo>(name);
    // The object being replaced is taken before the info is overwritten, so
    // the hooks see the real previous object (an image cache would otherwise
    // never subtract the old picture's pixels).
    ObjectPtr previous = it != cacheMap_.end() ? info->object() : nullptr;
    info->setObject(std::move(object));
    info->setExpirationDate(expirationDate);
    setCacheInfoForName(info, name, previous);
}

void IKMemoryCache::setCacheInfoForName(const std::shared_ptr<IKMemoryCacheInfo>& info, const std::string& name,
                                        const ObjectPtr& previous) {
    updateAccessTimeForInfo(info);
    willSetObjectWithNamePreviousObject(info->object(), name, previous);
    cacheMap_[name] = info;
    didSetObjectWithName(info->object(), name);
}

void IKMemoryCache::updateAccessTimeForInfo(const std::shared_ptr<IKMemoryCacheInfo>& info) {
    info->setLastAccessTime(Date::now());
    lruCacheObjects_.removeObjectAtLocation(info->lruLocation());
    info->setLruLocation(lruCacheObjects_.addObject(info));
}

std::shared_ptr<IKMemoryCacheInfo> IKMemoryCache::liveInfo(const std::string& name) {
    auto it = cacheMap_.find(name);
    if (it == cacheMap_.end()) return nullptr;
    if (it->second->hasExpired()) {
        removeCacheInfoForName(name);
        return nullptr;
    }
    return it->second;
}

IKMemoryCache::ObjectPtr IKMemoryCache::objectWithName(const std::string& name) {
    auto info = liveInfo(name);
    if (!info) return nullptr;
    updateAccessTimeForInfo(info);
    return info->object();
}

bool IKMemoryCache::containsObjectWithName(const std::string& name) { return liveInfo(name) != nullptr; }

std::optional<Date> IKMemoryCache::dateOfLastAccessWithName(const std::string& name) {
    auto info = liveInfo(name);
    return info ? std::optional<Date>(info->lastAccessTime()) : std::nullopt;
}

std::optional<std::string> IKMemoryCache::nameOfLeastRecentlyUsedObject() {
    auto info = std::dynamic_pointer_cast<IKMemoryCacheInfo>(lruCacheObjects_.firstObject());
    if (!info) return std::nullopt;
    return liveInfo(info->name()) ? std::optional<std::string>(info->name()) : std::nullopt;
}

std::optional<std::string> IKMemoryCache::nameOfMostRecentlyUsedObject() {
    auto info = std::dynamic_pointer_cast<IKMemoryCacheInfo>(lruCacheObjects_.lastObject());
    if (!info) return std::nullopt;
    return liveInfo(info->name()) ? std::optional<std::string>(info->name()) : std::nullopt;
}

void IKMemoryCache::removeCacheInfoForName(const std::string& name) {
    auto it = cacheMap_.find(name);
    if (it == cacheMap_.end()) return;
    auto info = it->second;
    willRemoveObjectWithName(info->object(), name);
    lruCacheObjects_.removeObjectAtLocation(info->lruLocation());
    info->setLruLocation(nullptr);
    cacheMap_.erase(name);
}

bool IKMemoryCache::removeLeastRecentlyUsed() {
    auto info = std::dynamic_pointer_cast<IKMemoryCacheInfo>(lruCacheObjects_.firstObject());
    if (!info) return false;
    removeCacheInfoForName(info->name());
    return true;
}

void IKMemoryCache::removeAllObjects() {
    cacheMap_.clear();
    lruCacheObjects_.removeAllObjects();
}

void IKMemoryCache::reduceMemoryUsage() {
    std::vector<std::string> expired;
    for (const auto& [name, info] : cacheMap_)
        if (info->hasExpired()) expired.push_back(name);
    for (const auto& name : expired) removeCacheInfoForName(name);
}

// --- Images ------------------------------------------------------------------

std::uint32_t IKImageMemoryCache::pixelsOf(const ObjectPtr& object) {
    auto image = std::dynamic_pointer_cast<Image>(object);
    if (!image) return 0;
    const Size size = image->size();
    const auto points = static_cast<std::uint32_t>(size.width * size.height);
    return static_cast<std::uint32_t>(static_cast<float>(points) * image->scale());
}

void IKImageMemoryCache::willSetObjectWithNamePreviousObject(const ObjectPtr& object, const std::string&,
                                                             const ObjectPtr& previous) {
    if (!std::dynamic_pointer_cast<Image>(object)) return;
    const std::uint32_t old = pixelsOf(previous);
    numberOfPixels_ = (numberOfPixels_ > old ? numberOfPixels_ - old : 0) + pixelsOf(object);
}

void IKImageMemoryCache::didSetObjectWithName(const ObjectPtr&, const std::string&) {
    if (maxNumberOfPixels_ == 0) return;
    while (numberOfPixels_ > maxNumberOfPixels_ && removeLeastRecentlyUsed()) {
    }
}

void IKImageMemoryCache::willRemoveObjectWithName(const ObjectPtr& object, const std::string&) {
    const std::uint32_t pixels = pixelsOf(object);
    numberOfPixels_ = numberOfPixels_ > pixels ? numberOfPixels_ - pixels : 0;
}

void IKImageMemoryCache::removeAllObjects() {
    IKMemoryCache::removeAllObjects();
    numberOfPixels_ = 0;
}

void IKImageMemoryCache::reduceMemoryUsage() {
    IKMemoryCache::reduceMemoryUsage();
    if (maxNumberOfPixelsUnderStress_ == 0) return;
    while (numberOfPixels_ > maxNumberOfPixelsUnderStress_ && removeLeastRecentlyUsed()) {
    }
}

}  // namespace clipora
