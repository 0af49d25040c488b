#include "social/graph/GetVideo.h"

#include "platform/foundation/Date.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "social/graph/GraphReply.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

namespace {

constexpr const char* kSelection =
    "SELECT vid, title, description, thumbnail_link, updated_time, owner, src, src_hq FROM video WHERE";

std::string videoQuery(const std::string& uid, std::int32_t forWho, bool isOldGen) {
    std::string restriction = isOldGen ? platform::Text::format("updated_time > %@ and", GetVideo::kOldGenCutoff) : "";
    const char* pattern = nullptr;
    switch (forWho) {
    case 0: pattern = "%@ %@ owner == %@ ORDER BY updated_time DESC LIMIT 100 "; break;
    case 1:
        pattern = "%@ %@ vid in (SELECT vid FROM video_tag WHERE subject == %@) ORDER BY updated_time DESC LIMIT 100";
        break;
    case 2:
        pattern = "%@ %@ owner in (SELECT uid2 FROM friend WHERE uid1 == %@) ORDER BY updated_time DESC LIMIT 100";
        break;
    case 3:
        pattern = "%@ %@ owner IN (SELECT page_id FROM page_fan WHERE uid == %@) ORDER BY updated_time DESC LIMIT 100";
        break;
    case 4:
        pattern = "%@ %@ owner IN (SELECT gid FROM group_member WHERE uid == %@) ORDER BY updated_time DESC LIMIT 100";
        break;
    default: return kSelection;
    }
    return platform::Text::format(pattern, kSelection, restriction, uid);
}

}  // namespace

GetVideo::~GetVideo() {
    // A late name reply must reach nobody.
    if (getFriend_) getFriend_->setDelegate({});
}

std::shared_ptr<GetVideo> GetVideo::initWithDelegate(std::shared_ptr<Facebook> session,
                                                     std::weak_ptr<GetVideoDelegate> delegate) {
    auto operation = std::make_shared<GetVideo>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

void GetVideo::executeForWhoIsOldGen(const std::string& uid, std::int32_t forWho, bool isOldGen) {
    auto self = std::static_pointer_cast<GetVideo>(shared_from_this());
    cancelRequest();
    isOldGen_ = isOldGen;
    forWho_ = forWho;
    uid_ = uid;
    if (forWho == 0) {
        getVideos();
        return;
    }
    getFriend_ = GetFriend::initWithDelegate(request(), std::weak_ptr<GetFriendDelegate>(self));
    waitingForNames_ = self;
    getFriend_->getFriendListForWhich(uid, forWho);
}

void GetVideo::gotFriendResult(const std::shared_ptr<GetFriend>& getFriend,
                               const std::optional<std::vector<std::shared_ptr<User>>>& friends) {
    // A reply of an earlier run's name query.
    if (!getFriend || getFriend != getFriend_ || !waitingForNames_) return;
    auto self = std::move(waitingForNames_);
    friendList_ = friends;
    getVideos();
}

void GetVideo::getVideos() {
    setTimeToWaitBeforeTimeout(kVideoQueryTimeout);
    const std::string query = videoQuery(uid_, forWho_, isOldGen_);
    startRequest([&query](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate("fql.query", {{"query", Value(query)}},
                                                                              "POST", std::move(delegate));
    });
}

std::optional<std::string> GetVideo::getNameByUID(const std::optional<std::string>& ownerUID) const {
    if (friendList_ && ownerUID)
        for (const auto& user : *friendList_)
            if (user && user->uid() == ownerUID) return user->name();
    return "Me";
}

void GetVideo::dropNameQuery() {
    if (!getFriend_) return;
    getFriend_->setDelegate({});
    getFriend_->cancelRequest();
}

void GetVideo::cancelRequest() {
    auto keep = weak_from_this().lock();
    FBBaseClass::cancelRequest();
    dropNameQuery();
    waitingForNames_.reset();
}

void GetVideo::didLoadResult(const std::shared_ptr<FBRequest>& request, const Value& result) {
    const Value::Array* rows = result.array();
    if (!rows) return failedWithJunkData(request);
    std::vector<std::shared_ptr<Video>> videos;
    videos.reserve(rows->size());
    for (const Value& row : *rows) {
        if (!row.isDictionary()) return failedWithJunkData(request);
        const Value* vid = row.find("vid");
        if (vid && vid->isNull()) continue;
        auto video = std::make_shared<Video>();
        video->setVideoID(GraphReply::text(vid));
        video->setOwnerUID(GraphReply::text(row, "owner"));
        video->setTitle(GraphReply::text(row, "title"));
        video->setDescriptionText(GraphReply::text(row, "description"));
        video->setThumbnailLink(GraphReply::text(row, "thumbnail_link"));
        video->setSrc(GraphReply::text(row, "src"));
        video->setSrcHD(GraphReply::text(row, "src_hq"));
        const Value* updated = row.find("updated_time");
        if (updated && updated->isNull())
            video->setUpdatedTime(platform::Date::now());
        else if (updated && (updated->isInteger() || updated->isReal()))
            video->setUpdatedTime(
                platform::Date::fromTimeIntervalSince1970(static_cast<double>(updated->longLongValue())));
        if (friendList_)
            video->setOwnerName(getNameByUID(video->ownerUID()));
        else
            video->setOwnerName("Me");
        videos.push_back(std::move(video));
    }
    setSuccess(true);
    auto self = std::static_pointer_cast<GetVideo>(shared_from_this());
    if (auto d = delegate()) d->finishGetVideoVideos(self, videos);
}

void GetVideo::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] GetVideo Failed: Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    auto self = std::static_pointer_cast<GetVideo>(shared_from_this());
    if (auto d = delegate()) d->finishGetVideoVideos(self, std::nullopt);
}

}  // namespace clipora
