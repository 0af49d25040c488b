#include "net/request/RQDownloadCache.h"

#include <cctype>
#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

#include "net/request/RQHTTPRequest.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"

namespace clipora {

using platform::Data;
using platform::Date;
using platform::FileManager;
using platform::HTTPHeaders;
using platform::Text;
using platform::URL;
using platform::Value;

namespace {

std::mutex& accessLockFieldMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / name).string();
}

// One directive of a Cache-Control or Pragma list: its name in lower case
// and its value without quotes (empty when it has none).
struct Directive {
    std::string name;
    std::string value;
};

std::vector<Directive> directives(const std::optional<std::string>& field) {
    std::vector<Directive> out;
    if (!field) return out;
    for (const auto& piece : Text::split(*field, ",")) {
        std::string item = Text::trimWhitespaceAndNewlines(piece);
        if (item.empty()) continue;
        Directive directive;
        if (auto pair = Text::splitAtFirst(item, "=")) {
            directive.name = Text::lowercase(Text::trimWhitespaceAndNewlines(pair->first));
            std::string value = Text::trimWhitespaceAndNewlines(pair->second);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            directive.value = value;
        } else {
            directive.name = Text::lowercase(item);
        }
        out.push_back(std::move(directive));
    }
    return out;
}

bool hasDirective(const std::optional<std::string>& field, std::string_view name) {
    for (const auto& directive : directives(field)) {
        if (directive.name == name) return true;
    }
    return false;
}

// Leading decimal digits; 0 when there are none.
double leadingNumber(const std::string& text) {
    double value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

// ===========================================================================
// Construction and settings
// ===========================================================================

std::shared_ptr<RQDownloadCache> RQDownloadCache::sharedCache() {
    // Never destroyed: requests on the network thread use it, also while
    // statics are destroyed at exit.
    static const std::shared_ptr<RQDownloadCache>& shared = *[] {
        auto cache = std::make_shared<RQDownloadCache>();
        cache->setStoragePath(joinPath(FileManager::cachesDirectory(), "RQHTTPRequestCache"));
        return new std::shared_ptr<RQDownloadCache>(std::move(cache));
    }();
    return shared;
}

RQDownloadCache::RQDownloadCache() : accessLock_(std::make_shared<std::recursive_mutex>()) {
    setDefaultCachePolicy(kUseDefaultCachePolicy);
}

std::shared_ptr<std::recursive_mutex> RQDownloadCache::accessLock() const {
    std::lock_guard guard(accessLockFieldMutex());
    return accessLock_;
}

void RQDownloadCache::setAccessLock(std::shared_ptr<std::recursive_mutex> lock) {
    if (!lock) lock = std::make_shared<std::recursive_mutex>();
    std::lock_guard guard(accessLockFieldMutex());
    accessLock_ = std::move(lock);
}

std::optional<std::string> RQDownloadCache::storagePath() const {
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    return storagePath_;
}

void RQDownloadCache::setStoragePath(const std::string& path) {
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    clearCachedResponsesForStoragePolicy(0);
    storagePath_ = path;
    for (const auto& folder : {path, joinPath(path, kSessionStoreName), joinPath(path, kPermanentStoreName)}) {
        if (FileManager::fileExists(folder)) {
            if (!FileManager::isDirectory(folder)) {
                throw platform::Exception(
                    "FileExistsAtCachePath",
                    Text::format("Cannot create a directory for the cache at '%@', because a file already exists",
                                 folder));
            }
            continue;
        }
        FileManager::createDirectory(folder, true);
        if (!FileManager::isDirectory(folder)) {
            throw platform::Exception("FailedToCreateCacheDirectory",
                                      Text::format("Failed to create a directory for the cache at '%@'", folder));
        }
    }
    clearCachedResponsesForStoragePolicy(0);
}

int RQDownloadCache::defaultCachePolicy() const {
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    return defaultCachePolicy_;
}

void RQDownloadCache::setDefaultCachePolicy(int policy) {
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    defaultCachePolicy_ = policy == kUseDefaultCachePolicy ? kAskServerIfModifiedWhenStale : policy;
}

bool RQDownloadCache::shouldRespectCacheControlHeaders() const {
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    return shouldRespectCacheControlHeaders_;
}

void RQDownloadCache::setShouldRespectCacheControlHeaders(bool value) {
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    shouldRespectCacheControlHeaders_ = value;
}

struct RQDownloadCache::RequestFacts {
    std::optional<URL> url;
    int policy = 0;
    int storagePolicy = 0;
    bool complete = false;
    std::optional<HTTPHeaders> responseHeaders;
    int statusCode = 0;
};

RQDownloadCache::RequestFacts RQDownloadCache::factsOf(RQHTTPRequest& request) const {
    RequestFacts facts;
    facts.url = request.url();
    facts.policy = request.cachePolicy();
    if (facts.policy == kUseDefaultCachePolicy) facts.policy = defaultCachePolicy();
    facts.storagePolicy = request.cacheStoragePolicy();
    facts.complete = request.complete();
    facts.responseHeaders = request.responseHeaders();
    facts.statusCode = request.responseStatusCode();
    return facts;
}

// ===========================================================================
// Names and paths
// ===========================================================================

std::string RQDownloadCache::keyForURL(const URL& url) {
    std::string_view text = url.absoluteString();
    if (!text.empty() && text.back() == '/') text.remove_suffix(1);
    return platform::Digest::hex(platform::Digest::md5(text), true);
}

std::string RQDownloadCache::bodyExtensionForURL(const URL& url) {
    const std::string extension = url.pathExtension();
    // The body must never land on the entry's header file, nor anywhere an
    // odd extension (a separator, a dot run, a very long text) might lead.
    if (extension.empty() || extension.size() > 16 || Text::equalsCaseInsensitive(extension, kHeadersExtension))
        return "html";
    for (unsigned char c : extension) {
        if (!std::isalnum(c)) return "html";
    }
    return extension;
}

const platform::DateFormatter& RQDownloadCache::rfc1123DateFormatter() {
    thread_local const platform::DateFormatter formatter("EEE, dd MMM yyyy HH:mm:ss 'GMT'",
                                                         platform::DateFormatter::TimeZone::utc());
    return formatter;
}

std::optional<std::string> RQDownloadCache::storeFolder(int storagePolicy) const {
    if (!storagePath_) return std::nullopt;
    return joinPath(*storagePath_, storagePolicy == 0 ? kSessionStoreName : kPermanentStoreName);
}

std::optional<std::string> RQDownloadCache::existingFile(const URL& url, const std::string& extension) const {
    if (!storagePath_) return std::nullopt;
    const std::string name = keyForURL(url) + "." + extension;
    for (int storagePolicy : {0, 1}) {
        const std::string path = joinPath(*storeFolder(storagePolicy), name);
        if (FileManager::fileExists(path)) return path;
    }
    return std::nullopt;
}

std::optional<std::string> RQDownloadCache::storeFile(const std::optional<URL>& url, int storagePolicy,
                                                      const std::string& extension) const {
    auto folder = storeFolder(storagePolicy);
    if (!url || !folder) return std::nullopt;
    return joinPath(*folder, keyForURL(*url) + "." + extension);
}

std::optional<std::string> RQDownloadCache::pathToCachedResponseHeadersForURL(const URL& url) {
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    return existingFile(url, kHeadersExtension);
}

std::optional<std::string> RQDownloadCache::pathToCachedResponseDataForURL(const URL& url) {
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    return existingFile(url, bodyExtensionForURL(url));
}

std::optional<std::string> RQDownloadCache::pathToStoreCachedResponseHeadersForRequest(RQHTTPRequest& request) {
    auto url = request.url();
    const int storagePolicy = request.cacheStoragePolicy();
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    return storeFile(url, storagePolicy, kHeadersExtension);
}

std::optional<std::string> RQDownloadCache::pathToStoreCachedResponseDataForRequest(RQHTTPRequest& request) {
    auto url = request.url();
    const int storagePolicy = request.cacheStoragePolicy();
    if (!url) return std::nullopt;
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    return storeFile(url, storagePolicy, bodyExtensionForURL(*url));
}

// ===========================================================================
// Look-ups
// ===========================================================================

std::optional<HTTPHeaders> RQDownloadCache::cachedResponseHeadersForURL(const URL& url) {
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    auto path = pathToCachedResponseHeadersForURL(url);
    if (!path) return std::nullopt;
    auto list = platform::PropertyList::fromFile(*path);
    if (!list || !list->isDictionary()) return std::nullopt;
    HTTPHeaders headers;
    for (const auto& [name, value] : *list->dictionary()) {
        if (const std::string* text = value.string()) headers.set(name, *text);
    }
    return headers;
}

std::optional<Data> RQDownloadCache::cachedResponseDataForURL(const URL& url) {
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    auto path = pathToCachedResponseDataForURL(url);
    if (!path) return std::nullopt;
    return FileManager::contentsOfFile(*path);
}

// ===========================================================================
// Storing and removing
// ===========================================================================

bool RQDownloadCache::serverAllowsResponseCachingForHeaders(const HTTPHeaders& headers) {
    const auto cacheControl = headers.value("Cache-Control");
    if (hasDirective(cacheControl, "no-store") || hasDirective(cacheControl, "no-cache")) return false;
    if (hasDirective(headers.value("Pragma"), "no-cache")) return false;
    return true;
}

bool RQDownloadCache::serverAllowsResponseCachingForRequest(RQHTTPRequest& request) {
    auto headers = request.responseHeaders();
    return !headers || serverAllowsResponseCachingForHeaders(*headers);
}

void RQDownloadCache::storeResponseForRequestMaxAge(RQHTTPRequest& request, double maxAge) {
    const RequestFacts facts = factsOf(request);
    if (request.error() || !facts.responseHeaders || facts.statusCode != 200 || !facts.url) return;
    if (facts.policy & kDoNotWriteToCache) return;
    const std::string downloaded = request.downloadDestinationPath();
    const bool compressed = request.isResponseCompressed();
    std::optional<Data> body;
    if (downloaded.empty()) body = request.responseData();

    auto lock = accessLock();
    std::lock_guard guard(*lock);
    if (shouldRespectCacheControlHeaders_ && !serverAllowsResponseCachingForHeaders(*facts.responseHeaders)) return;
    auto headersPath = storeFile(facts.url, facts.storagePolicy, kHeadersExtension);
    auto dataPath = storeFile(facts.url, facts.storagePolicy, bodyExtensionForURL(*facts.url));
    if (!headersPath || !dataPath) return;

    // The body first: headers without their body would be no entry, but an
    // old body beside new headers would be a wrong one.
    std::optional<std::uint64_t> bodyLength;
    if (downloaded.empty()) {
        if (body && FileManager::writeData(*dataPath, *body, false)) bodyLength = body->size();
    } else if (downloaded == *dataPath) {
        bodyLength = FileManager::fileSize(*dataPath);
    } else {
        if (FileManager::fileExists(*dataPath)) FileManager::removeItem(*dataPath);
        if (FileManager::copyItem(downloaded, *dataPath)) bodyLength = FileManager::fileSize(*dataPath);
    }
    if (!bodyLength) {
        if (FileManager::fileExists(*dataPath) && downloaded != *dataPath) FileManager::removeItem(*dataPath);
        if (FileManager::fileExists(*headersPath)) FileManager::removeItem(*headersPath);
        return;
    }

    HTTPHeaders stored = *facts.responseHeaders;
    // The body is kept inflated.
    if (compressed) stored.remove("Content-Encoding");
    // Cookies belong in the cookie store, not in plain cache files; and how
    // the body travelled says nothing about the stored one.
    stored.remove("Set-Cookie");
    stored.remove("Set-Cookie2");
    stored.remove("Transfer-Encoding");
    if (maxAge != 0) {
        stored.remove("Expires");
        stored.set("Cache-Control", Text::format("max-age=%i", static_cast<int>(maxAge)));
    }
    stored.set("Content-Length", std::to_string(*bodyLength));
    stored.set(kFetchDateHeader, rfc1123DateFormatter().stringFromDate(Date::now()));

    Value::Dictionary list;
    for (const auto& [name, value] : stored.joined()) list[name] = value;
    if (!platform::PropertyList::writeToFile(Value(std::move(list)), *headersPath)) {
        if (downloaded != *dataPath) FileManager::removeItem(*dataPath);
    }
}

void RQDownloadCache::removeCachedDataForRequest(RQHTTPRequest& request) {
    auto url = request.url();
    if (!url) return;
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    auto headersPath = pathToCachedResponseHeadersForURL(*url);
    auto dataPath = pathToCachedResponseDataForURL(*url);
    if (!headersPath || !dataPath) return;
    FileManager::removeItem(*headersPath);
    FileManager::removeItem(*dataPath);
}

void RQDownloadCache::clearStoreFolder(const std::string& folder) {
    std::optional<platform::Error> failure;
    auto names = FileManager::contentsOfDirectory(folder, &failure);
    if (!names) {
        throw platform::Exception("FailedToTraverseCacheDirectory",
                                  Text::format("Listing cache directory failed at path '%@'", folder));
    }
    for (const auto& name : *names) {
        if (!FileManager::removeItem(joinPath(folder, name))) {
            throw platform::Exception("FailedToRemoveCacheFile",
                                      Text::format("Failed to remove cached data at path '%@'", folder));
        }
    }
}

void RQDownloadCache::clearCachedResponsesForStoragePolicy(int storagePolicy) {
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    auto folder = storeFolder(storagePolicy);
    if (!folder || !FileManager::isDirectory(*folder)) return;
    clearStoreFolder(*folder);
}

// ===========================================================================
// Decisions
// ===========================================================================

bool RQDownloadCache::isCachedDataCurrentForRequest(RQHTTPRequest& request) {
    const RequestFacts facts = factsOf(request);
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    return isCurrent(facts);
}

bool RQDownloadCache::isCurrent(const RequestFacts& facts) {
    if (!storagePath_ || !facts.url) return false;
    auto cached = cachedResponseHeadersForURL(*facts.url);
    if (!cached || !pathToCachedResponseDataForURL(*facts.url)) return false;

    if (facts.responseHeaders) {
        if (facts.statusCode == 304) return true;
        for (const char* validator : {"Etag", "Last-Modified"}) {
            auto theirs = facts.responseHeaders->value(validator);
            auto ours = cached->value(validator);
            if (!theirs || !ours || *theirs != *ours) return false;
        }
    }
    if (!shouldRespectCacheControlHeaders_) return true;

    for (const auto& directive : directives(cached->value("Cache-Control"))) {
        if (directive.name != "max-age") continue;
        const double maxAge = leadingNumber(directive.value);
        // A fetch date that cannot be read makes the entry stale.
        auto fetched = RQHTTPRequest::dateFromRFC1123String(cached->value(kFetchDateHeader).value_or(""));
        if (!fetched) return false;
        return fetched->addingTimeInterval(maxAge) >= Date::now();
    }
    if (auto expires = cached->value("Expires")) {
        auto date = RQHTTPRequest::dateFromRFC1123String(*expires);
        if (!date) return false;
        return *date >= Date::now();
    }
    return false;
}

bool RQDownloadCache::canUseCachedDataForRequest(RQHTTPRequest& request) {
    const RequestFacts facts = factsOf(request);
    auto lock = accessLock();
    std::lock_guard guard(*lock);
    if (facts.policy & kDoNotReadFromCache) return false;
    if (facts.policy & kDontLoad) return true;
    if (!facts.url || !cachedResponseHeadersForURL(*facts.url) || !pathToCachedResponseDataForURL(*facts.url))
        return false;
    if (facts.policy & kOnlyLoadIfNotCached) return true;
    if (facts.complete && (facts.policy & kFallbackToCacheIfLoadFails)) return true;
    if ((facts.policy & kAskServerIfModifiedWhenStale) ||
        ((facts.policy & kAskServerIfModified) && facts.responseHeaders)) {
        return isCurrent(facts);
    }
    return false;
}

}  // namespace clipora
