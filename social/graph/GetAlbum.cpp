#include "social/graph/GetAlbum.h"

#include "platform/foundation/Date.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "social/graph/GraphReply.h"
#include "social/graph/PhotoRows.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

GetAlbum::~GetAlbum() {
    if (albumCover_) albumCover_->setDelegate({});
}

std::shared_ptr<GetAlbum> GetAlbum::initWithDelegate(std::shared_ptr<Facebook> session,
                                                     std::weak_ptr<GetAlbumDelegate> delegate) {
    auto operation = std::make_shared<GetAlbum>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void GetAlbum::execute(const std::string& uid) {
    auto self = std::static_pointer_cast<GetAlbum>(shared_from_this());
    cancelRequest();
    runHold_ = self;
    albumCover_ = GetAlbumCover::initWithDelegate(request(), std::weak_ptr<GetAlbumCoverDelegate>(self));
    albumCover_->execute(uid);
    const std::string query = platform::Text::format(
        "SELECT object_id, aid, name, description, cover_pid, size, link, modified_major FROM album WHERE owner == "
        "%@ ORDER BY modified_major DESC",
        uid);
    startRequest([&query](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate("fql.query", {{"query", Value(query)}},
                                                                              "POST", std::move(delegate));
    });
}

void GetAlbum::didLoadResult(const std::shared_ptr<FBRequest>& request, const Value& result) {
    const Value::Array* rows = PhotoRows::rowList(result);
    if (!rows) return failedWithJunkData(request);
    {
        std::lock_guard lock(myLock_);
        albumList_.insert(albumList_.end(), rows->begin(), rows->end());
    }
    processResult();
}

void GetAlbum::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] GetAlbum Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    auto self = std::static_pointer_cast<GetAlbum>(shared_from_this());
    // The run ends here: the cover reply has nothing left to join.
    dropCoverQuery();
    {
        std::lock_guard lock(myLock_);
        resetRun();
    }
    runHold_.reset();
    if (auto d = delegate()) d->gotAlbumsResult(self, std::nullopt);
}

void GetAlbum::gotAlbumCoverResult(const std::shared_ptr<GetAlbumCover>& getAlbumCover,
                                   const std::optional<Value::Array>& rows) {
    // A late reply of an earlier run's cover query.
    if (!getAlbumCover || getAlbumCover != albumCover_) return;
    auto self = std::static_pointer_cast<GetAlbum>(shared_from_this());
    if (getAlbumCover->success() && rows) {
        std::lock_guard lock(myLock_);
        albumCoverList_.insert(albumCoverList_.end(), rows->begin(), rows->end());
    }
    albumCover_->setDelegate({});
    albumCover_.reset();
    processResult();
}

void GetAlbum::processResult() {
    auto self = std::static_pointer_cast<GetAlbum>(shared_from_this());
    std::vector<std::shared_ptr<Album>> albums;
    {
        std::lock_guard lock(myLock_);
        number_ += 1;
        if (number_ != 2) return;
        albums = joinAlbums();
        resetRun();
    }
    setSuccess(true);
    runHold_.reset();
    if (auto d = delegate()) d->gotAlbumsResult(self, albums);
}

std::vector<std::shared_ptr<Album>> GetAlbum::joinAlbums() const {
    std::vector<std::shared_ptr<Album>> albums;
    for (const Value& row : albumList_) {
        std::optional<std::string> name = GraphReply::text(row, "name");
        if (!name) continue;
        auto album = std::make_shared<Album>();
        album->setName(name);
        album->setAlbumID(GraphReply::text(row, "aid"));
        album->setGraphAlbumID(GraphReply::text(row, "object_id"));
        album->setDescriptionText(GraphReply::text(row, "description").value_or(""));
        album->setSize(PhotoRows::integer(row, "size"));
        album->setLink(GraphReply::text(row, "link"));
        album->setModifiedDate(PhotoRows::secondsSince1970(row, "modified_major").value_or(platform::Date::now()));
        if (std::optional<std::string> coverPid = GraphReply::text(row, "cover_pid")) {
            for (const Value& cover : albumCoverList_) {
                if (GraphReply::text(cover, "pid") != coverPid) continue;
                album->setAlbumCoverURL(GraphReply::text(cover, "src_small"));
                break;
            }
        }
        albums.push_back(std::move(album));
    }
    return albums;
}

void GetAlbum::cancelRequest() {
    auto keep = weak_from_this().lock();
    FBBaseClass::cancelRequest();
    dropCoverQuery();
    {
        std::lock_guard lock(myLock_);
        resetRun();
    }
    runHold_.reset();
}

void GetAlbum::dropCoverQuery() {
    if (!albumCover_) return;
    auto cover = std::move(albumCover_);
    cover->setDelegate({});
    cover->cancelRequest();
}

void GetAlbum::resetRun() {
    number_ = 0;
    albumList_.clear();
    albumCoverList_.clear();
}

}  // namespace clipora
