#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "social/graph/User.h"

namespace clipora {

class GetFriend;

// Told when a GetFriend run ends: the list of names (friends, pages or
// groups), or absent after a failure (read the operation's success and error).
class GetFriendDelegate {
public:
    virtual ~GetFriendDelegate() = default;
    virtual void gotFriendResult(const std::shared_ptr<GetFriend>& getFriend,
                                 const std::optional<std::vector<std::shared_ptr<User>>>& friends) = 0;
};

}  // namespace clipora
