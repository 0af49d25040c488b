#include "social/graph/NewProfilePhotos.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/foundation/Date.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "social/graph/GetPhotos.h"
#include "social/graph/GraphReply.h"
#include "social/graph/PhotoRows.h"
#include "social/json/SNJsonWriter.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"

namespace clipora {

using platform::Value;

namespace {

const std::vector<std::pair<std::string, std::string>>& queryTable() {
    static const std::vector<std::pair<std::string, std::string>> table = {
        {"profile_photo_info",
         "SELECT owner, object_id, caption, src_big, src_small, src_small_height, src_small_width FROM photo WHERE "
         "pid IN (SELECT cover_pid FROM album WHERE name = 'Profile Pictures' AND owner IN (SELECT uid2 FROM friend "
         "WHERE uid1 = me() OR uid2 = me())) AND modified >= %@ ORDER BY modified DESC"},
        {"profile_user_info", "SELECT name, uid FROM user WHERE uid IN (SELECT owner FROM #profile_photo_info)"},
        {"profile_photo_comment",
         "SELECT fromid, object_id, time, text FROM comment WHERE object_id IN (SELECT object_id FROM "
         "#profile_photo_info)"},
        {"profile_photo_like",
         "SELECT user_id, object_id FROM like WHERE object_id IN (SELECT object_id FROM #profile_photo_info)"},
        {"profile_photo_like_user_info",
         "SELECT name, uid FROM user WHERE uid IN (SELECT user_id FROM #profile_photo_like)"},
        {"profile_comment_user_info",
         "SELECT name, uid, pic_square FROM user WHERE uid IN (SELECT fromid FROM #profile_photo_comment)"},
        {"recent_photo_info",
         "SELECT owner, object_id, caption, modified, src_big, src_small, src_small_height, src_small_width FROM "
         "photo WHERE aid IN (SELECT aid FROM album WHERE modified_major >= %@ AND owner IN (SELECT uid2 FROM friend "
         "WHERE uid1 = me() OR uid2 = me())) AND created >= %@ ORDER BY created DESC"},
        {"recent_user_info", "SELECT name, uid FROM user WHERE uid IN (SELECT owner FROM #recent_photo_info)"},
        {"recent_photo_comment",
         "SELECT fromid, object_id, time, text FROM comment WHERE object_id IN (SELECT object_id FROM "
         "#recent_photo_info)"},
        {"recent_photo_like",
         "SELECT user_id, object_id FROM like WHERE object_id IN (SELECT object_id FROM #recent_photo_info)"},
        {"recent_photo_like_user_info",
         "SELECT name, uid FROM user WHERE uid IN (SELECT user_id FROM #recent_photo_like)"},
        {"recent_comment_user_info",
         "SELECT name, uid, pic_square FROM user WHERE uid IN (SELECT fromid FROM #recent_photo_comment)"},
    };
    return table;
}

bool isQueryName(const std::string& name) {
    const auto& names = NewProfilePhotos::queryNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The entries of a multiquery reply, filed by name; absent when the reply
// has an unexpected shape.
std::optional<std::map<std::string, const Value::Array*>> fileResultSets(const Value::Array& reply) {
    std::map<std::string, const Value::Array*> sets;
    for (const Value& entry : reply) {
        if (!entry.isDictionary()) return std::nullopt;
        const Value* name = entry.find("name");
        if (!name || !name->string()) return std::nullopt;
        if (!isQueryName(*name->string())) continue;
        const Value::Array* rows = PhotoRows::rowList(entry.find("fql_result_set"));
        if (!rows) return std::nullopt;
        sets[*name->string()] = rows;
    }
    return sets;
}

// The first user row whose "uid" is the same number as `owner`.
const Value* userWithId(const Value::Array& users, std::optional<std::int64_t> owner) {
    if (!owner) return nullptr;
    for (const Value& user : users)
        if (PhotoRows::integer(user, "uid") == owner) return &user;
    return nullptr;
}

// A photo of `row` owned by `user`, taking its comments and likes out of the
// working lists.
std::shared_ptr<Photo> makePhoto(const Value& row, const Value& user, std::vector<std::shared_ptr<Comment>>& comments,
                                 std::vector<std::shared_ptr<User>>& likes) {
    auto photo = std::make_shared<Photo>();
    photo->setSrcBig(GraphReply::text(row, "src_big"));
    photo->setSrcSmall(GraphReply::text(row, "src_small"));
    photo->setOwnerName(GraphReply::text(user, "name"));
    photo->setOwnerID(GraphReply::text(row, "owner"));
    photo->setObjectID(GraphReply::text(row, "object_id"));
    photo->setCaption(GraphReply::text(row, "caption"));
    photo->setImageWidth(PhotoRows::integer32(row, "src_small_width").value_or(0));
    photo->setImageHeight(PhotoRows::integer32(row, "src_small_height").value_or(0));
    if (const std::optional<std::string>& id = photo->objectID()) {
        std::vector<std::shared_ptr<Comment>> own;
        std::erase_if(comments, [&](const std::shared_ptr<Comment>& comment) {
            if (comment->objectID() != id) return false;
            own.push_back(comment);
            return true;
        });
        std::vector<std::shared_ptr<User>> liked;
        std::erase_if(likes, [&](const std::shared_ptr<User>& like) {
            if (like->objectID() != id) return false;
            liked.push_back(like);
            return true;
        });
        photo->setComments(std::move(own));
        photo->setLikes(std::move(liked));
    }
    return photo;
}

}  // namespace

std::shared_ptr<NewProfilePhotos> NewProfilePhotos::initWithDelegate(std::shared_ptr<Facebook> session,
                                                                     std::weak_ptr<NewProfilePhotosDelegate> delegate) {
    auto operation = std::make_shared<NewProfilePhotos>();
    operation->setRequest(std::move(session));
    operation->setDelegate(std::move(delegate));
    return operation;
}

const std::vector<std::string>& NewProfilePhotos::queryNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const auto& [name, query] : queryTable()) out.push_back(name);
        return out;
    }();
    return names;
}

std::string NewProfilePhotos::queriesFor(std::int64_t profileLimit, std::int64_t recentLimit) {
    SNJsonWriter writer;
    auto quoted = [&writer](const std::string& text) {
        return writer.stringWithFragment(Value(text)).value_or("\"\"");
    };
    const std::string profile = std::to_string(profileLimit);
    const std::string recent = std::to_string(recentLimit);
    std::vector<std::string> members;
    for (const auto& [name, pattern] : queryTable()) {
        std::string query = name == "profile_photo_info"  ? platform::Text::format(pattern, profile)
                            : name == "recent_photo_info" ? platform::Text::format(pattern, recent, recent)
                                                          : pattern;
        members.push_back(quoted(name) + ":" + quoted(query));
    }
    return "{" + platform::Text::join(members, ", ") + "}";
}

void NewProfilePhotos::executeFromLast(std::int32_t days) {
    cancelRequest();
    setTimeToWaitBeforeTimeout(kTimeout);
    const double now = platform::Date::now().timeIntervalSince1970();
    const auto profileLimit = static_cast<std::int64_t>(std::trunc(now - static_cast<double>(kProfilePeriod)));
    const auto recentLimit =
        static_cast<std::int64_t>(std::trunc(now - static_cast<double>(days) * static_cast<double>(kDay)));
    Value::Dictionary params{{"queries", Value(queriesFor(profileLimit, recentLimit))}};
    startRequest([&params](Facebook& session, std::weak_ptr<FBRequestDelegate> delegate) {
        return session.requestWithMethodNameAndParamsAndHttpMethodAndDelegate("fql.multiquery", params, "GET",
                                                                              std::move(delegate));
    });
}

void NewProfilePhotos::didLoadResult(const std::shared_ptr<FBRequest>& request, const Value& result) {
    const Value::Array* reply = result.array();
    if (!reply || !fileResultSets(*reply)) return failedWithJunkData(request);
    setSuccess(true);
    const std::uint64_t generation = ++generation_;
    // Held until processingDone runs (on this thread), or the run is dropped.
    processingHold_ = std::static_pointer_cast<NewProfilePhotos>(shared_from_this());
    const double now = platform::Date::now().timeIntervalSince1970();
    std::weak_ptr<NewProfilePhotos> weak = processingHold_;
    platform::Thread::detach(
        [weak, reply = *reply, now, generation] {
            Lists lists = processResults(reply, now);
            platform::Thread::performOnMainThread(
                [weak, lists = std::move(lists), generation]() mutable {
                    if (auto self = weak.lock()) self->processingDone(std::move(lists), generation);
                },
                false);
        },
        "NewProfilePhotos");
}

NewProfilePhotos::Lists NewProfilePhotos::processResults(const Value::Array& reply, double now) {
    static const Rows kNone;
    std::map<std::string, const Value::Array*> sets =
        fileResultSets(reply).value_or(std::map<std::string, const Value::Array*>{});
    auto rows = [&sets](const char* name) -> const Rows& {
        auto it = sets.find(name);
        return it == sets.end() ? kNone : *it->second;
    };
    Lists lists;
    processProfilePhotosUserInfoCommentsLikesProfilePhoto(
        rows("profile_photo_info"), rows("profile_user_info"),
        processCommentsUserInfo(rows("profile_photo_comment"), rows("profile_comment_user_info")),
        processLikesUserInfo(rows("profile_photo_like"), rows("profile_photo_like_user_info")), lists.profile);
    processRecentPhotosUserInfoCommentsLikesDayResultWeekResult(
        rows("recent_photo_info"), rows("recent_user_info"),
        processCommentsUserInfo(rows("recent_photo_comment"), rows("recent_comment_user_info")),
        processLikesUserInfo(rows("recent_photo_like"), rows("recent_photo_like_user_info")), lists.day, lists.week,
        now);
    rank(lists.day);
    rank(lists.week);
    return lists;
}

void NewProfilePhotos::processingDone(Lists lists, std::uint64_t generation) {
    if (generation != generation_ || !processingHold_) return;
    auto self = std::move(processingHold_);
    if (auto d = delegate())
        d->gotProfilePhotosProfilePhotosFromOneDayFromOneWeek(self, std::move(lists.profile), std::move(lists.day),
                                                              std::move(lists.week));
}

std::vector<std::shared_ptr<Comment>> NewProfilePhotos::processCommentsUserInfo(const Rows& comments,
                                                                                const Rows& users) {
    std::vector<std::shared_ptr<Comment>> result;
    for (const Value& row : comments) {
        std::optional<std::string> author = GraphReply::text(row, "fromid");
        if (!author) continue;
        const Value* user = nullptr;
        for (const Value& candidate : users) {
            if (GraphReply::text(candidate, "uid") == author) {
                user = &candidate;
                break;
            }
        }
        if (!user || !PhotoRows::present(*user, "name")) continue;
        auto from = std::make_shared<User>();
        from->setName(GraphReply::text(*user, "name"));
        from->setUid(author);
        from->setProfilePhotoLink(GraphReply::text(*user, "pic_square"));
        result.push_back(Comment::initWithObjectIDTextDate(from, GraphReply::text(row, "object_id"),
                                                           GraphReply::text(row, "text"),
                                                           PhotoRows::secondsSince1970(row, "time")));
    }
    return result;
}

std::vector<std::shared_ptr<User>> NewProfilePhotos::processLikesUserInfo(const Rows& likes, const Rows& users) {
    return GetPhotos::processLikesUserInfo(likes, users);
}

void NewProfilePhotos::processProfilePhotosUserInfoCommentsLikesProfilePhoto(
    const Rows& photos, const Rows& users, const std::vector<std::shared_ptr<Comment>>& comments,
    const std::vector<std::shared_ptr<User>>& likes, PhotoList& profile) {
    std::vector<std::shared_ptr<Comment>> workingComments = comments;
    std::vector<std::shared_ptr<User>> workingLikes = likes;
    for (const Value& row : photos) {
        if (!PhotoRows::present(row, "src_big")) continue;
        // The owner is looked up by id: the user query neither keeps the
        // photos' order nor repeats an owner.
        const Value* user = userWithId(users, PhotoRows::integer(row, "owner"));
        if (!user || !PhotoRows::present(*user, "name")) continue;
        profile.push_back(makePhoto(row, *user, workingComments, workingLikes));
    }
}

void NewProfilePhotos::processRecentPhotosUserInfoCommentsLikesDayResultWeekResult(
    const Rows& photos, const Rows& users, const std::vector<std::shared_ptr<Comment>>& comments,
    const std::vector<std::shared_ptr<User>>& likes, PhotoList& day, PhotoList& week, double now) {
    std::vector<std::shared_ptr<Comment>> workingComments = comments;
    std::vector<std::shared_ptr<User>> workingLikes = likes;
    const auto dayStart = static_cast<std::int64_t>(std::trunc(now - static_cast<double>(kDay)));
    for (const Value& row : photos) {
        if (!PhotoRows::present(row, "src_big")) continue;
        const Value* user = userWithId(users, PhotoRows::integer(row, "owner"));
        if (!user || !PhotoRows::present(*user, "name")) continue;
        std::shared_ptr<Photo> photo = makePhoto(row, *user, workingComments, workingLikes);
        if (photo->comments().empty() && photo->likes().empty()) continue;
        week.push_back(photo);
        std::optional<std::int64_t> modified = PhotoRows::integer(row, "modified");
        if (modified && *modified > dayStart) day.push_back(photo);
    }
}

void NewProfilePhotos::rank(PhotoList& photos) {
    std::stable_sort(photos.begin(), photos.end(),
                     [](const std::shared_ptr<Photo>& a, const std::shared_ptr<Photo>& b) {
                         return a->comments().size() + a->likes().size() > b->comments().size() + b->likes().size();
                     });
}

void NewProfilePhotos::cancelRequest() {
    auto keep = weak_from_this().lock();
    FBBaseClass::cancelRequest();
    ++generation_;
    processingHold_.reset();
}

void NewProfilePhotos::didFailWithError(const std::shared_ptr<FBRequest>&, const platform::Error& error) {
    platform::Log::format("%s [Line %d] Error(%i) %@", __PRETTY_FUNCTION__, __LINE__, error.code(),
                          error.localizedDescription());
    auto self = std::static_pointer_cast<NewProfilePhotos>(shared_from_this());
    if (auto d = delegate())
        d->gotProfilePhotosProfilePhotosFromOneDayFromOneWeek(self, std::nullopt, std::nullopt, std::nullopt);
}

}  // namespace clipora
