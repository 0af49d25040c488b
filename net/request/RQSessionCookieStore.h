#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/cfnetwork/HTTPCookie.h"

namespace clipora {

// The request engine's list of the cookies it received in this process
// (the session cookies), beside the platform's shared cookie storage.
//
// Contract: safe from any thread (one recursive lock). A cookie with the
// domain, path and name of a listed one replaces it. Replacing the whole
// list first deletes the listed cookies from the shared cookie storage, so
// "clear the session" forgets them there too.
class RQSessionCookieStore {
public:
    static RQSessionCookieStore& shared();

    RQSessionCookieStore() = default;
    RQSessionCookieStore(const RQSessionCookieStore&) = delete;
    RQSessionCookieStore& operator=(const RQSessionCookieStore&) = delete;

    std::vector<std::shared_ptr<platform::HTTPCookie>> cookies();
    void setCookies(std::vector<std::shared_ptr<platform::HTTPCookie>> cookies);
    void add(const std::shared_ptr<platform::HTTPCookie>& cookie);
    // Forgets the list without touching the shared storage (tests).
    void reset();

private:
    std::recursive_mutex mutex_;
    // None until first used.
    std::optional<std::vector<std::shared_ptr<platform::HTTPCookie>>> cookies_;
};

}  // namespace clipora
