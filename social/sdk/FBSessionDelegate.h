#pragma once

#include <string>

#include "platform/foundation/Date.h"

namespace clipora {

// What the session tells the object that keeps its token (the application
// delegate stores token and expiry in the user defaults). Every operation has
// an empty default body: a delegate overrides what it listens to.
class FBSessionDelegate {
public:
    virtual ~FBSessionDelegate() = default;

    // A token was received (login dialog or return by URL).
    virtual void fbDidLogin() {}
    // Login ended without a token; `cancelled` when the user backed out.
    virtual void fbDidNotLogin(bool cancelled) { (void)cancelled; }
    // A token extension succeeded.
    virtual void fbDidExtendTokenExpiresAt(const std::string& accessToken, platform::Date expiresAt) {
        (void)accessToken;
        (void)expiresAt;
    }
    virtual void fbDidLogout() {}
    // A request reported that the token is no longer accepted; the session
    // has already forgotten it.
    virtual void fbSessionInvalidated() {}
};

}  // namespace clipora
