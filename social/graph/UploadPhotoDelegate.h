#pragma once

#include <memory>
#include <vector>

#include "platform/foundation/Size.h"
#include "social/graph/Photo.h"
#include "social/graph/Tag.h"

namespace clipora {

class UploadPhoto;

// Told when an UploadPhoto run ends, with its photo in both cases (read the
// operation's success and error); and asked, before a tagged photo's tags
// are placed, for the view the tags were placed in.
class UploadPhotoDelegate {
public:
    virtual ~UploadPhotoDelegate() = default;
    virtual void finishPhotoUploadResult(const std::shared_ptr<UploadPhoto>& uploadPhoto,
                                         const std::shared_ptr<Photo>& photo) = 0;
    // The size of the view in which the tags were placed, for an image of
    // `imageSize`.
    virtual platform::Size getImageViewSizeForImageSize(platform::Size imageSize) = 0;
    // The tags with their locations in that view's coordinates.
    virtual std::vector<std::shared_ptr<Tag>> getCorrectedLocationTagsWithImageViewSize(
        const std::vector<std::shared_ptr<Tag>>& tags, platform::Size imageViewSize) = 0;
};

}  // namespace clipora
