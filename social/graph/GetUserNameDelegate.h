#pragma once

#include <memory>

#include "social/graph/User.h"

namespace clipora {

class GetUserName;

// Told when the user's first name, id and picture arrive, or with no user
// after a failure.
class GetUserNameDelegate {
public:
    virtual ~GetUserNameDelegate() = default;
    virtual void gotUserNameName(const std::shared_ptr<GetUserName>& getUserName,
                                 const std::shared_ptr<User>& user) = 0;
};

}  // namespace clipora
