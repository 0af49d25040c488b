#include "social/graph/GetPhotos.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "social/graph/GraphReply.h"
#include "social/graph/PhotoRows.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

std::shared_ptr<GetPhotos> GetPhotos::initWithDelegate(std::shared_ptr<Facebook> session,
                                                       std::weak_ptr<GetPhotosDelegate> delegate) {
    auto operation = std::make_shared<GetPhotos>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void GetPhotos::executeWithAlbumID(const std::string& albumID) {
    const std::string path = platform::Text::format("%@/photos?limit=200", albumID);
    startRequest([&path](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithGraphPathAndDelegate(path, std::move(delegate));
    });
}

void GetPhotos::didLoadResult(const std::shared_ptr<FBRequest>& request, const Value& result) {
    const Value::Array* rows = result.isDictionary() ? PhotoRows::rowList(result.find("data")) : nullptr;
    if (!rows) return failedWithJunkData(request);
    setSuccess(true);
    std::vector<std::shared_ptr<Photo>> photos;
    photos.reserve(rows->size());
    for (const Value& row : *rows) {
        auto photo = std::make_shared<Photo>();
        photo->setCaption(GraphReply::text(row, "name").value_or(""));
        photo->setPid(GraphReply::text(row, "id"));
        photo->setSrcSmall(GraphReply::text(row, "picture"));
        photo->setSrcBig(GraphReply::text(row, "source"));
        photo->setImageHeight(PhotoRows::integer32(row, "height").value_or(0));
        photo->setImageWidth(PhotoRows::integer32(row, "width").value_or(0));
        photos.push_back(std::move(photo));
    }
    auto self = std::static_pointer_cast<GetPhotos>(shared_from_this());
    if (auto d = delegate()) d->finishGetPhotosPhotos(self, photos);
}

void GetPhotos::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    auto self = std::static_pointer_cast<GetPhotos>(shared_from_this());
    if (auto d = delegate()) d->finishGetPhotosPhotos(self, std::nullopt);
}

std::vector<std::shared_ptr<Comment>> GetPhotos::processCommentsUserInfo(const Value::Array& comments,
                                                                         const Value::Array&) {
    std::vector<std::shared_ptr<Comment>> result;
    for (const Value& row : comments) {
        if (!row.isDictionary()) continue;
        auto author = std::make_shared<User>();
        if (const Value* from = row.find("from"); from && from->isDictionary()) {
            author->setUid(GraphReply::text(*from, "id"));
            author->setName(GraphReply::text(*from, "name"));
        }
        result.push_back(Comment::initWithObjectIDTextDate(author, GraphReply::text(row, "id"),
                                                           GraphReply::text(row, "message"),
                                                           PhotoRows::secondsSince1970(row, "created_time")));
    }
    return result;
}

std::vector<std::shared_ptr<User>> GetPhotos::processLikesUserInfo(const Value::Array& likes,
                                                                   const Value::Array& users) {
    std::vector<std::shared_ptr<User>> result;
    for (const Value& like : likes) {
        if (!like.isDictionary()) continue;
        std::optional<std::string> liker = GraphReply::text(like, "user_id");
        if (!liker) continue;
        for (const Value& user : users) {
            if (!user.isDictionary() || GraphReply::text(user, "uid") != liker) continue;
            auto person = std::make_shared<User>();
            person->setName(GraphReply::text(user, "name"));
            person->setUid(liker);
            person->setObjectID(GraphReply::text(like, "object_id"));
            result.push_back(std::move(person));
        }
    }
    return result;
}

}  // namespace clipora
