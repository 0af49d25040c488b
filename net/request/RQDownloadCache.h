#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/request/RQCacheDelegate.h"
#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

class RQHTTPRequest;

// The request engine's response cache on disk.
//
// Under its storage path it keeps two stores side by side, "SessionStore"
// (emptied whenever a cache is given the path, so it lasts one launch) and
// "PermanentStore"; a request's cacheStoragePolicy picks one (0: session).
// Each response is two files named by the URL's key: "<key>.cachedheaders",
// the response headers as a property list, and "<key>.<extension>", the
// body (inflated when it came compressed).
//
// What is stored: only complete 200 answers, never one whose Cache-Control
// carries "no-store" or "no-cache" (or whose Pragma carries "no-cache")
// while shouldRespectCacheControlHeaders() is on, and never the cookies a
// response set (Set-Cookie and Set-Cookie2 are left out of the stored
// headers). The stored Content-Length is the stored body's length, and the
// time of storing is kept as "X-RQHTTPRequest-Fetch-date".
//
// Every operation holds accessLock() (recursive: the look-ups call the path
// operations) for its work on the files and may be called from any thread. Setting up or clearing the
// folders throws platform::Exception when the file system refuses
// ("FileExistsAtCachePath", "FailedToCreateCacheDirectory",
// "FailedToTraverseCacheDirectory", "FailedToRemoveCacheFile"); failures
// while writing an entry are ignored and leave no entry behind.
class RQDownloadCache : public RQCacheDelegate, public std::enable_shared_from_this<RQDownloadCache> {
public:
    static constexpr const char* kSessionStoreName = "SessionStore";
    static constexpr const char* kPermanentStoreName = "PermanentStore";
    static constexpr const char* kHeadersExtension = "cachedheaders";
    static constexpr const char* kFetchDateHeader = "X-RQHTTPRequest-Fetch-date";

    // One cache for the process, made on first use with its storage in
    // "RQHTTPRequestCache" inside the Caches folder.
    static std::shared_ptr<RQDownloadCache> sharedCache();

    // No storage path yet; default policy 4.
    RQDownloadCache();

    std::optional<std::string> storagePath() const;
    // Empties the session store of the path held so far, keeps the new path,
    // makes its folders and empties its session store.
    void setStoragePath(const std::string& path);

    int defaultCachePolicy() const override;
    // 0 stands for the default, 4.
    void setDefaultCachePolicy(int policy);

    bool shouldRespectCacheControlHeaders() const;
    void setShouldRespectCacheControlHeaders(bool value);

    std::shared_ptr<std::recursive_mutex> accessLock() const;
    void setAccessLock(std::shared_ptr<std::recursive_mutex> lock);

    // --- RQCacheDelegate ---
    bool canUseCachedDataForRequest(RQHTTPRequest& request) override;
    // Deletes the URL's header and body files when both are found.
    void removeCachedDataForRequest(RQHTTPRequest& request) override;
    bool isCachedDataCurrentForRequest(RQHTTPRequest& request) override;
    void storeResponseForRequestMaxAge(RQHTTPRequest& request, double maxAge) override;
    std::optional<platform::HTTPHeaders> cachedResponseHeadersForURL(const platform::URL& url) override;
    std::optional<platform::Data> cachedResponseDataForURL(const platform::URL& url) override;
    // The session store's file when it exists, else the permanent store's.
    std::optional<std::string> pathToCachedResponseDataForURL(const platform::URL& url) override;
    std::optional<std::string> pathToCachedResponseHeadersForURL(const platform::URL& url) override;
    // The file in the store the request's storage policy names.
    std::optional<std::string> pathToStoreCachedResponseHeadersForRequest(RQHTTPRequest& request) override;
    std::optional<std::string> pathToStoreCachedResponseDataForRequest(RQHTTPRequest& request) override;
    void clearCachedResponsesForStoragePolicy(int storagePolicy) override;

    // Whether the response's Cache-Control and Pragma directives allow
    // keeping it: no "no-store" and no "no-cache", in any case and in any
    // place of the comma-separated list.
    static bool serverAllowsResponseCachingForRequest(RQHTTPRequest& request);
    static bool serverAllowsResponseCachingForHeaders(const platform::HTTPHeaders& headers);
    // MD5 of the URL's absolute text (one trailing "/" dropped) in 32
    // upper-case hexadecimal digits.
    static std::string keyForURL(const platform::URL& url);
    // The body file's extension: the URL path's, unless it is empty, the
    // header files' own, or not a plain run of letters and digits; then
    // "html".
    static std::string bodyExtensionForURL(const platform::URL& url);
    // "EEE, dd MMM yyyy HH:mm:ss 'GMT'" in GMT, one per thread.
    static const platform::DateFormatter& rfc1123DateFormatter();

private:
    // What the decisions read of a request, taken before the cache's lock
    // so that the lock is never held while waiting for a request's own
    // locks (a running request holds those while it asks the cache).
    struct RequestFacts;
    RequestFacts factsOf(RQHTTPRequest& request) const;

    std::optional<std::string> storeFolder(int storagePolicy) const;
    std::optional<std::string> existingFile(const platform::URL& url, const std::string& extension) const;
    std::optional<std::string> storeFile(const std::optional<platform::URL>& url, int storagePolicy,
                                         const std::string& extension) const;
    bool isCurrent(const RequestFacts& facts);
    void clearStoreFolder(const std::string& folder);

    std::shared_ptr<std::recursive_mutex> accessLock_;
    std::optional<std::string> storagePath_;
    int defaultCachePolicy_ = kAskServerIfModifiedWhenStale;
    bool shouldRespectCacheControlHeaders_ = true;
};

}  // namespace clipora
