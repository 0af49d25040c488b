#include "social/graph/UploadPhoto.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/request/RQError.h"
#include "social/graph/TagPhoto.h"
#include "social/sdk/FBRequest.h"
#include "tests/social/graph/PhotoGraphTest.h"

namespace clipora {
namespace {

using standin::StandinHost;
using standin::StandinRequest;

std::shared_ptr<Tag> makeTag(const std::string& uid, const std::string& name, float x, float y) {
    auto tag = std::make_shared<Tag>();
    tag->setTagUID(uid);
    tag->setTagName(name);
    tag->setLocation({x, y});
    return tag;
}

class UploadPhotoTest : public test::PhotoGraphTest {
protected:
    std::shared_ptr<Photo> makePhoto(const std::string& caption, std::size_t size) {
        auto photo = std::make_shared<Photo>();
        photo->setCaption(caption);
        photo->setImagePath(writePNG("upload.png", size).string());
        photo->setImageWidth(640);
        photo->setImageHeight(480);
        return photo;
    }
    std::shared_ptr<UploadPhoto> makeUpload() { return UploadPhoto::initWithDelegate(session_, photos_); }

    // The requests that carried a file.
    std::vector<StandinRequest> uploads() const {
        std::vector<StandinRequest> out;
        for (const auto& request : server_->requests())
            if (!request.files.empty()) out.push_back(request);
        return out;
    }
};

TEST_F(UploadPhotoTest, GraphRouteUploadsTheFileWithProgress) {
    const std::size_t size = 300 * 1024;
    auto photo = makePhoto("Sunset again", size);
    auto upload = makeUpload();
    upload->executeAlbumIDInContext(photo, "500002", 1);
    EXPECT_EQ(upload->timeToWaitBeforeTimeout(), FBBaseClass::kNoTimeout);
    ASSERT_TRUE(waitForPhotoReports(1));

    ASSERT_EQ(photos_->reports.size(), 1u);
    const auto& report = photos_->reports[0];
    ASSERT_TRUE(report.success) << (report.error ? report.error->localizedDescription() : "");
    EXPECT_EQ(report.photo, photo);
    // The graph route does not read the reply.
    EXPECT_FALSE(photo->pid());

    // Progress adds up to the whole multipart body, which holds the file.
    EXPECT_GT(upload->totalBytesExpectedToWrite(), static_cast<std::int64_t>(size));
    EXPECT_EQ(upload->bytesWritten(), upload->totalBytesExpectedToWrite());
    EXPECT_EQ(upload->totalBytesWritten(), upload->totalBytesExpectedToWrite());

    auto sent = uploads();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].host, StandinHost::Graph);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_EQ(sent[0].files[0].name, "file");
    EXPECT_EQ(sent[0].files[0].data.size(), size);
    EXPECT_EQ(sent[0].files[0].contentType, "image/png");
    EXPECT_EQ(sent[0].form.at("caption"), "Sunset again");
    EXPECT_FALSE(sent[0].hasParam("photo"));
    EXPECT_EQ(sent[0].header("user-agent"), "FacebookConnect");
    EXPECT_TRUE(server_->data().findRow("photo", "caption", "Sunset again"));
    // The finished upload left the session's set of requests.
    EXPECT_FALSE(session_->requests().count(upload->fbRequest()));
}

TEST_F(UploadPhotoTest, RestRouteFillsThePhotoAndPlacesItsTags) {
    auto photo = makePhoto("Tagged", 64 * 1024);
    // A free-text tag whose text would break hand-made JSON, and a person.
    photo->setTags({makeTag("-1", "Ro\"bin \\ \",\"x\":\"1", 50, 20), makeTag("100002", "Alex", 100, 50)});
    auto upload = makeUpload();
    upload->executeAlbumIDInContext(photo, "100001_2", 0);
    ASSERT_TRUE(waitForPhotoReports(1));

    const auto& report = photos_->reports[0];
    ASSERT_TRUE(report.success) << (report.error ? report.error->localizedDescription() : "");
    ASSERT_TRUE(photo->pid());
    EXPECT_TRUE(server_->data().findRow("photo", "pid", *photo->pid()));
    EXPECT_TRUE(photo->srcSmall() && photo->srcSmall()->find("/files/uploads/") != std::string::npos);
    EXPECT_EQ(photo->photoPageLink().value_or(""), "https://www.social.test/photo.php?pid=" + *photo->pid());
    EXPECT_EQ(upload->bytesWritten(), upload->totalBytesExpectedToWrite());

    // The delegate was asked for the view of the photo's own size.
    ASSERT_EQ(photos_->askedImageSizes.size(), 1u);
    EXPECT_EQ(photos_->askedImageSizes[0], (platform::Size{640, 480}));
    EXPECT_EQ(upload->imageSize(), (platform::Size{200, 100}));

    auto tagging = server_->requestsTo("/method/photos.addTag");
    ASSERT_EQ(tagging.size(), 1u);
    EXPECT_EQ(tagging[0].method, "GET");
    EXPECT_EQ(tagging[0].param("pid"), *photo->pid());
    EXPECT_EQ(tagging[0].param("tags"),
              R"([{"x":"25","y":"20","tag_text":"Ro\"bin \\ \",\"x\":\"1"},{"x":"50","y":"50","tag_uid":"100002"}])");
    int placed = 0;
    for (const auto& row : server_->data().table("photo_tag"))
        if (row["pid"] == *photo->pid()) ++placed;
    EXPECT_EQ(placed, 2);
    EXPECT_FALSE(upload->tagPhoto());
}

TEST_F(UploadPhotoTest, FailedTaggingStillReportsTheUpload) {
    auto photo = makePhoto("No view", 1024);
    photo->setTags({makeTag("-1", "Somebody", 10, 10)});
    photos_->viewSize = {0, 100};
    auto upload = makeUpload();
    upload->executeAlbumIDInContext(photo, "100001_2", 0);
    ASSERT_TRUE(waitForPhotoReports(1));
    EXPECT_TRUE(photos_->reports[0].success);
    EXPECT_TRUE(photo->pid());
    EXPECT_TRUE(server_->requestsTo("/method/photos.addTag").empty());
}

TEST_F(UploadPhotoTest, TagTextIsWrittenOnlyForAUsableView) {
    const auto tags = std::vector<std::shared_ptr<Tag>>{makeTag("-1", "A", 50, 20)};
    EXPECT_EQ(TagPhoto::tagText(tags, {200, 100}).value_or("?"), R"([{"x":"25","y":"20","tag_text":"A"}])");
    // Percentages are cut toward zero.
    EXPECT_EQ(TagPhoto::tagText({makeTag("7", "B", 1, 199)}, {3, 200}).value_or("?"),
              R"([{"x":"33","y":"99","tag_uid":"7"}])");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    for (platform::Size size :
         std::vector<platform::Size>{{0, 100}, {200, 0}, {-5, 100}, {nan, 100}, {200, infinity}}) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        EXPECT_FALSE(TagPhoto::tagText(tags, size));
    }
    EXPECT_FALSE(TagPhoto::tagText({makeTag("-1", "far", 3e38f, 1)}, {1e-30f, 100}));

    // No tags: success at once, nothing sent; no usable view: failure at
    // once, nothing sent.
    auto tagging = TagPhoto::initWithDelegate(session_, photos_);
    tagging->executeTagImageViewSize("100001_20", {}, {0, 0});
    ASSERT_EQ(photos_->reports.size(), 1u);
    EXPECT_TRUE(photos_->reports[0].success);
    tagging->executeTagImageViewSize("100001_20", tags, {0, 100});
    ASSERT_EQ(photos_->reports.size(), 2u);
    EXPECT_FALSE(photos_->reports[1].success);
    EXPECT_EQ(tagging->numberOfTag(), 1);
    pumpPending();
    EXPECT_TRUE(server_->requestsTo("/method/photos.addTag").empty());
}

TEST_F(UploadPhotoTest, FailedAndCancelledUploadsLeaveTheSession) {
    // The server refuses the upload.
    server_->setKnob("/method/photos.upload", statusKnob(500));
    auto photo = makePhoto("Refused", 4096);
    auto upload = makeUpload();
    upload->executeAlbumIDInContext(photo, "100001_2", 0);
    ASSERT_TRUE(waitForPhotoReports(1));
    EXPECT_FALSE(photos_->reports[0].success);
    EXPECT_EQ(photos_->reports[0].photo, photo);
    EXPECT_FALSE(session_->requests().count(upload->fbRequest()));

    // A file that is not there is never sent.
    server_->clearRequests();
    photo->setImagePath((home() / "missing.png").string());
    upload->executeAlbumIDInContext(photo, "100001_2", 0);
    ASSERT_TRUE(waitForPhotoReports(2));
    ASSERT_TRUE(photos_->reports[1].error);
    EXPECT_EQ(photos_->reports[1].error->domain(), RQError::kDomain);
    EXPECT_EQ(photos_->reports[1].error->code(), RQError::kInternalError);
    EXPECT_FALSE(session_->requests().count(upload->fbRequest()));
    EXPECT_TRUE(uploads().empty());

    // Cancelled while the server holds it: no report, and the session lets
    // it go.
    server_->setKnob("/method/photos.upload", holdKnob());
    photo->setImagePath(writePNG("again.png", 2048).string());
    upload->executeAlbumIDInContext(photo, "100001_2", 0);
    ASSERT_TRUE(waitForHeld(1));
    auto held = upload->fbRequest();
    EXPECT_TRUE(session_->requests().count(held));
    upload->cancelRequest();
    EXPECT_FALSE(session_->requests().count(held));
    server_->releaseHeld();
    pumpUntil([] { return false; }, 0.3);
    EXPECT_EQ(photos_->reports.size(), 2u);
    EXPECT_TRUE(uploads().size() <= 1u);
}

}  // namespace
}  // namespace clipora
