#pragma once

#include <memory>

#include "social/graph/Video.h"

namespace clipora {

class VideoListViewController;

// The saved videos screen's owner (the browser screen).
class VideoListDelegate {
public:
    virtual ~VideoListDelegate() = default;
    // A bookmark or a download was tapped.
    virtual void didSelectVideoVideo(const std::shared_ptr<VideoListViewController>& list,
                                     const std::shared_ptr<Video>& video) = 0;
    // The pending download is being deleted: the screen calls this first,
    // then removes the entry and its row itself.
    virtual void cancelDownloadVideo(const std::shared_ptr<VideoListViewController>& list,
                                     const std::shared_ptr<Video>& video) = 0;
};

}  // namespace clipora
