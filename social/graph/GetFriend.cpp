#include "social/graph/GetFriend.h"

#include <vector>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "social/graph/GraphReply.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

std::shared_ptr<GetFriend> GetFriend::initWithDelegate(std::shared_ptr<Facebook> session,
                                                       std::weak_ptr<GetFriendDelegate> delegate) {
    auto operation = std::make_shared<GetFriend>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void GetFriend::execute(const std::string& uid) {
    uidName_ = "uid";
    sendQuery(platform::Text::format(
        "SELECT uid, name FROM user WHERE uid in (SELECT uid2 FROM friend WHERE uid1 == %@) ORDER BY name ASC", uid));
}

void GetFriend::getFriendListForWhich(const std::string& uid, std::int32_t which) {
    std::string query;
    switch (which) {
    case 1:
    case 2:
        uidName_ = "uid";
        query = platform::Text::format(
            "SELECT uid, name FROM user WHERE uid in (SELECT uid2 FROM friend WHERE uid1 == %@)", uid);
        break;
    case 3:
        uidName_ = "page_id";
        query = platform::Text::format(
            "SELECT page_id, name FROM page WHERE page_id in (SELECT page_id FROM page_fan WHERE uid == %@)", uid);
        break;
    case 4:
        uidName_ = "gid";
        query = platform::Text::format(
            "SELECT gid, name FROM group WHERE gid in (SELECT gid FROM group_member WHERE uid == %@)", uid);
        break;
    default: break;
    }
    sendQuery(query);
}

void GetFriend::sendQuery(const std::string& query) {
    startRequest([&query](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate("fql.query", {{"query", Value(query)}},
                                                                              "POST", std::move(delegate));
    });
}

void GetFriend::didLoadResult(const std::shared_ptr<FBRequest>& request, const Value& result) {
    const Value::Array* rows = result.array();
    if (!rows) return failedWithJunkData(request);
    std::vector<std::shared_ptr<User>> friends;
    friends.reserve(rows->size());
    for (const Value& row : *rows) {
        if (!row.isDictionary()) return failedWithJunkData(request);
        auto user = std::make_shared<User>();
        user->setUid(GraphReply::text(row, uidName_));
        user->setName(GraphReply::text(row, "name"));
        friends.push_back(std::move(user));
    }
    setSuccess(true);
    auto self = std::static_pointer_cast<GetFriend>(shared_from_this());
    if (auto d = delegate()) d->gotFriendResult(self, friends);
}

void GetFriend::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] GetFriend Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    auto self = std::static_pointer_cast<GetFriend>(shared_from_this());
    if (auto d = delegate()) d->gotFriendResult(self, std::nullopt);
}

}  // namespace clipora
