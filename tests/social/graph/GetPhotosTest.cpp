#include "social/graph/GetPhotos.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "social/graph/GetAlbumCover.h"
#include "social/graph/NewProfilePhotos.h"
#include "social/graph/UploadPhoto.h"
#include "social/graph/UploadVideo.h"
#include "tests/social/graph/PhotoGraphTest.h"

namespace clipora {
namespace {

using platform::Value;
using standin::StandinHost;

class GetPhotosTest : public test::PhotoGraphTest {};

TEST_F(GetPhotosTest, AnAlbumsPhotosInReplyOrder) {
    auto op = GetPhotos::initWithDelegate(session_, photos_);
    op->executeWithAlbumID("500012");
    ASSERT_TRUE(waitForPhotoReports(1));
    const auto& report = photos_->reports[0];
    ASSERT_TRUE(report.success) << report.error->localizedDescription();
    ASSERT_TRUE(report.photos);
    ASSERT_EQ(report.photos->size(), 3u);
    const Photo& first = *report.photos->at(0);
    EXPECT_EQ(first.pid().value_or(""), "600012");
    EXPECT_EQ(first.caption().value_or(""), "Kickflip");
    EXPECT_EQ(first.srcSmall().value_or(""), "https://graph.social.test/files/photos/600012_s.png");
    EXPECT_EQ(first.srcBig().value_or(""), "https://graph.social.test/files/photos/600012_n.png");
    EXPECT_EQ(first.imageWidth(), 720);
    EXPECT_EQ(first.imageHeight(), 540);
    auto sent = server_->requestsTo("/500012/photos");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].param("limit"), "200");
}

TEST_F(GetPhotosTest, CommentAndLikeRowsOfAnyShapeConvertSafely) {
    const Value::Array comments{
        Value::makeDictionary({{"id", Value(71)},
                               {"message", Value("Hi")},
                               {"created_time", Value(1300000000)},
                               {"from", Value::makeDictionary({{"id", Value(100002)}, {"name", Value("Alex")}})}}),
        Value::makeDictionary({{"id", Value("72")}, {"from", Value("not an object")}, {"created_time", Value("soon")}}),
        Value("not a row"),
    };
    auto converted = GetPhotos::processCommentsUserInfo(comments, {});
    ASSERT_EQ(converted.size(), 2u);
    EXPECT_EQ(converted[0]->fromUser()->uid().value_or(""), "100002");
    EXPECT_EQ(converted[0]->objectID().value_or(""), "71");
    EXPECT_EQ(converted[0]->date(), platform::Date::fromTimeIntervalSince1970(1300000000));
    EXPECT_FALSE(converted[1]->fromUser()->uid());
    EXPECT_FALSE(converted[1]->date());

    const Value::Array likes{Value::makeDictionary({{"user_id", Value(5)}, {"object_id", Value(9)}}), Value(3)};
    const Value::Array users{Value::makeDictionary({{"uid", Value("5")}, {"name", Value("Five")}}), Value()};
    auto liked = GetPhotos::processLikesUserInfo(likes, users);
    ASSERT_EQ(liked.size(), 1u);
    EXPECT_EQ(liked[0]->name().value_or(""), "Five");
    EXPECT_EQ(liked[0]->objectID().value_or(""), "9");
}

// Replies of the wrong shape reach the delegate as junk data (-3), never as
// a success or a crash.
TEST_F(GetPhotosTest, JunkRepliesAreReportedAsJunkData) {
    struct Case {
        std::string name;
        std::string path;
        std::optional<StandinHost> host;
        std::string body;
        std::function<void()> start;
    };
    auto photo = std::make_shared<Photo>();
    photo->setImagePath(writePNG("junk.png", 1024).string());
    auto video = std::make_shared<Video>();
    video->setVideoPath(platform::URL::fileURLWithPath(writeMP4("junk.mp4", 1024).string()));
    std::vector<std::shared_ptr<FBBaseClass>> keep;
    auto photosOf = [&] {
        auto op = GetPhotos::initWithDelegate(session_, photos_);
        keep.push_back(op);
        op->executeWithAlbumID("500012");
    };
    const std::vector<Case> cases = {
        {"photos: a list", "/500012/photos", StandinHost::Graph, "[1,2]", photosOf},
        {"photos: data not a list", "/500012/photos", StandinHost::Graph, R"({"data":{"id":1}})", photosOf},
        {"photos: a row not an object", "/500012/photos", StandinHost::Graph, R"({"data":[{"id":"1"},7]})", photosOf},
        {"photos: plain text", "/500012/photos", StandinHost::Graph, "<html>hello</html>", photosOf},
        {"covers: an object", "/method/fql.query", StandinHost::Rest, R"({"pid":"1"})",
         [&] {
             // Without a delegate: the outcome is read from its fields.
             auto op = GetAlbumCover::initWithDelegate(session_, {});
             keep.push_back(op);
             op->execute("me()");
         }},
        {"recent photos: an object", "/method/fql.multiquery", StandinHost::Rest, R"({"name":"x"})",
         [&] {
             auto op = NewProfilePhotos::initWithDelegate(session_, photos_);
             keep.push_back(op);
             op->executeFromLast(7);
         }},
        {"recent photos: a result set not a list", "/method/fql.multiquery", StandinHost::Rest,
         R"([{"name":"recent_photo_info","fql_result_set":{"owner":1}}])",
         [&] {
             auto op = NewProfilePhotos::initWithDelegate(session_, photos_);
             keep.push_back(op);
             op->executeFromLast(7);
         }},
        {"photo upload: a list", "/method/photos.upload", StandinHost::Rest, "[1]",
         [&] {
             auto op = UploadPhoto::initWithDelegate(session_, photos_);
             keep.push_back(op);
             op->executeAlbumIDInContext(photo, "100001_2", 0);
         }},
        {"video upload: a list", "/me/videos", StandinHost::VideoGraph, "[]",
         [&] {
             auto op = UploadVideo::initWithDelegate(session_, photos_);
             keep.push_back(op);
             op->executeUidInContext(video, "me", 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server_->clearKnobs();
        server_->setKnob(c.path, bodyKnob(c.body), c.host);
        photos_->reports.clear();
        keep.clear();
        c.start();
        if (auto cover = std::dynamic_pointer_cast<GetAlbumCover>(keep.back())) {
            ASSERT_TRUE(pumpUntil([&] { return !cover->isRunning(); }, 10));
            EXPECT_FALSE(cover->success());
            EXPECT_EQ(cover->error()->code(), FBBaseClass::kJunkDataErrorCode);
            continue;
        }
        ASSERT_TRUE(waitForPhotoReports(1));
        pumpPending();
        ASSERT_EQ(photos_->reports.size(), 1u);
        EXPECT_FALSE(photos_->reports[0].success);
        ASSERT_TRUE(photos_->reports[0].error);
        EXPECT_EQ(photos_->reports[0].error->code(), FBBaseClass::kJunkDataErrorCode);
        EXPECT_EQ(photos_->reports[0].error->domain(), FBBaseClass::kJunkDataErrorDomain);
    }
}

}  // namespace
}  // namespace clipora
