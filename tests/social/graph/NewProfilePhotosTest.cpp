#include "social/graph/NewProfilePhotos.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Date.h"
#include "social/sdk/FBRequest.h"
#include "tests/social/graph/PhotoGraphTest.h"

namespace clipora {
namespace {

using platform::Value;

std::vector<std::string> objectIDs(const NewProfilePhotosDelegate::Photos& photos) {
    std::vector<std::string> out;
    if (photos)
        for (const auto& photo : *photos) out.push_back(photo->objectID().value_or("?"));
    return out;
}

Value row(std::initializer_list<std::pair<const std::string, Value>> fields) { return Value::makeDictionary(fields); }

class NewProfilePhotosTest : public test::PhotoGraphTest {};

TEST_F(NewProfilePhotosTest, RecentPhotosAreRankedByCommentsAndLikes) {
    auto op = NewProfilePhotos::initWithDelegate(session_, photos_);
    op->executeFromLast(7);
    EXPECT_EQ(op->timeToWaitBeforeTimeout(), NewProfilePhotos::kTimeout);
    ASSERT_TRUE(waitForPhotoReports(1));
    const auto& report = photos_->reports[0];
    ASSERT_TRUE(report.success) << report.error->localizedDescription();

    // Alex's new profile picture, with its comment and its like.
    ASSERT_EQ(objectIDs(report.profile), (std::vector<std::string>{"600011"}));
    const Photo& profile = *report.profile->at(0);
    EXPECT_EQ(profile.ownerName().value_or(""), "Alex Archer");
    EXPECT_EQ(profile.ownerID().value_or(""), "100002");
    EXPECT_EQ(profile.caption().value_or(""), "New profile picture");
    EXPECT_EQ(profile.imageWidth(), 100);
    ASSERT_EQ(profile.comments().size(), 1u);
    EXPECT_EQ(profile.comments()[0]->fromUser()->name().value_or(""), "Robin Standin");
    EXPECT_EQ(profile.comments()[0]->text().value_or(""), "Looking sharp.");
    ASSERT_EQ(profile.likes().size(), 1u);
    EXPECT_EQ(profile.likes()[0]->name().value_or(""), "Blair Brook");

    // The period: 600013 (1 comment, 3 likes), 600012 (2 and 1), 600011 (1
    // and 1); 600014 drew nothing. The last day: 600012 only.
    EXPECT_EQ(objectIDs(report.week), (std::vector<std::string>{"600013", "600012", "600011"}));
    EXPECT_EQ(objectIDs(report.day), (std::vector<std::string>{"600012"}));
    const Photo& kickflip = *report.day->at(0);
    ASSERT_EQ(kickflip.comments().size(), 2u);
    EXPECT_EQ(kickflip.comments()[1]->fromUser()->profilePhotoLink().value_or(""),
              "https://graph.social.test/files/pics/100003.png");
    EXPECT_EQ(kickflip.likes().size(), 1u);

    // One GET of twelve named queries with the periods' limits.
    auto sent = server_->requestsTo("/method/fql.multiquery");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "GET");
    const auto now = static_cast<std::int64_t>(platform::Date::now().timeIntervalSince1970());
    EXPECT_EQ(sent[0].param("queries"), NewProfilePhotos::queriesFor(now - 1209600, now - 7 * 86400));
    const std::string queries = sent[0].param("queries");
    EXPECT_EQ(queries.rfind("{\"profile_photo_info\":\"SELECT owner, object_id,", 0), 0u);
    EXPECT_NE(queries.find("modified_major >= " + std::to_string(now - 7 * 86400) + " AND owner IN"),
              std::string::npos);
    EXPECT_NE(queries.find("AND created >= " + std::to_string(now - 7 * 86400) + " ORDER BY created DESC"),
              std::string::npos);
    EXPECT_NE(queries.find("\", \"profile_user_info\":\"SELECT name, uid FROM user"), std::string::npos);
    EXPECT_EQ(NewProfilePhotos::queryNames().size(), 12u);
}

TEST_F(NewProfilePhotosTest, ProfilePhotosFindTheirOwnersById) {
    // The user query returns each owner once, in no particular order.
    const Value::Array photos{
        row({{"owner", Value(2)}, {"object_id", Value(21)}, {"src_big", Value("b21")}}),
        row({{"owner", Value(2)}, {"object_id", Value(22)}, {"src_big", Value("b22")}}),
        row({{"owner", Value("3")}, {"object_id", Value(31)}, {"src_big", Value("b31")}}),
        row({{"owner", Value(4)}, {"object_id", Value(41)}, {"src_big", Value("b41")}}),  // no such user
        row({{"owner", Value(3)}, {"object_id", Value(32)}, {"src_big", Value()}}),       // no picture
    };
    const Value::Array users{row({{"uid", Value(3)}, {"name", Value("Three")}}),
                             row({{"uid", Value("2")}, {"name", Value("Two")}})};
    const Value::Array likeRows{row({{"user_id", Value(3)}, {"object_id", Value(22)}})};
    NewProfilePhotos::PhotoList profile;
    NewProfilePhotos::processProfilePhotosUserInfoCommentsLikesProfilePhoto(
        photos, users, {}, NewProfilePhotos::processLikesUserInfo(likeRows, users), profile);
    ASSERT_EQ(objectIDs(profile), (std::vector<std::string>{"21", "22", "31"}));
    EXPECT_EQ(profile[0]->ownerName().value_or(""), "Two");
    EXPECT_EQ(profile[1]->ownerName().value_or(""), "Two");
    EXPECT_EQ(profile[2]->ownerName().value_or(""), "Three");
    ASSERT_EQ(profile[1]->likes().size(), 1u);
    EXPECT_EQ(profile[1]->likes()[0]->name().value_or(""), "Three");
}

TEST_F(NewProfilePhotosTest, RecentPhotosNeedAResponseAndAreSplitByDay) {
    const double now = 1400000000;
    const Value::Array photos{
        row({{"owner", Value(2)}, {"object_id", Value(1)}, {"src_big", Value("b")}, {"modified", Value(now - 7200)}}),
        row({{"owner", Value(2)}, {"object_id", Value(2)}, {"src_big", Value("b")}, {"modified", Value(now - 259200)}}),
        row({{"owner", Value(2)}, {"object_id", Value(3)}, {"src_big", Value("b")}, {"modified", Value(now - 100)}}),
        row({{"owner", Value(2)}, {"object_id", Value(4)}, {"src_big", Value("b")}, {"modified", Value("junk")}}),
    };
    const Value::Array users{row({{"uid", Value(2)}, {"name", Value("Two")}}),
                             row({{"uid", Value(5)}, {"name", Value()}}),
                             row({{"uid", Value(6)}, {"name", Value("Six")}})};
    // Photo 1: two comments. Photo 2: five likes. Photo 3: nothing (a comment
    // by a user without a name is dropped). Photo 4: one comment and two likes.
    const Value::Array commentRows{
        row({{"fromid", Value(6)}, {"object_id", Value(1)}, {"text", Value("a")}, {"time", Value(now)}}),
        row({{"fromid", Value("6")}, {"object_id", Value("1")}, {"text", Value("b")}}),
        row({{"fromid", Value(5)}, {"object_id", Value(3)}, {"text", Value("c")}}),
        row({{"fromid", Value(6)}, {"object_id", Value(4)}, {"text", Value("d")}}),
    };
    Value::Array likeRows;
    for (int i = 0; i < 5; ++i) likeRows.push_back(row({{"user_id", Value(6)}, {"object_id", Value(2)}}));
    for (int i = 0; i < 2; ++i) likeRows.push_back(row({{"user_id", Value(2)}, {"object_id", Value(4)}}));

    NewProfilePhotos::PhotoList day, week;
    NewProfilePhotos::processRecentPhotosUserInfoCommentsLikesDayResultWeekResult(
        photos, users, NewProfilePhotos::processCommentsUserInfo(commentRows, users),
        NewProfilePhotos::processLikesUserInfo(likeRows, users), day, week, now);
    NewProfilePhotos::rank(day);
    NewProfilePhotos::rank(week);
    EXPECT_EQ(objectIDs(week), (std::vector<std::string>{"2", "4", "1"}));
    EXPECT_EQ(objectIDs(day), (std::vector<std::string>{"1"}));
}

TEST_F(NewProfilePhotosTest, AFailureGivesThreeAbsentLists) {
    server_->setKnob("/method/fql.multiquery", statusKnob(503));
    auto op = NewProfilePhotos::initWithDelegate(session_, photos_);
    op->executeFromLast(1);
    ASSERT_TRUE(waitForPhotoReports(1));
    const auto& report = photos_->reports[0];
    EXPECT_FALSE(report.success);
    EXPECT_FALSE(report.profile);
    EXPECT_FALSE(report.day);
    EXPECT_FALSE(report.week);
}

}  // namespace
}  // namespace clipora
