#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Error.h"
#include "social/graph/Video.h"

namespace clipora {

class Downloader;

// Told how a whole-file download goes: megabytes received so far, then
// exactly one of finish (the file is in place) or failure. A cancelled
// download tells nothing more. Main thread.
class DownloaderDelegate {
public:
    virtual ~DownloaderDelegate() = default;
    // The transfer ended well: the whole body is at `path`.
    virtual void downloaderDidFinishVideoFile(const std::shared_ptr<Downloader>& downloader,
                                              const std::shared_ptr<Video>& video, const std::string& path) = 0;
    // The transfer failed (network error, an HTTP error status, or the file
    // could not be written); nothing is left at the destination.
    virtual void downloaderDidFailVideoError(const std::shared_ptr<Downloader>& downloader,
                                             const std::shared_ptr<Video>& video, const platform::Error& error) = 0;
    // Megabytes received so far, two decimals ("1.00").
    virtual void downloaderPercentCompletedPercent(const std::shared_ptr<Downloader>& downloader,
                                                   const std::string& text) = 0;
};

}  // namespace clipora
