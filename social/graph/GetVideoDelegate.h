#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "social/graph/Video.h"

namespace clipora {

class GetVideo;

// Told when a GetVideo run ends: the videos newest first (possibly none), or
// absent after a failure (read the operation's success and error).
class GetVideoDelegate {
public:
    virtual ~GetVideoDelegate() = default;
    virtual void finishGetVideoVideos(const std::shared_ptr<GetVideo>& getVideo,
                                      const std::optional<std::vector<std::shared_ptr<Video>>>& videos) = 0;
};

}  // namespace clipora
