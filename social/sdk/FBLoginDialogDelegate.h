#pragma once

#include <string>

#include "platform/foundation/Date.h"

namespace clipora {

// What the in-app login dialog (and the return by URL) tells the session.
class FBLoginDialogDelegate {
public:
    virtual ~FBLoginDialogDelegate() = default;

    virtual void fbDialogLoginExpirationDate(const std::string& accessToken, platform::Date expirationDate) = 0;
    virtual void fbDialogNotLogin(bool cancelled) = 0;
};

}  // namespace clipora
