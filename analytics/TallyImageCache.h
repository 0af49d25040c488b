#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {
class KeyedUnarchiver;
}

namespace clipora {

class TallyFileCache;

// Up to `maxImageCached` images (or any archivable objects standing for them)
// kept in the file cache by image id; the least recently used one goes when
// it is full. Safe from any thread.
class TallyImageCache : public platform::Object, public platform::Coding {
public:
    static constexpr const char* kClassName = "TallyImageCache";
    static constexpr std::int32_t kDefaultCapacity = 400;

    static std::shared_ptr<TallyImageCache> createInstanceWithFileCache(std::shared_ptr<TallyFileCache> fileCache);
    static std::shared_ptr<TallyImageCache> recreateInstanceWithFileCache(std::shared_ptr<TallyFileCache> fileCache);
    static std::shared_ptr<TallyImageCache> instance();
    static void reset();
    static std::shared_ptr<TallyImageCache> initWithFileCache(std::shared_ptr<TallyFileCache> fileCache);
    static std::shared_ptr<TallyImageCache> initWithCoder(platform::KeyedUnarchiver& coder);
    static void registerCoding();

    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;

    void saveImageId(const std::optional<platform::Value>& image, const std::optional<std::string>& imageId);
    std::optional<platform::Value> get(const std::optional<std::string>& imageId);
    bool remove(const std::optional<std::string>& imageId);
    void setAsMostRecentlyUsed(const std::string& imageId);
    std::vector<std::string> storedIds() const;
    static std::string imageIdToFileName(const std::string& imageId);

    std::shared_ptr<TallyFileCache> fileCache() const;
    void setFileCache(std::shared_ptr<TallyFileCache> fileCache);
    std::int32_t maxImageCached() const;
    void setMaxImageCached(std::int32_t capacity);
    std::vector<std::string> lru() const;
    std::int64_t cacheUpdateTimestamp() const;
    void setCacheUpdateTimestamp(std::int64_t timestamp);

private:
    bool removeLocked(const std::string& imageId);
    void touchLocked(const std::string& imageId);

    mutable std::recursive_mutex mutex_;
    std::shared_ptr<TallyFileCache> fileCache_;
    platform::Value::Dictionary index_;
    std::int32_t maxImageCached_ = kDefaultCapacity;
    std::vector<std::string> lru_;
    std::int64_t cacheUpdateTimestamp_ = 0;
};

}  // namespace clipora
