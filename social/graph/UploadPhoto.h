#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/Size.h"
#include "platform/uikit/Image.h"
#include "social/graph/FBUploadOperation.h"
#include "social/graph/Photo.h"
#include "social/graph/TagPhoto.h"
#include "social/graph/TagPhotoDelegate.h"
#include "social/graph/UploadPhotoDelegate.h"

namespace clipora {

class Facebook;

// Uploads the file of a Photo (its imagePath) into an album, with its
// caption, as a file upload of the request (multipart POST through the
// request engine). inContext not 0: the graph path "/<album id>/photos";
// 0: the REST method "photos.upload" with "aid", whose reply (an object;
// anything else is junk data, -3) fills the photo's srcSmall, photoPageLink
// and pid, after which the photo's tags, if any, are placed by a TagPhoto
// in the coordinates the delegate supplies.
//
// No watchdog: an upload runs until it ends or cancelRequest() stops it.
// Progress accumulates in bytesWritten and totalBytesWritten. The delegate
// hears once per run, with the photo, also after a failure; a failed tagging
// still reports the upload as a success. The operation keeps itself alive
// while it tags.
class UploadPhoto : public FBUploadOperation, public TagPhotoDelegate {
public:
    UploadPhoto() = default;
    ~UploadPhoto() override;
    static std::shared_ptr<UploadPhoto> initWithDelegate(std::shared_ptr<Facebook> session,
                                                         std::weak_ptr<UploadPhotoDelegate> delegate);

    void executeAlbumIDInContext(std::shared_ptr<Photo> photo, const std::string& albumID, std::int32_t inContext);

    // TagPhotoDelegate
    void finishTaggingPhoto(const std::shared_ptr<TagPhoto>& tagPhoto) override;
    // Stops the upload (its form request included) or the tagging under way,
    // without a report.
    void cancelRequest() override;

    std::shared_ptr<UploadPhotoDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UploadPhotoDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::shared_ptr<Photo>& photo() const { return photo_; }
    void setPhoto(std::shared_ptr<Photo> photo) { photo_ = std::move(photo); }
    // Kept for the caller.
    const std::shared_ptr<platform::Image>& image() const { return image_; }
    void setImage(std::shared_ptr<platform::Image> image) { image_ = std::move(image); }
    platform::Size imageSize() const { return imageSize_; }
    void setImageSize(platform::Size size) { imageSize_ = size; }
    std::int32_t inContext() const { return inContext_; }
    void setInContext(std::int32_t inContext) { inContext_ = inContext; }
    // Kept for the caller.
    std::int32_t imageIndex() const { return imageIndex_; }
    void setImageIndex(std::int32_t index) { imageIndex_ = index; }
    // The tagging under way, if any.
    const std::shared_ptr<TagPhoto>& tagPhoto() const { return tagPhoto_; }

protected:
    void didLoadResult(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;
    void didFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;

private:
    void report();
    void dropTagging();

    std::weak_ptr<UploadPhotoDelegate> delegate_;
    std::shared_ptr<Photo> photo_;
    std::shared_ptr<platform::Image> image_;
    platform::Size imageSize_;
    std::int32_t inContext_ = 0;
    std::int32_t imageIndex_ = 0;
    std::shared_ptr<TagPhoto> tagPhoto_;
    // Keeps the operation alive while it tags.
    std::shared_ptr<UploadPhoto> taggingHold_;
};

}  // namespace clipora
