#pragma once

#include <optional>
#include <string>

#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

class RQHTTPRequest;

// How a request talks to a response cache. Policy bits (a request's
// cachePolicy and a cache's defaultCachePolicy): 1 never read, 2 never
// write, 4 use fresh data else revalidate, 8 always revalidate, 16 use any
// stored data, 32 never load from the network, 64 fall back to stored data
// after a failed load. Storage policy: 0 session store, else permanent.
class RQCacheDelegate {
public:
    enum Policy : int {
        kUseDefaultCachePolicy = 0,
        kDoNotReadFromCache = 1,
        kDoNotWriteToCache = 2,
        kAskServerIfModifiedWhenStale = 4,
        kAskServerIfModified = 8,
        kOnlyLoadIfNotCached = 16,
        kDontLoad = 32,
        kFallbackToCacheIfLoadFails = 64,
    };

    virtual ~RQCacheDelegate() = default;

    virtual int defaultCachePolicy() const = 0;
    virtual bool canUseCachedDataForRequest(RQHTTPRequest& request) = 0;
    virtual void removeCachedDataForRequest(RQHTTPRequest& request) = 0;
    virtual bool isCachedDataCurrentForRequest(RQHTTPRequest& request) = 0;
    // maxAge in seconds, 0 for none.
    virtual void storeResponseForRequestMaxAge(RQHTTPRequest& request, double maxAge) = 0;
    virtual std::optional<platform::HTTPHeaders> cachedResponseHeadersForURL(const platform::URL& url) = 0;
    virtual std::optional<platform::Data> cachedResponseDataForURL(const platform::URL& url) = 0;
    virtual std::optional<std::string> pathToCachedResponseDataForURL(const platform::URL& url) = 0;
    virtual std::optional<std::string> pathToCachedResponseHeadersForURL(const platform::URL& url) = 0;
    virtual std::optional<std::string> pathToStoreCachedResponseHeadersForRequest(RQHTTPRequest& request) = 0;
    virtual std::optional<std::string> pathToStoreCachedResponseDataForRequest(RQHTTPRequest& request) = 0;
    virtual void clearCachedResponsesForStoragePolicy(int storagePolicy) = 0;
};

}  // namespace clipora
