#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/IKLinkedList.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"

namespace clipora {

// One entry of a memory cache: its object, optional expiry date, last access
// and its place in the cache's least-recently-used list.
class IKMemoryCacheInfo : public platform::Object {
public:
    explicit IKMemoryCacheInfo(std::string name) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    const std::shared_ptr<platform::Object>& object() const { return object_; }
    void setObject(std::shared_ptr<platform::Object> object) { object_ = std::move(object); }
    const std::optional<platform::Date>& expirationDate() const { return expirationDate_; }
    void setExpirationDate(std::optional<platform::Date> date) { expirationDate_ = date; }
    platform::Date lastAccessTime() const { return lastAccessTime_; }
    void setLastAccessTime(platform::Date date) { lastAccessTime_ = date; }
    IKLinkedList::Location lruLocation() const { return lruLocation_; }
    void setLruLocation(IKLinkedList::Location location) { lruLocation_ = location; }
    // It has an expiration date and now is at or after it.
    bool hasExpired() const;

private:
    std::string name_;
    std::shared_ptr<platform::Object> object_;
    std::optional<platform::Date> expirationDate_;
    platform::Date lastAccessTime_;
    IKLinkedList::Location lruLocation_ = nullptr;
};

// Objects by name with optional expiry, in least-recently-used order, with
// hooks for subclasses. Reduces itself (drops expired entries) on the
// application's memory warnings. Main thread.
class IKMemoryCache : public std::enable_shared_from_this<IKMemoryCache> {
public:
    using ObjectPtr = std::shared_ptr<platform::Object>;

    // Observes the memory-warning notification from the start; the capacity
    // is a hint.
    explicit IKMemoryCache(std::size_t capacity = 0);
    virtual ~IKMemoryCache();

    void storeObjectWithName(ObjectPtr object, const std::string& name) {
        storeObjectWithNameExpiresAfter(std::move(object), name, std::nullopt);
    }
    // Null stores nothing; a date now or past removes the name's entry.
    void storeObjectWithNameExpiresAfter(ObjectPtr object, const std::string& name,
                                         std::optional<platform::Date> expirationDate);
    // Expired entries are removed when met and count as absent.
    ObjectPtr objectWithName(const std::string& name);
    bool containsObjectWithName(const std::string& name);
    std::optional<platform::Date> dateOfLastAccessWithName(const std::string& name);
    std::optional<std::string> nameOfLeastRecentlyUsedObject();
    std::optional<std::string> nameOfMostRecentlyUsedObject();
    void removeObjectWithName(const std::string& name) { removeCacheInfoForName(name); }
    virtual void removeAllObjects();
    // Drops every expired entry.
    virtual void reduceMemoryUsage();
    std::size_t count() const { return cacheMap_.size(); }

protected:
    // Hooks for subclasses (nothing here).
    virtual void willSetObjectWithNamePreviousObject(const ObjectPtr& object, const std::string& name,
                                                     const ObjectPtr& previous) {
        (void)object, (void)name, (void)previous;
    }
    virtual void didSetObjectWithName(const ObjectPtr& object, const std::string& name) { (void)object, (void)name; }
    virtual void willRemoveObjectWithName(const ObjectPtr& object, const std::string& name) {
        (void)object, (void)name;
    }
    // Removes the least recently used entry; false when there is none.
    bool removeLeastRecentlyUsed();

private:
    void setCacheInfoForName(const std::shared_ptr<IKMemoryCacheInfo>& info, const std::string& name,
                             const ObjectPtr& previous);
    void removeCacheInfoForName(const std::string& name);
    void updateAccessTimeForInfo(const std::shared_ptr<IKMemoryCacheInfo>& info);
    // The name's entry, removed (and answered null) when it has expired.
    std::shared_ptr<IKMemoryCacheInfo> liveInfo(const std::string& name);

    std::map<std::string, std::shared_ptr<IKMemoryCacheInfo>> cacheMap_;
    IKLinkedList lruCacheObjects_;
    bool observing_ = false;
};

// A memory cache of images bounded by their total number of pixels.
class IKImageMemoryCache : public IKMemoryCache {
public:
    using IKMemoryCache::IKMemoryCache;

    std::uint32_t numberOfPixels() const { return numberOfPixels_; }
    // 0: unbounded.
    std::uint32_t maxNumberOfPixels() const { return maxNumberOfPixels_; }
    void setMaxNumberOfPixels(std::uint32_t pixels) { maxNumberOfPixels_ = pixels; }
    // 0: no extra reduction on memory warnings.
    std::uint32_t maxNumberOfPixelsUnderStress() const { return maxNumberOfPixelsUnderStress_; }
    void setMaxNumberOfPixelsUnderStress(std::uint32_t pixels) { maxNumberOfPixelsUnderStress_ = pixels; }

    // Also counts nothing any more.
    void removeAllObjects() override;
    void reduceMemoryUsage() override;

    // Width x height in points, times the scale, truncated; 0 for anything
    // but an image.
    static std::uint32_t pixelsOf(const ObjectPtr& object);

protected:
    void willSetObjectWithNamePreviousObject(const ObjectPtr& object, const std::string& name,
                                             const ObjectPtr& previous) override;
    void didSetObjectWithName(const ObjectPtr& object, const std::string& name) override;
    void willRemoveObjectWithName(const ObjectPtr& object, const std::string& name) override;

private:
    std::uint32_t numberOfPixels_ = 0;
    std::uint32_t maxNumberOfPixels_ = 0;
    std::uint32_t maxNumberOfPixelsUnderStress_ = 0;
};

}  // namespace clipora
