#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "social/graph/Comment.h"
#include "social/graph/FBBaseClass.h"
#include "social/graph/GetPhotosDelegate.h"
#include "social/graph/Photo.h"
#include "social/graph/User.h"

namespace clipora {

class Facebook;

// The photos of one album (at most 200), read from the graph path
// "<album id>/photos". The reply must be an object whose "data" is a list
// of objects; anything else is junk data (-3).
class GetPhotos : public FBBaseClass {
public:
    GetPhotos() = default;
    static std::shared_ptr<GetPhotos> initWithDelegate(std::shared_ptr<Facebook> session,
                                                       std::weak_ptr<GetPhotosDelegate> delegate);

    void executeWithAlbumID(const std::string& albumID);

    // Converters offered to callers that read a photo's "comments" and
    // "likes" graph lists; GetPhotos does not call them itself. Rows that are
    // not objects are skipped.
    //
    // One Comment per row: the author from the row's "from" object ("id",
    // "name"), objectID "id", text "message", date "created_time" (seconds
    // since 1970). The user rows are not used.
    static std::vector<std::shared_ptr<Comment>> processCommentsUserInfo(const platform::Value::Array& comments,
                                                                         const platform::Value::Array& users);
    // For each like row, one User per user row whose "uid" equals the like's
    // "user_id" (as texts): that user's name and id, objectID the like's
    // "object_id".
    static std::vector<std::shared_ptr<User>> processLikesUserInfo(const platform::Value::Array& likes,
                                                                   const platform::Value::Array& users);

    std::shared_ptr<GetPhotosDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<GetPhotosDelegate> delegate) { delegate_ = std::move(delegate); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    std::weak_ptr<GetPhotosDelegate> delegate_;
};

}  // namespace clipora
