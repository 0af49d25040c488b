#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Error.h"
#include "platform/foundation/Size.h"
#include "platform/foundation/Value.h"
#include "social/graph/CreateAlbum.h"
#include "social/graph/GetAlbum.h"
#include "social/graph/GetPhotos.h"
#include "social/graph/GetVideoUploadLimit.h"
#include "social/graph/NewProfilePhotos.h"
#include "social/graph/TagPhoto.h"
#include "social/graph/UploadPhoto.h"
#include "social/graph/UploadVideo.h"
#include "social/sdk/FBFormUploadRoute.h"
#include "social/sdk/FBRequest.h"
#include "tests/social/graph/GraphTest.h"

namespace clipora::test {

// One report of a photo, album or upload operation to its delegate.
struct PhotoReport {
    bool success = false;
    std::optional<platform::Error> error;
    std::optional<std::vector<std::shared_ptr<Photo>>> photos;
    std::optional<std::vector<std::shared_ptr<Album>>> albums;
    std::optional<platform::Value> result;
    std::shared_ptr<Photo> photo;
    std::shared_ptr<Video> video;
    // NewProfilePhotos: profile, day, week.
    NewProfilePhotosDelegate::Photos profile, day, week;
};

// The delegate of every photo, album and upload operation, recording each
// report in order. For tagged uploads it places the tags in a view of
// `viewSize` and moves them by `tagShift`.
struct PhotoRecorder : GetPhotosDelegate,
                       CreateAlbumDelegate,
                       GetAlbumDelegate,
                       UploadPhotoDelegate,
                       TagPhotoDelegate,
                       NewProfilePhotosDelegate,
                       UploadVideoDelegate,
                       GetVideoUploadLimitDelegate {
    std::vector<PhotoReport> reports;
    platform::Size viewSize{200, 100};
    std::vector<platform::Size> askedImageSizes;
    std::function<void()> onReport;

    static PhotoReport base(const FBBaseClass& operation) {
        PhotoReport report;
        report.success = operation.success();
        if (!operation.success()) report.error = operation.error();
        return report;
    }
    void add(PhotoReport report) {
        reports.push_back(std::move(report));
        if (onReport) onReport();
    }

    void finishGetPhotosPhotos(const std::shared_ptr<GetPhotos>& op,
                               const std::optional<std::vector<std::shared_ptr<Photo>>>& photos) override {
        auto report = base(*op);
        report.photos = photos;
        add(std::move(report));
    }
    void newAlbumResult(const std::shared_ptr<CreateAlbum>& op, const std::optional<platform::Value>& result) override {
        auto report = base(*op);
        report.result = result;
        add(std::move(report));
    }
    void gotAlbumsResult(const std::shared_ptr<GetAlbum>& op,
                         const std::optional<std::vector<std::shared_ptr<Album>>>& albums) override {
        auto report = base(*op);
        report.albums = albums;
        add(std::move(report));
    }
    void finishPhotoUploadResult(const std::shared_ptr<UploadPhoto>& op, const std::shared_ptr<Photo>& photo) override {
        auto report = base(*op);
        report.photo = photo;
        add(std::move(report));
    }
    platform::Size getImageViewSizeForImageSize(platform::Size imageSize) override {
        askedImageSizes.push_back(imageSize);
        return viewSize;
    }
    std::vector<std::shared_ptr<Tag>> getCorrectedLocationTagsWithImageViewSize(
        const std::vector<std::shared_ptr<Tag>>& tags, platform::Size) override {
        return tags;
    }
    void finishTaggingPhoto(const std::shared_ptr<TagPhoto>& op) override { add(base(*op)); }
    void gotProfilePhotosProfilePhotosFromOneDayFromOneWeek(const std::shared_ptr<NewProfilePhotos>& op,
                                                            const Photos& profile, const Photos& day,
                                                            const Photos& week) override {
        auto report = base(*op);
        report.profile = profile;
        report.day = day;
        report.week = week;
        add(std::move(report));
    }
    void finishVideoUploadResult(const std::shared_ptr<UploadVideo>& op, const std::shared_ptr<Video>& video) override {
        auto report = base(*op);
        report.video = video;
        add(std::move(report));
    }
    void finishGetVideoUploadLimitResult(const std::shared_ptr<GetVideoUploadLimit>& op,
                                         const std::optional<platform::Value>& result) override {
        auto report = base(*op);
        report.result = result;
        add(std::move(report));
    }
};

// The stand-in and a signed-in session (GraphTest) with a PhotoRecorder.
class PhotoGraphTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        // The route the application installs at launch.
        FBFormUploadRoute::install();
        photos_ = std::make_shared<PhotoRecorder>();
    }
    void TearDown() override {
        // Requests still under way (the session's token extension, say)
        // end before the server goes.
        pumpUntil([&] { return session_->requests().empty(); }, 5);
        for (const auto& request :
             std::vector<std::shared_ptr<FBRequest>>(session_->requests().begin(), session_->requests().end()))
            request->cancel();
        photos_.reset();
        GraphTest::TearDown();
    }

    bool waitForPhotoReports(std::size_t count, double timeout = 10) {
        return pumpUntil([&] { return photos_->reports.size() >= count; }, timeout);
    }

    // A file in the test's home: `size` bytes starting with `head`.
    std::filesystem::path writeFile(const std::string& name, const std::string& head, std::size_t size) {
        std::filesystem::path path = home() / name;
        std::string bytes = head;
        while (bytes.size() < size) bytes.push_back(static_cast<char>('a' + bytes.size() % 26));
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // What the stand-in takes for a PNG image of 640 x 480.
    std::filesystem::path writePNG(const std::string& name, std::size_t size) {
        static const char header[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x02\x80\0\0\x01\xe0";
        return writeFile(name, std::string(header, sizeof header - 1), size);
    }
    // What the stand-in takes for an MP4 video.
    std::filesystem::path writeMP4(const std::string& name, std::size_t size) {
        static const char header[] =
            "\0\0\0\x18"
            "ftypisom\0\0\x02\0isomiso2";
        return writeFile(name, std::string(header, sizeof header - 1), size);
    }

    // Knobs of the stand-in.
    static standin::StandinKnob statusKnob(int status) {
        standin::StandinKnob knob;
        knob.status = status;
        return knob;
    }
    static standin::StandinKnob bodyKnob(std::string body) {
        standin::StandinKnob knob;
        knob.body = std::move(body);
        return knob;
    }
    static standin::StandinKnob holdKnob() {
        standin::StandinKnob knob;
        knob.hold = true;
        return knob;
    }

    std::shared_ptr<PhotoRecorder> photos_;
};

}  // namespace clipora::test
