#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "social/graph/FBBaseClass.h"
#include "social/graph/GetFriend.h"
#include "social/graph/GetFriendDelegate.h"
#include "social/graph/GetVideoDelegate.h"
#include "social/graph/User.h"
#include "social/graph/Video.h"

namespace clipora {

class Facebook;

// The videos behind one of the five video sources, newest first, at most
// 100, by one FQL query. Scopes (forWho): 0 the user's own, 1 tagged, 2
// friends', 3 pages', 4 groups'. Scopes 1 to 4 first learn the owners' names
// through a GetFriend; a failed name query still leads to the video query,
// with every owner named "Me".
//
// One GetVideo may be run again (a refresh): the new run cancels what the
// previous one still had under way, its name query included, and no late
// reply of an earlier run reaches the delegate.
class GetVideo : public FBBaseClass, public GetFriendDelegate {
public:
    static constexpr double kVideoQueryTimeout = 300.0;
    // isOldGen keeps only videos updated after this moment (seconds since 1970).
    static constexpr const char* kOldGenCutoff = "1267946339";

    GetVideo() = default;
    ~GetVideo() override;
    static std::shared_ptr<GetVideo> initWithDelegate(std::shared_ptr<Facebook> session,
                                                      std::weak_ptr<GetVideoDelegate> delegate);

    void executeForWhoIsOldGen(const std::string& uid, std::int32_t forWho, bool isOldGen);
    // The video query itself (after the names, for scopes 1 to 4).
    void getVideos();
    // The name of the first entry of friendList with that id, or "Me" when
    // none has it.
    std::optional<std::string> getNameByUID(const std::optional<std::string>& ownerUID) const;

    // GetFriendDelegate
    void gotFriendResult(const std::shared_ptr<GetFriend>& getFriend,
                         const std::optional<std::vector<std::shared_ptr<User>>>& friends) override;

    // Also stops a name query under way.
    void cancelRequest() override;

    std::shared_ptr<GetVideoDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<GetVideoDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::optional<std::vector<std::shared_ptr<User>>>& friendList() const { return friendList_; }
    void setFriendList(std::optional<std::vector<std::shared_ptr<User>>> list) { friendList_ = std::move(list); }
    const std::string& uid() const { return uid_; }
    void setUid(std::string uid) { uid_ = std::move(uid); }
    bool isOldGen() const { return isOldGen_; }
    std::int32_t forWho() const { return forWho_; }
    const std::shared_ptr<GetFriend>& getFriend() const { return getFriend_; }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    // Detaches and cancels the name query of an earlier run.
    void dropNameQuery();

    std::weak_ptr<GetVideoDelegate> delegate_;
    std::optional<std::vector<std::shared_ptr<User>>> friendList_;
    std::string uid_;
    bool isOldGen_ = false;
    std::int32_t forWho_ = 0;
    std::shared_ptr<GetFriend> getFriend_;
    // Keeps the operation alive while only its name query runs.
    std::shared_ptr<GetVideo> waitingForNames_;
};

}  // namespace clipora
