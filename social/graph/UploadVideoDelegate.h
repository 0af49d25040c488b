#pragma once

#include <memory>

#include "social/graph/Video.h"

namespace clipora {

class UploadVideo;

// Told when an UploadVideo run ends, with its video in both cases (read the
// operation's success and error); after a success the video's videoID is
// the network's id for it.
class UploadVideoDelegate {
public:
    virtual ~UploadVideoDelegate() = default;
    virtual void finishVideoUploadResult(const std::shared_ptr<UploadVideo>& uploadVideo,
                                         const std::shared_ptr<Video>& video) = 0;
};

}  // namespace clipora
