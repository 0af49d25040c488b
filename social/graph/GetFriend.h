#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "social/graph/FBBaseClass.h"
#include "social/graph/GetFriendDelegate.h"

namespace clipora {

class Facebook;

// The names that go with owner ids: the user's friends, the pages the user
// is a fan of, or the user's groups, by one FQL query. The reply column that
// holds each entry's id is uidName ("uid", "page_id" or "gid").
class GetFriend : public FBBaseClass {
public:
    GetFriend() = default;
    static std::shared_ptr<GetFriend> initWithDelegate(std::shared_ptr<Facebook> session,
                                                       std::weak_ptr<GetFriendDelegate> delegate);

    // The user's friends, sorted by name.
    void execute(const std::string& uid);
    // By scope: 1 or 2 friends, 3 pages, 4 groups. Any other scope sends an
    // empty query (the network answers it with an error).
    void getFriendListForWhich(const std::string& uid, std::int32_t which);

    std::shared_ptr<GetFriendDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<GetFriendDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::string& uidName() const { return uidName_; }
    void setUidName(std::string uidName) { uidName_ = std::move(uidName); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    void sendQuery(const std::string& query);

    std::weak_ptr<GetFriendDelegate> delegate_;
    std::string uidName_;
};

}  // namespace clipora
