#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// A cookie jar. The shared one is used by every URL connection, web view
// load and request-engine request of the process, and keeps its persistent
// (non-session) cookies in "Library/Cookies/Cookies.plist" of the home
// folder, a file only its owner may read (mode 0600), rewritten after every
// change. Session cookies live in memory only.
//
// A newer cookie replaces the one with the same name, domain and path; a
// cookie that arrives already expired deletes that one instead. Expired
// cookies are never returned. At most kMaxCookiesPerDomain cookies are kept
// per domain and kMaxCookies in all; the least recently set go first.
// All operations are safe from any thread.
class HTTPCookieStorage {
public:
    // Published values of the platform's accept-policy enumeration.
    enum class AcceptPolicy {
        Always = 0,
        Never = 1,
        OnlyFromMainDocumentDomain = 2,
    };

    static constexpr std::size_t kMaxCookiesPerDomain = 50;
    static constexpr std::size_t kMaxCookies = 3000;

    // The process's jar for the current home folder (FileManager::homeDirectory()). When
    // the home folder changes (each test has its own), the next call answers
    // a jar loaded from the new home.
    static std::shared_ptr<HTTPCookieStorage> sharedHTTPCookieStorage();

    // A jar kept in `file` (loaded now when it exists), or in memory only.
    explicit HTTPCookieStorage(std::optional<std::filesystem::path> file = std::nullopt);

    HTTPCookieStorage(const HTTPCookieStorage&) = delete;
    HTTPCookieStorage& operator=(const HTTPCookieStorage&) = delete;

    // Every unexpired cookie, in the order they were first set.
    std::vector<std::shared_ptr<HTTPCookie>> cookies() const;
    // The cookies to send with a request to `url` (domain, path, secure and
    // expiry matching), longer paths first, then earlier created first.
    std::vector<std::shared_ptr<HTTPCookie>> cookiesForURL(const URL& url) const;
    // The cookies whose domain is `domain` (a leading "." ignored, any case)
    // or lies below it.
    std::vector<std::shared_ptr<HTTPCookie>> cookiesForDomain(std::string_view domain) const;

    // Stores the cookie (whatever the accept policy).
    void setCookie(const std::shared_ptr<HTTPCookie>& cookie);
    // Stores cookies a response to `url` set, as the accept policy allows:
    // OnlyFromMainDocumentDomain takes them only when `url`'s host lies in
    // the domain of the main document's host (always without a main
    // document URL).
    void setCookiesForURL(const std::vector<std::shared_ptr<HTTPCookie>>& cookies, const URL& url,
                          const std::optional<URL>& mainDocumentURL);
    // Removes the stored cookie with the same name, domain and path.
    void deleteCookie(const HTTPCookie& cookie);
    void deleteAllCookies();

    AcceptPolicy cookieAcceptPolicy() const;
    void setCookieAcceptPolicy(AcceptPolicy policy);

    // Convenience for a request to `url`: the value of its "Cookie" field,
    // or none when no cookie applies.
    std::optional<std::string> cookieHeaderForURL(const URL& url) const;

    // The file this jar is kept in, if any.
    const std::optional<std::filesystem::path>& file() const { return file_; }

private:
    void purgeExpiredLocked(Date now) const;
    void storeLocked(const std::shared_ptr<HTTPCookie>& cookie, Date now);
    void enforceLimitsLocked();
    void load();
    void saveLocked() const;

    struct Entry {
        std::shared_ptr<HTTPCookie> cookie;
        std::uint64_t lastSet = 0;  // order of the latest setting, for eviction
    };

    const std::optional<std::filesystem::path> file_;
    mutable std::mutex mutex_;
    mutable std::vector<Entry> entries_;  // in order of first setting
    AcceptPolicy policy_ = AcceptPolicy::Always;
    std::uint64_t setCounter_ = 0;
};

}  // namespace clipora::platform
