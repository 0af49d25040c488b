#include "net/request/RQSessionCookieStore.h"

#include <algorithm>

#include "platform/cfnetwork/HTTPCookieStorage.h"

namespace clipora {

RQSessionCookieStore& RQSessionCookieStore::shared() {
    // Never destroyed: the network thread may still use it while the
    // process exits.
    static RQSessionCookieStore* store = new RQSessionCookieStore;
    return *store;
}

std::vector<std::shared_ptr<platform::HTTPCookie>> RQSessionCookieStore::cookies() {
    std::lock_guard lock(mutex_);
    if (!cookies_) setCookies({});
    return *cookies_;
}

void RQSessionCookieStore::setCookies(std::vector<std::shared_ptr<platform::HTTPCookie>> cookies) {
    std::lock_guard lock(mutex_);
    if (cookies_) {
        auto storage = platform::HTTPCookieStorage::sharedHTTPCookieStorage();
        for (const auto& cookie : *cookies_) storage->deleteCookie(*cookie);
    }
    cookies_ = std::move(cookies);
}

void RQSessionCookieStore::add(const std::shared_ptr<platform::HTTPCookie>& cookie) {
    std::lock_guard lock(mutex_);
    if (!cookies_) cookies_.emplace();
    auto& list = *cookies_;
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& c) {
        return c->domain() == cookie->domain() && c->path() == cookie->path() && c->name() == cookie->name();
    });
    if (it != list.end()) list.erase(it);
    list.push_back(cookie);
}

void RQSessionCookieStore::reset() {
    std::lock_guard lock(mutex_);
    cookies_.reset();
}

}  // namespace clipora
