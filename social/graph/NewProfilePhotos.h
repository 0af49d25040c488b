#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "social/graph/Comment.h"
#include "social/graph/FBBaseClass.h"
#include "social/graph/NewProfilePhotosDelegate.h"
#include "social/graph/Photo.h"
#include "social/graph/User.h"

namespace clipora {

class Facebook;

// The friends' new profile pictures (last 14 days) and their recently added
// photos that drew comments or likes, by one "fql.multiquery" of twelve
// named queries (GET, watchdog 120 s). The reply is converted on a
// background thread into Photo records with their Comment and User lists;
// the recent photos are ranked by comments plus likes; the three lists reach
// the delegate on the main thread.
//
// The reply must be a list of objects, each entry of a known name carrying a
// list of objects as its "fql_result_set"; anything else is junk data (-3),
// found on the main thread before success is set. A result set missing from
// the reply counts as empty. The operation keeps itself alive until the
// lists are delivered; a new run or cancelRequest() drops the delivery of a
// conversion still under way.
class NewProfilePhotos : public FBBaseClass {
public:
    using Rows = platform::Value::Array;
    using PhotoList = std::vector<std::shared_ptr<Photo>>;

    static constexpr double kTimeout = 120.0;
    static constexpr std::int64_t kProfilePeriod = 1209600;  // 14 days
    static constexpr std::int64_t kDay = 86400;

    NewProfilePhotos() = default;
    static std::shared_ptr<NewProfilePhotos> initWithDelegate(std::shared_ptr<Facebook> session,
                                                              std::weak_ptr<NewProfilePhotosDelegate> delegate);

    // Recent photos of the last `days` days.
    void executeFromLast(std::int32_t days);
    // The "queries" parameter for these limits (seconds since 1970).
    static std::string queriesFor(std::int64_t profileLimit, std::int64_t recentLimit);
    // The twelve query names in the order they are sent.
    static const std::vector<std::string>& queryNames();

    // Converts a checked reply (any thread); `now` is seconds since 1970.
    struct Lists {
        PhotoList profile;
        PhotoList day;
        PhotoList week;
    };
    static Lists processResults(const platform::Value::Array& reply, double now);
    // On the main thread: hands the lists of run `generation` to the delegate.
    void processingDone(Lists lists, std::uint64_t generation);

    // Converters (rows already checked to be objects).
    // A Comment per comment row whose author ("fromid") is among the user
    // rows with a name; the others are dropped.
    static std::vector<std::shared_ptr<Comment>> processCommentsUserInfo(const Rows& comments, const Rows& users);
    // A User per like row and user row with the like's "user_id".
    static std::vector<std::shared_ptr<User>> processLikesUserInfo(const Rows& likes, const Rows& users);
    // Profile photos, in row order: rows with a "src_big" whose owner is
    // among the user rows (looked up by id) with a name.
    static void processProfilePhotosUserInfoCommentsLikesProfilePhoto(
        const Rows& photos, const Rows& users, const std::vector<std::shared_ptr<Comment>>& comments,
        const std::vector<std::shared_ptr<User>>& likes, PhotoList& profile);
    // Recent photos with at least one comment or like: all into `week`,
    // those modified within the last day (before `now`) also into `day`.
    static void processRecentPhotosUserInfoCommentsLikesDayResultWeekResult(
        const Rows& photos, const Rows& users, const std::vector<std::shared_ptr<Comment>>& comments,
        const std::vector<std::shared_ptr<User>>& likes, PhotoList& day, PhotoList& week, double now);
    // Greater totals of comments plus likes first; equal totals keep their
    // order.
    static void rank(PhotoList& photos);

    void cancelRequest() override;

    std::shared_ptr<NewProfilePhotosDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<NewProfilePhotosDelegate> delegate) { delegate_ = std::move(delegate); }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    std::weak_ptr<NewProfilePhotosDelegate> delegate_;
    // Which run a conversion under way belongs to.
    std::uint64_t generation_ = 0;
    // Keeps the operation alive while its reply is converted.
    std::shared_ptr<NewProfilePhotos> processingHold_;
};

}  // namespace clipora
