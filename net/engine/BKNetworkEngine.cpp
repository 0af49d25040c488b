#include "net/engine/BKNetworkEngine.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "net/engine/BKDateEncoding.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"

namespace clipora {

using platform::Data;
using platform::Value;

namespace {

std::shared_ptr<platform::OperationQueue>& sharedQueueSlot() {
    // Never destroyed: operations on queue workers and blocks on the global
    // queue reach it, also while statics are destroyed at exit.
    static std::shared_ptr<platform::OperationQueue>& queue = *new std::shared_ptr<platform::OperationQueue>;
    return queue;
}

std::once_flag& sharedQueueOnce() {
    static std::once_flag flag;
    return flag;
}

std::filesystem::path cachePlistPath() {
    return std::filesystem::path(platform::FileManager::cachesDirectory()) /
           (std::string(BKNetworkEngine::kCacheDirectoryName) + ".plist");
}

}  // namespace

void BKNetworkEngine::initialize() {
    std::call_once(sharedQueueOnce(), [] {
        BKNetworkOperation::registerCoding();
        auto queue = std::make_shared<platform::OperationQueue>();
        queue->setName("BKNetworkEngine");
        queue->setMaxConcurrentOperationCount(kWiFiQueueWidth);
        queue->addOperationCountObserver([](std::size_t count) {
            platform::NotificationCenter::defaultCenter().post(kOperationCountChangedNotification,
                                                               Value(static_cast<unsigned long long>(count)));
            platform::Application::sharedApplication()->setNetworkActivityIndicatorVisible(count > 0);
        });
        sharedQueueSlot() = std::move(queue);
    });
}

std::shared_ptr<platform::OperationQueue> BKNetworkEngine::sharedOperationQueue() {
    initialize();
    return sharedQueueSlot();
}

BKNetworkEngine::BKNetworkEngine(Passkey) { initialize(); }

std::shared_ptr<BKNetworkEngine> BKNetworkEngine::initWithHostNameCustomHeaderFields(
    const std::optional<std::string>& hostName, const std::optional<Value::Dictionary>& headers) {
    auto engine = std::make_shared<BKNetworkEngine>(Passkey{});
    engine->setUp(hostName, headers);
    return engine;
}

void BKNetworkEngine::setUp(const std::optional<std::string>& hostName,
                            const std::optional<Value::Dictionary>& headers) {
    if (hostName && !hostName->empty()) {
        std::weak_ptr<BKNetworkEngine> weak = weak_from_this();
        platform::NotificationCenter::defaultCenter().addObserver(
            kReachabilityChangedNotification,
            [weak](const platform::Notification&) {
                if (auto engine = weak.lock()) engine->reachabilityChanged();
            },
            this);
        hostName_ = hostName;
        reachability_ = Reachability::reachabilityWithHostname(*hostName);
        if (reachability_) reachability_->startNotifier();
    }
    Value::Dictionary fields = headers.value_or(Value::Dictionary{});
    if (!fields.contains("User-Agent")) {
        auto bundle = platform::Bundle::mainBundle();
        fields["User-Agent"] = Value(bundle->infoString("CFBundleName").value_or("") + "/" +
                                     bundle->infoString("CFBundleVersion").value_or(""));
    }
    customHeaders_ = std::move(fields);
    operationFactory_ = [] { return std::make_shared<BKNetworkOperation>(); };
}

BKNetworkEngine::~BKNetworkEngine() {
    platform::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
    // A running notifier keeps its monitor alive: stop it, or the monitor
    // and its notifications outlive the engine.
    if (reachability_) reachability_->stopNotifier();
}

void BKNetworkEngine::registerOperationFactory(OperationFactory factory) {
    if (factory) operationFactory_ = std::move(factory);
}

// ---------------------------------------------------------------------------
// Operations

std::shared_ptr<BKNetworkOperation> BKNetworkEngine::operationWithPath(const std::string& path) {
    return operationWithPathParams(path, std::nullopt);
}

std::shared_ptr<BKNetworkOperation> BKNetworkEngine::operationWithPathParams(
    const std::string& path, const std::optional<Value::Dictionary>& params) {
    return operationWithPathParamsHttpMethod(path, params, "GET");
}

std::shared_ptr<BKNetworkOperation> BKNetworkEngine::operationWithPathParamsHttpMethod(
    const std::string& path, const std::optional<Value::Dictionary>& params, const std::string& method) {
    return operationWithPathParamsHttpMethodSsl(path, params, method, false);
}

std::shared_ptr<BKNetworkOperation> BKNetworkEngine::operationWithPathParamsHttpMethodSsl(
    const std::string& path, const std::optional<Value::Dictionary>& params, const std::string& method, bool ssl) {
    const std::string url = std::string(ssl ? "https" : "http") + "://" + hostName_.value_or("(null)") + "/" + path;
    return operationWithURLStringParamsHttpMethod(url, params, method);
}

std::shared_ptr<BKNetworkOperation> BKNetworkEngine::operationWithURLString(const std::string& urlString) {
    return operationWithURLStringParams(urlString, std::nullopt);
}

std::shared_ptr<BKNetworkOperation> BKNetworkEngine::operationWithURLStringParams(
    const std::string& urlString, const std::optional<Value::Dictionary>& params) {
    return operationWithURLStringParamsHttpMethod(urlString, params, "GET");
}

std::shared_ptr<BKNetworkOperation> BKNetworkEngine::operationWithURLStringParamsHttpMethod(
    const std::string& urlString, const std::optional<Value::Dictionary>& params, const std::string& method) {
    auto operation = operationFactory_();
    operation->initWithURLStringParamsHttpMethod(urlString, params, method);
    prepareHeaders(operation);
    return operation;
}

void BKNetworkEngine::prepareHeaders(const std::shared_ptr<BKNetworkOperation>& operation) {
    if (operation) operation->addHeaders(customHeaders_);
}

void BKNetworkEngine::enqueueOperationForceReload(const std::shared_ptr<BKNetworkOperation>& operation,
                                                  bool forceReload) {
    if (!operation) return;
    auto engine = shared_from_this();
    // The caller's queue: callers enqueue from the main thread.
    auto callerQueue = platform::DispatchQueue::main();
    platform::DispatchQueue::global()->async([engine, operation, forceReload, callerQueue] {
        std::weak_ptr<BKNetworkEngine> weakEngine = engine;
        operation->setCacheHandler([weakEngine](const std::shared_ptr<BKNetworkOperation>& completed) {
            auto owner = weakEngine.lock();
            if (!owner) return;
            // A download into streams has no body in memory to keep.
            auto data = completed->responseData();
            if (!data) return;
            const std::string key = completed->uniqueIdentifier();
            owner->saveCacheDataForKey(*data, key);
            std::lock_guard lock(owner->cacheMutex_);
            if (owner->cacheInvalidationParams_)
                (*owner->cacheInvalidationParams_)[key] = Value(completed->cacheHeaders());
        });

        // Expiry and revalidation headers are settled here, when the
        // operation is enqueued; the cached body and the queue decision then
        // reach the caller's queue in one task, so nothing (a moved clock, a
        // caller reacting to the cached body) can come between them.
        double expiry = 0;
        std::optional<Data> cached;
        if (!forceReload) {
            cached = engine->cachedDataForOperation(operation);
            if (cached) {
                std::optional<Value::Dictionary> headers;
                {
                    std::lock_guard lock(engine->cacheMutex_);
                    if (engine->cacheInvalidationParams_) {
                        auto it = engine->cacheInvalidationParams_->find(operation->uniqueIdentifier());
                        if (it != engine->cacheInvalidationParams_->end() && it->second.isDictionary())
                            headers = *it->second.dictionary();
                    }
                }
                if (headers) {
                    std::optional<std::string> expires;
                    if (auto it = headers->find("Expires"); it != headers->end() && it->second.isString())
                        expires = *it->second.string();
                    auto date = BKDateEncoding::dateFromRFC1123(expires);
                    expiry = date ? date->timeIntervalSinceNow() : 0;
                    operation->updateOperationBasedOnPreviousHeaders(*headers);
                }
            }
        }

        callerQueue->async([engine, operation, forceReload, expiry, cached] {
            if (cached) operation->setCachedData(*cached);
            auto queue = sharedOperationQueue();
            std::shared_ptr<BKNetworkOperation> equal;
            bool alreadyQueued = false;
            for (const auto& queued : queue->operations()) {
                auto candidate = std::dynamic_pointer_cast<BKNetworkOperation>(queued);
                if (!candidate) continue;
                if (candidate == operation) {
                    alreadyQueued = true;
                    break;
                }
                if (!equal && !candidate->isFinished() && operation->isEqual(*candidate)) equal = candidate;
            }
            if (!alreadyQueued) {
                // Streams joining a transfer whose body already began would
                // get a file without its beginning: such a caller gets a
                // transfer of its own.
                const bool joinable = equal && (!operation->hasDownloadStreams() || !equal->hasReceivedResponse());
                if (joinable) {
                    equal->updateHandlersFromOperation(operation);
                } else if (equal || expiry <= 0 || forceReload) {
                    try {
                        queue->addOperation(operation);
                    } catch (const std::invalid_argument&) {
                        // Finished or in another queue: nothing to run.
                    }
                }
            }
            if (!engine->isReachable()) engine->freezeOperations();
        });
    });
}

std::shared_ptr<BKNetworkOperation> BKNetworkEngine::imageAtURLOnCompletion(const std::optional<platform::URL>& url,
                                                                            ImageBlock block) {
    if (!url) return nullptr;
    auto operation = operationWithURLString(url->absoluteString());
    const platform::URL target = *url;
    operation->onCompletionOnError(
        [block, target](const std::shared_ptr<BKNetworkOperation>& completed) {
            if (block) block(completed->responseImage(), target, completed->isCachedResponse());
        },
        [](const platform::Error&) {});
    enqueueOperation(operation);
    return operation;
}

// ---------------------------------------------------------------------------
// Network state

bool BKNetworkEngine::isReachable() const {
    return reachability_ && reachability_->currentReachabilityStatus() != ReachabilityStatus::Unreachable;
}

void BKNetworkEngine::reachabilityChanged() {
    const ReachabilityStatus status =
        reachability_ ? reachability_->currentReachabilityStatus() : ReachabilityStatus::Unreachable;
    switch (status) {
    case ReachabilityStatus::ViaWiFi:
        sharedOperationQueue()->setMaxConcurrentOperationCount(kWiFiQueueWidth);
        checkAndRestoreFrozenOperations();
        break;
    case ReachabilityStatus::ViaCellular:
        sharedOperationQueue()->setMaxConcurrentOperationCount(kCellularQueueWidth);
        checkAndRestoreFrozenOperations();
        break;
    case ReachabilityStatus::Unreachable: freezeOperations(); break;
    }
    if (auto handler = reachabilityChangedHandler()) handler(status);
}

std::filesystem::path BKNetworkEngine::frozenOperationPath(const std::string& uniqueIdentifier) const {
    return cacheDirectoryName() / (uniqueIdentifier + "." + BKNetworkOperation::kFrozenExtension);
}

void BKNetworkEngine::freezeOperations() {
    if (!isCacheEnabled() || !hostName_) return;
    for (const auto& queued : sharedOperationQueue()->operations()) {
        auto operation = std::dynamic_pointer_cast<BKNetworkOperation>(queued);
        if (!operation || !operation->freezable() || operation->isFinished()) continue;
        if (!platform::Text::contains(operation->url(), *hostName_)) continue;
        platform::KeyedArchiver::archiveToFile(Value(std::static_pointer_cast<platform::Object>(operation)),
                                               frozenOperationPath(operation->uniqueIdentifier()));
        operation->cancel();
    }
}

void BKNetworkEngine::checkAndRestoreFrozenOperations() {
    if (!isCacheEnabled()) return;
    const std::filesystem::path directory = cacheDirectoryName();
    auto entries = platform::FileManager::contentsOfDirectory(directory);
    if (!entries) return;
    for (const std::string& name : *entries) {
        if (!platform::Text::contains(name, BKNetworkOperation::kFrozenExtension)) continue;
        const auto path = directory / name;
        auto value = platform::KeyedUnarchiver::unarchivedObjectFromFile(path, {BKNetworkOperation::kClassName});
        if (auto operation = value ? value->objectAs<BKNetworkOperation>() : nullptr) enqueueOperation(operation);
        platform::FileManager::removeItem(path);
    }
}

// ---------------------------------------------------------------------------
// Cache

std::filesystem::path BKNetworkEngine::cacheDirectoryName() {
    return std::filesystem::path(platform::FileManager::cachesDirectory()) / kCacheDirectoryName;
}

bool BKNetworkEngine::isCacheEnabled() const { return platform::FileManager::fileExists(cacheDirectoryName()); }

void BKNetworkEngine::useCache() {
    const auto directory = cacheDirectoryName();
    {
        std::lock_guard lock(cacheMutex_);
        memoryCache_.emplace();
        memoryCacheKeys_.emplace();
        memoryCacheKeys_->reserve(kCacheMemoryCost);
        cacheInvalidationParams_.emplace();
        if (!platform::FileManager::isDirectory(directory)) platform::FileManager::createDirectory(directory, true);
        if (platform::FileManager::fileExists(cachePlistPath())) {
            if (auto stored = platform::PropertyList::fromFile(cachePlistPath()); stored && stored->isDictionary())
                cacheInvalidationParams_ = *stored->dictionary();
        }
    }
    observeCacheNotifications();
}

void BKNetworkEngine::observeCacheNotifications() {
    std::weak_ptr<BKNetworkEngine> weak = weak_from_this();
    auto save = [weak](const platform::Notification&) {
        if (auto engine = weak.lock()) engine->saveCache();
    };
    auto& center = platform::NotificationCenter::defaultCenter();
    for (const char* name :
         {platform::Application::kDidReceiveMemoryWarningNotification,
          platform::Application::kDidEnterBackgroundNotification, platform::Application::kWillTerminateNotification}) {
        center.removeObserver(static_cast<const void*>(this), name);
        center.addObserver(name, save, this);
    }
}

std::optional<Data> BKNetworkEngine::cachedDataForOperation(const std::shared_ptr<BKNetworkOperation>& operation) {
    if (!operation) return std::nullopt;
    const std::string key = operation->uniqueIdentifier();
    {
        // The main thread saves under this lock while this runs on a
        // global queue.
        std::lock_guard lock(cacheMutex_);
        if (memoryCache_) {
            if (auto it = memoryCache_->find(key); it != memoryCache_->end()) return it->second;
        }
    }
    const auto path = cacheDirectoryName() / key;
    if (!platform::FileManager::fileExists(path)) return std::nullopt;
    auto data = platform::FileManager::contentsOfFile(path);
    if (data) saveCacheDataForKey(*data, key);
    return data;
}

void BKNetworkEngine::saveCacheDataForKey(const Data& data, const std::string& key) {
    std::lock_guard lock(cacheMutex_);
    if (!memoryCache_ || !memoryCacheKeys_) return;
    (*memoryCache_)[key] = data;
    std::erase(*memoryCacheKeys_, key);
    memoryCacheKeys_->insert(memoryCacheKeys_->begin(), key);
    if (memoryCacheKeys_->size() >= kCacheMemoryCost) {
        const std::string last = memoryCacheKeys_->back();
        const auto path = cacheDirectoryName() / last;
        if (!platform::FileManager::fileExists(path))
            platform::FileManager::writeData(path, (*memoryCache_)[last], true);
        memoryCacheKeys_->pop_back();
        memoryCache_->erase(last);
    }
}

void BKNetworkEngine::saveCache() {
    std::lock_guard lock(cacheMutex_);
    const auto directory = cacheDirectoryName();
    if (memoryCache_) {
        for (const auto& [key, data] : *memoryCache_) platform::FileManager::writeData(directory / key, data, true);
        memoryCache_->clear();
    }
    if (memoryCacheKeys_) memoryCacheKeys_->clear();
    if (cacheInvalidationParams_)
        platform::PropertyList::writeToFile(Value(*cacheInvalidationParams_), cachePlistPath());
}

void BKNetworkEngine::emptyCache() {
    saveCache();
    const auto directory = cacheDirectoryName();
    if (auto entries = platform::FileManager::contentsOfDirectory(directory)) {
        for (const std::string& name : *entries) platform::FileManager::removeItem(directory / name);
    }
    platform::FileManager::removeItem(cachePlistPath());
}

// ---------------------------------------------------------------------------
// Properties

Value::Dictionary BKNetworkEngine::customHeaders() const { return customHeaders_; }

BKNetworkEngine::ReachabilityBlock BKNetworkEngine::reachabilityChangedHandler() const {
    std::lock_guard lock(mutex_);
    return reachabilityChangedHandler_;
}

void BKNetworkEngine::setReachabilityChangedHandler(ReachabilityBlock handler) {
    std::lock_guard lock(mutex_);
    reachabilityChangedHandler_ = std::move(handler);
}

std::vector<std::string> BKNetworkEngine::memoryCacheKeys() const {
    std::lock_guard lock(cacheMutex_);
    return memoryCacheKeys_.value_or(std::vector<std::string>{});
}

Value::Dictionary BKNetworkEngine::cacheInvalidationParams() const {
    std::lock_guard lock(cacheMutex_);
    return cacheInvalidationParams_.value_or(Value::Dictionary{});
}

}  // namespace clipora
