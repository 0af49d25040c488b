#include "platform/cfnetwork/HTTPCookieStorage.h"

#include <algorithm>
#include <map>
#include <utility>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

std::filesystem::path sharedCookieFile() {
    return std::filesystem::path(FileManager::libraryDirectory()) / "Cookies" / "Cookies.plist";
}

// The bare domain a cookie counts under for the per-domain limit.
std::string bareDomain(const HTTPCookie& cookie) {
    std::string domain = Text::lowercase(cookie.domain());
    if (!domain.empty() && domain.front() == '.') domain.erase(0, 1);
    return domain;
}

bool hostInDomain(std::string_view host, std::string_view domain) {
    std::string h = Text::lowercase(host);
    std::string d = Text::lowercase(domain);
    if (!d.empty() && d.front() == '.') d.erase(0, 1);
    return h == d || (h.size() > d.size() && Text::hasSuffix(h, "." + d));
}

}  // namespace

std::shared_ptr<HTTPCookieStorage> HTTPCookieStorage::sharedHTTPCookieStorage() {
    // Never destroyed: URL loading on background threads (queue workers,
    // the request engine's network thread) reaches it, also while statics
    // are destroyed at exit.
    static std::mutex& mutex = *new std::mutex;
    static std::shared_ptr<HTTPCookieStorage>& shared = *new std::shared_ptr<HTTPCookieStorage>;
    std::filesystem::path file = sharedCookieFile();
    std::lock_guard lock(mutex);
    if (!shared || shared->file() != file) shared = std::make_shared<HTTPCookieStorage>(file);
    return shared;
}

HTTPCookieStorage::HTTPCookieStorage(std::optional<std::filesystem::path> file) : file_(std::move(file)) { load(); }

void HTTPCookieStorage::purgeExpiredLocked(Date now) const {
    bool persistentGone = false;
    auto expired = [&](const Entry& entry) {
        if (!entry.cookie->isExpired(now)) return false;
        persistentGone = true;
        return true;
    };
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), expired), entries_.end());
    if (persistentGone) saveLocked();
}

std::vector<std::shared_ptr<HTTPCookie>> HTTPCookieStorage::cookies() const {
    std::lock_guard lock(mutex_);
    purgeExpiredLocked(Date::now());
    std::vector<std::shared_ptr<HTTPCookie>> result;
    for (const Entry& entry : entries_) result.push_back(entry.cookie);
    return result;
}

std::vector<std::shared_ptr<HTTPCookie>> HTTPCookieStorage::cookiesForURL(const URL& url) const {
    std::vector<std::shared_ptr<HTTPCookie>> result;
    {
        std::lock_guard lock(mutex_);
        purgeExpiredLocked(Date::now());
        for (const Entry& entry : entries_)
            if (entry.cookie->matchesURL(url)) result.push_back(entry.cookie);
    }
    std::stable_sort(result.begin(), result.end(), [](const auto& a, const auto& b) {
        if (a->path().size() != b->path().size()) return a->path().size() > b->path().size();
        return a->created() < b->created();
    });
    return result;
}

std::vector<std::shared_ptr<HTTPCookie>> HTTPCookieStorage::cookiesForDomain(std::string_view domain) const {
    std::lock_guard lock(mutex_);
    purgeExpiredLocked(Date::now());
    std::vector<std::shared_ptr<HTTPCookie>> result;
    for (const Entry& entry : entries_)
        if (hostInDomain(bareDomain(*entry.cookie), domain)) result.push_back(entry.cookie);
    return result;
}

std::optional<std::string> HTTPCookieStorage::cookieHeaderForURL(const URL& url) const {
    auto cookies = cookiesForURL(url);
    if (cookies.empty()) return std::nullopt;
    return HTTPCookie::cookieHeaderValue(cookies);
}

void HTTPCookieStorage::storeLocked(const std::shared_ptr<HTTPCookie>& cookie, Date now) {
    auto existing = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const Entry& entry) { return entry.cookie->hasSameIdentity(*cookie); });
    if (cookie->isExpired(now)) {
        if (existing != entries_.end()) entries_.erase(existing);
        return;
    }
    if (existing != entries_.end()) {
        // The replacement keeps the creation date of the cookie it replaces,
        // so the order of sending stays stable.
        existing->cookie = cookie->withCreated(existing->cookie->created());
        existing->lastSet = ++setCounter_;
    } else {
        entries_.push_back({cookie, ++setCounter_});
    }
}

void HTTPCookieStorage::enforceLimitsLocked() {
    auto evictOldest = [&](auto&& belongs) {
        auto oldest = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (belongs(*it) && (oldest == entries_.end() || it->lastSet < oldest->lastSet)) oldest = it;
        if (oldest != entries_.end()) entries_.erase(oldest);
    };
    std::map<std::string, std::size_t> perDomain;
    for (const Entry& entry : entries_) ++perDomain[bareDomain(*entry.cookie)];
    for (auto& [domain, count] : perDomain) {
        for (; count > kMaxCookiesPerDomain; --count)
            evictOldest([&, d = domain](const Entry& entry) { return bareDomain(*entry.cookie) == d; });
    }
    while (entries_.size() > kMaxCookies) evictOldest([](const Entry&) { return true; });
}

void HTTPCookieStorage::setCookie(const std::shared_ptr<HTTPCookie>& cookie) {
    if (!cookie) return;
    std::lock_guard lock(mutex_);
    storeLocked(cookie, Date::now());
    enforceLimitsLocked();
    saveLocked();
}

void HTTPCookieStorage::setCookiesForURL(const std::vector<std::shared_ptr<HTTPCookie>>& cookies, const URL& url,
                                         const std::optional<URL>& mainDocumentURL) {
    std::lock_guard lock(mutex_);
    if (policy_ == AcceptPolicy::Never) return;
    if (policy_ == AcceptPolicy::OnlyFromMainDocumentDomain && mainDocumentURL) {
        // The main document's registrable part: its host without the first
        // label when it has more than two.
        std::string mainHost = Text::lowercase(mainDocumentURL->host());
        auto labels = Text::split(mainHost, ".");
        std::string domain = labels.size() > 2 ? mainHost.substr(mainHost.find('.') + 1) : mainHost;
        if (!hostInDomain(url.host(), domain)) return;
    }
    const Date now = Date::now();
    for (const auto& cookie : cookies)
        if (cookie) storeLocked(cookie, now);
    enforceLimitsLocked();
    saveLocked();
}

void HTTPCookieStorage::deleteCookie(const HTTPCookie& cookie) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& entry) { return entry.cookie->hasSameIdentity(cookie); });
    if (it == entries_.end()) return;
    entries_.erase(it);
    saveLocked();
}

void HTTPCookieStorage::deleteAllCookies() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    saveLocked();
}

HTTPCookieStorage::AcceptPolicy HTTPCookieStorage::cookieAcceptPolicy() const {
    std::lock_guard lock(mutex_);
    return policy_;
}

void HTTPCookieStorage::setCookieAcceptPolicy(AcceptPolicy policy) {
    std::lock_guard lock(mutex_);
    policy_ = policy;
}

void HTTPCookieStorage::load() {
    if (!file_ || !FileManager::fileExists(*file_)) return;
    auto bytes = FileManager::contentsOfFile(*file_);
    std::optional<Value> root = bytes ? PropertyList::fromData(*bytes) : std::nullopt;
    if (!root || !root->isArray()) {
        Log::write("Cookie storage: ignoring unreadable cookie file");
        return;
    }
    const Date now = Date::now();
    for (const Value& item : *root->array()) {
        const Value::Dictionary* properties = item.dictionary();
        if (!properties) continue;
        auto cookie = HTTPCookie::cookieWithProperties(*properties);
        if (cookie && !cookie->isSessionOnly() && !cookie->isExpired(now)) entries_.push_back({cookie, ++setCounter_});
    }
}

void HTTPCookieStorage::saveLocked() const {
    if (!file_) return;
    Value::Array items;
    for (const Entry& entry : entries_)
        if (!entry.cookie->isSessionOnly()) items.emplace_back(entry.cookie->properties());
    if (items.empty() && !FileManager::fileExists(*file_)) return;
    auto data = PropertyList::toData(Value(std::move(items)), PropertyList::Format::Binary);
    std::optional<Error> error;
    FileManager::createDirectory(file_->parent_path(), true);
    if (!data || !FileManager::writePrivateData(*file_, *data, &error))
        Log::write("Cookie storage: could not write the cookie file" +
                   (error ? ": " + error->localizedDescription() : std::string()));
}

}  // namespace clipora::platform
