#include "analytics/TallyImageCache.h"

#include <algorithm>

#include "analytics/TallyFileCache.h"
#include "analytics/TallyShared.h"
#include "analytics/TallyUtil.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace clipora {

using namespace platform;

namespace {
constexpr const char* kStoredName = "imageCache";
}  // namespace

std::shared_ptr<TallyImageCache> TallyImageCache::createInstanceWithFileCache(
    std::shared_ptr<TallyFileCache> fileCache) {
    registerCoding();
    return TallyShared<TallyImageCache>::getOrMake([&] {
        std::shared_ptr<TallyImageCache> loaded;
        if (auto files = TallyFileCache::instance())
            if (auto stored = files->getForCurentAgentVersion(kStoredName, false))
                loaded = stored->objectAs<TallyImageCache>();
        if (loaded)
            loaded->setFileCache(std::move(fileCache));
        else
            loaded = initWithFileCache(std::move(fileCache));
        return loaded;
    });
}

std::shared_ptr<TallyImageCache> TallyImageCache::recreateInstanceWithFileCache(
    std::shared_ptr<TallyFileCache> fileCache) {
    reset();
    return createInstanceWithFileCache(std::move(fileCache));
}

std::shared_ptr<TallyImageCache> TallyImageCache::instance() { return TallyShared<TallyImageCache>::get(); }

void TallyImageCache::reset() { TallyShared<TallyImageCache>::reset(); }

std::shared_ptr<TallyImageCache> TallyImageCache::initWithFileCache(std::shared_ptr<TallyFileCache> fileCache) {
    registerCoding();  // so that it can be archived
    auto cache = std::make_shared<TallyImageCache>();
    cache->fileCache_ = std::move(fileCache);
    cache->lru_.reserve(kDefaultCapacity);
    return cache;
}

void TallyImageCache::registerCoding() { CodingRegistry::registerClass<TallyImageCache>(kClassName); }

void TallyImageCache::encodeWithCoder(KeyedArchiver& coder) const {
    std::lock_guard lock(mutex_);
    TallyUtil::debugLog("Tally: Encode TallyImageCache");
    coder.encodeObject(Value(index_), "index");
    coder.encodeInt32(maxImageCached_, "maxImageCached");
    Value::Array order(lru_.begin(), lru_.end());
    coder.encodeObject(Value(std::move(order)), "lru");
    coder.encodeInt64(cacheUpdateTimestamp_, "cacheUpdateTimestamp");
}

std::shared_ptr<TallyImageCache> TallyImageCache::initWithCoder(KeyedUnarchiver& coder) {
    auto cache = std::make_shared<TallyImageCache>();
    cache->index_ = coder.decodeDictionary("index", {Coding::kStringClass}).value_or(Value::Dictionary{});
    cache->maxImageCached_ = coder.decodeInt32("maxImageCached");
    for (const auto& id : coder.decodeArray("lru", {Coding::kStringClass}).value_or(Value::Array{}))
        cache->lru_.push_back(*id.string());
    cache->cacheUpdateTimestamp_ = coder.decodeInt64("cacheUpdateTimestamp");
    if (coder.failed()) return nullptr;
    return cache;
}

void TallyImageCache::saveImageId(const std::optional<Value>& image, const std::optional<std::string>& imageId) {
    TallyUtil::debugLog("Tally: Image cache saving imageId[%@]", imageId ? Value(*imageId) : Value());
    if (!image || !imageId) return;
    std::lock_guard lock(mutex_);
    if (!index_.contains(*imageId) && static_cast<std::int64_t>(index_.size()) >= maxImageCached_ && !lru_.empty()) {
        const std::string oldest = lru_.front();
        TallyUtil::debugLog("Tally: Image cache full, remove oldest entry[%@]", oldest);
        removeLocked(oldest);
    }
    if (!fileCache_) return;
    if (auto path = fileCache_->savePrefixForCurentAgentVersion(*image, imageIdToFileName(*imageId), false)) {
        index_[*imageId] = Value(*path);
        touchLocked(*imageId);
    }
}

std::optional<Value> TallyImageCache::get(const std::optional<std::string>& imageId) {
    TallyUtil::debugLog("Tally: Image cache retrieving imageId[%@]", imageId ? Value(*imageId) : Value());
    if (!imageId) return std::nullopt;
    std::lock_guard lock(mutex_);
    if (!index_.contains(*imageId)) return std::nullopt;
    touchLocked(*imageId);
    auto image = fileCache_ ? fileCache_->getForCurentAgentVersion(imageIdToFileName(*imageId), false) : std::nullopt;
    if (!image) {
        index_.erase(*imageId);
        std::erase(lru_, *imageId);
    }
    return image;
}

bool TallyImageCache::remove(const std::optional<std::string>& imageId) {
    TallyUtil::debugLog("Tally: Image cache removing imageId[%@]", imageId ? Value(*imageId) : Value());
    if (!imageId) return false;
    std::lock_guard lock(mutex_);
    return removeLocked(*imageId);
}

bool TallyImageCache::removeLocked(const std::string& imageId) {
    bool removed = false;
    if (index_.contains(imageId)) {
        removed = fileCache_ && fileCache_->removeForCurentAgentVersion(imageIdToFileName(imageId), false);
        index_.erase(imageId);
    }
    std::erase(lru_, imageId);
    return removed;
}

void TallyImageCache::setAsMostRecentlyUsed(const std::string& imageId) {
    std::lock_guard lock(mutex_);
    touchLocked(imageId);
}

void TallyImageCache::touchLocked(const std::string& imageId) {
    TallyUtil::debugLog("Tally: Image cache setting imageId[%@] as most recently used", imageId);
    if (!index_.contains(imageId)) return;
    std::erase(lru_, imageId);
    lru_.push_back(imageId);
}

std::vector<std::string> TallyImageCache::storedIds() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> ids;
    for (const auto& [id, path] : index_) ids.push_back(id);
    return ids;
}

std::string TallyImageCache::imageIdToFileName(const std::string& imageId) { return "tallyImage" + imageId; }

std::shared_ptr<TallyFileCache> TallyImageCache::fileCache() const {
    std::lock_guard lock(mutex_);
    return fileCache_;
}
void TallyImageCache::setFileCache(std::shared_ptr<TallyFileCache> fileCache) {
    std::lock_guard lock(mutex_);
    fileCache_ = std::move(fileCache);
}
std::int32_t TallyImageCache::maxImageCached() const {
    std::lock_guard lock(mutex_);
    return maxImageCached_;
}
void TallyImageCache::setMaxImageCached(std::int32_t capacity) {
    std::lock_guard lock(mutex_);
    maxImageCached_ = capacity;
}
std::vector<std::string> TallyImageCache::lru() const {
    std::lock_guard lock(mutex_);
    return lru_;
}
std::int64_t TallyImageCache::cacheUpdateTimestamp() const {
    std::lock_guard lock(mutex_);
    return cacheUpdateTimestamp_;
}
void TallyImageCache::setCacheUpdateTimestamp(std::int64_t timestamp) {
    std::lock_guard lock(mutex_);
    cacheUpdateTimestamp_ = timestamp;
}

}  // namespace clipora
