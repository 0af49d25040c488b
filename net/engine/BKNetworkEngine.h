#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/engine/BKNetworkOperation.h"
#include "net/reachability/Reachability.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Image.h"

namespace clipora {

// Makes and runs the block-based toolkit's operations, for one host or for
// full URLs. Every engine shares one process-wide operation queue, six wide
// while the network is Wi-Fi and two wide on a cellular network. An engine
// with a host name watches that host's reachability and freezes its
// freezable operations to the cache folder when the host goes away (thawing
// them when it comes back). An engine can also keep a response cache of GET
// bodies in memory and in files.
//
// Enqueueing returns at once: the cache lookup runs on a global queue, and
// the queue insertion, the delivery of a cached body and the merging of
// equal operations happen afterwards on the main queue.
class BKNetworkEngine : public platform::Object, public std::enable_shared_from_this<BKNetworkEngine> {
public:
    using ReachabilityBlock = std::function<void(ReachabilityStatus status)>;
    using ImageBlock =
        std::function<void(const std::shared_ptr<platform::Image>& image, const platform::URL& url, bool isInCache)>;
    // Makes the bare operations of an engine (see registerOperationSubclass).
    using OperationFactory = std::function<std::shared_ptr<BKNetworkOperation>()>;

    static constexpr const char* kOperationCountChangedNotification = "kBKNetworkEngineOperationCountChanged";
    static constexpr const char* kCacheDirectoryName = "BKNetworkCache";
    static constexpr std::size_t kCacheMemoryCost = 10;
    static constexpr int kWiFiQueueWidth = 6;
    static constexpr int kCellularQueueWidth = 2;

    // Creates the shared queue once per process (six wide) and watches its
    // operation count.
    static void initialize();
    // The shared queue (created on first use).
    static std::shared_ptr<platform::OperationQueue> sharedOperationQueue();

    // An engine for `hostName` (watched for reachability) or, without one,
    // for full URLs. "User-Agent" is "<bundle name>/<bundle version>" unless
    // the headers given name one.
    static std::shared_ptr<BKNetworkEngine> initWithHostNameCustomHeaderFields(
        const std::optional<std::string>& hostName,
        const std::optional<platform::Value::Dictionary>& headers = std::nullopt);

    ~BKNetworkEngine() override;

    // Operations of this engine are made by `factory` (a subclass of
    // BKNetworkOperation); registerOperationSubclass<T>() for a class T.
    void registerOperationFactory(OperationFactory factory);
    template <class T>
    void registerOperationSubclass() {
        registerOperationFactory([] { return std::make_shared<T>(); });
    }

    // --- Operations (returned to the caller, not enqueued) ---
    std::shared_ptr<BKNetworkOperation> operationWithPath(const std::string& path);
    std::shared_ptr<BKNetworkOperation> operationWithPathParams(
        const std::string& path, const std::optional<platform::Value::Dictionary>& params);
    std::shared_ptr<BKNetworkOperation> operationWithPathParamsHttpMethod(
        const std::string& path, const std::optional<platform::Value::Dictionary>& params, const std::string& method);
    // "https://host/path" with `ssl`, else "http://host/path".
    std::shared_ptr<BKNetworkOperation> operationWithPathParamsHttpMethodSsl(
        const std::string& path, const std::optional<platform::Value::Dictionary>& params, const std::string& method,
        bool ssl);
    std::shared_ptr<BKNetworkOperation> operationWithURLString(const std::string& urlString);
    std::shared_ptr<BKNetworkOperation> operationWithURLStringParams(
        const std::string& urlString, const std::optional<platform::Value::Dictionary>& params);
    std::shared_ptr<BKNetworkOperation> operationWithURLStringParamsHttpMethod(
        const std::string& urlString, const std::optional<platform::Value::Dictionary>& params,
        const std::string& method);
    void prepareHeaders(const std::shared_ptr<BKNetworkOperation>& operation);

    void enqueueOperation(const std::shared_ptr<BKNetworkOperation>& operation) {
        enqueueOperationForceReload(operation, false);
    }
    void enqueueOperationForceReload(const std::shared_ptr<BKNetworkOperation>& operation, bool forceReload);
    // A GET for the URL whose completion hands the decoded image to `block`;
    // null without a URL.
    std::shared_ptr<BKNetworkOperation> imageAtURLOnCompletion(const std::optional<platform::URL>& url,
                                                               ImageBlock block);

    // --- Network state ---
    // The host's status is not "unreachable"; NO without a host name.
    bool isReachable() const;
    // On the main thread, after any monitor's change: sizes the shared queue
    // by this engine's own status and freezes or thaws operations.
    void reachabilityChanged();
    void freezeOperations();
    void checkAndRestoreFrozenOperations();

    // --- Cache ---
    static std::filesystem::path cacheDirectoryName();
    static std::size_t cacheMemoryCost() { return kCacheMemoryCost; }
    // Something exists at the cache folder.
    bool isCacheEnabled() const;
    void useCache();
    // The cached body of the operation, from memory or from its file.
    std::optional<platform::Data> cachedDataForOperation(const std::shared_ptr<BKNetworkOperation>& operation);
    void saveCacheDataForKey(const platform::Data& data, const std::string& key);
    // Writes the memory level to files and the cache headers to the plist.
    void saveCache();
    void emptyCache();

    // --- Properties ---
    std::optional<std::string> readonlyHostName() const { return hostName_; }
    const std::shared_ptr<Reachability>& reachability() const { return reachability_; }
    platform::Value::Dictionary customHeaders() const;
    ReachabilityBlock reachabilityChangedHandler() const;
    void setReachabilityChangedHandler(ReachabilityBlock handler);
    // Copies, for tests and diagnostics.
    std::vector<std::string> memoryCacheKeys() const;
    platform::Value::Dictionary cacheInvalidationParams() const;

    struct Passkey {
    private:
        friend class BKNetworkEngine;
        friend class VideoDownloader;
        Passkey() = default;
    };
    explicit BKNetworkEngine(Passkey);

protected:
    void setUp(const std::optional<std::string>& hostName, const std::optional<platform::Value::Dictionary>& headers);

private:
    std::filesystem::path frozenOperationPath(const std::string& uniqueIdentifier) const;
    void observeCacheNotifications();

    std::optional<std::string> hostName_;
    std::shared_ptr<Reachability> reachability_;
    platform::Value::Dictionary customHeaders_;
    OperationFactory operationFactory_;

    // The cache, guarded by the engine's lock (the main thread saves, the
    // global queue reads).
    mutable std::mutex cacheMutex_;
    std::optional<std::map<std::string, platform::Data>> memoryCache_;
    std::optional<std::vector<std::string>> memoryCacheKeys_;
    std::optional<platform::Value::Dictionary> cacheInvalidationParams_;

    mutable std::mutex mutex_;
    ReachabilityBlock reachabilityChangedHandler_;
};

}  // namespace clipora
