#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/engine/BKNetworkOperation.h"
#include "net/engine/VideoDownloader.h"
#include "platform/foundation/Error.h"
#include "social/graph/Video.h"

namespace clipora {

// The videos on their way into the photo album: one row per video with its
// engine operation, the status text shown under its title and the file it
// is written to. The root menu shows the rows; the video list screen adds
// to them.
//
// Each video is downloaded at most once at a time, into a file of its own
// in Caches whose name is the video id when that is a plain word, else a
// digest of it. While a download runs its bytes are in a hidden temporary
// file beside that name (the engine renames it into place when the whole
// video arrived). A finished file goes to the album, then the row and the
// file go; a file the album refuses is removed and its row marked failed.
// A cancelled or deleted row's files go with it, and at launch the download
// files that no row owns (left by a run that was killed) are removed; no
// other file in Caches is touched.
//
// The list is archived to Documents/DownloadList when the application
// terminates (video, status and path of each row); it is not read back, so
// every launch starts with an empty list.
//
// Main thread only: the engine calls its blocks on the main thread.
class DownloadList : public std::enable_shared_from_this<DownloadList> {
public:
    static constexpr const char* kStatusDownloading = "Downloading...";
    static constexpr const char* kStatusCancelled = "Cancelled...";
    static constexpr const char* kStatusFailed = "Failed to download! Try again?";
    static constexpr const char* kArchiveKey = "DownloadList";
    // The user-defaults bool that asks for the HD source.
    static constexpr const char* kDownloadHDKey = "downloadHD";

    struct Row {
        std::shared_ptr<Video> video;
        std::shared_ptr<BKNetworkOperation> operation;
        std::string status;
        std::string path;
        // Fraction received, 0 to 1 (for the device program's display).
        double progress = 0;
    };
    using ChangeHandler = std::function<void()>;

    // The list downloading through `engine` (none: every download fails).
    static std::shared_ptr<DownloadList> create(std::shared_ptr<VideoDownloader> engine);
    struct Passkey {};
    DownloadList(Passkey, std::shared_ptr<VideoDownloader> engine);

    const std::vector<std::shared_ptr<Row>>& rows() const { return rows_; }
    // Told after every change of the rows or of a status (not of progress).
    void setChangeHandler(ChangeHandler handler) { changed_ = std::move(handler); }

    // What `downloadVideo` did with a video.
    enum class DownloadStart {
        Started,             // a new row
        Restarted,           // its failed or cancelled row started again
        AlreadyDownloading,  // its row is still running: nothing changed
        Refused,             // no video
    };
    // Starts a download of the video (HD when "downloadHD" is on and the
    // video has an HD source) and adds its row. A video already in the list
    // is not downloaded a second time into its one file: a failed or
    // cancelled row for it starts again as a tap on it would, a running one
    // is left alone (the caller tells the user).
    DownloadStart downloadVideo(const std::shared_ptr<Video>& video);
    // A tap on a row: a cancelled or failed row starts again (standard
    // source, fresh file); a running one is cancelled.
    void restartOrCancelRow(std::size_t index);
    // Cancels the row's download and removes the row and its files.
    void deleteRow(std::size_t index);
    // Writes the rows (video, status, path) to Documents/DownloadList.
    void save() const;
    // Removes the download files in Caches that no row owns.
    void removeUnownedFiles() const;

    // The file a video is downloaded into: Caches/<name>.mp4.
    static std::string downloadPathForVideo(const Video& video);

private:
    bool startDownload(const std::shared_ptr<Row>& row, const std::string& source);
    // The row's download ended (failed or cancelled) and may start again.
    static bool isStopped(const Row& row);
    // Starts a stopped row again: the standard source into a fresh file.
    void restartRow(const std::shared_ptr<Row>& row);
    std::shared_ptr<Row> rowForOperation(const std::shared_ptr<BKNetworkOperation>& operation) const;
    void downloadFinished(const std::shared_ptr<BKNetworkOperation>& operation, const std::string& path);
    void downloadFailed(const std::shared_ptr<BKNetworkOperation>& operation);
    void photoAlbumSaveCompletion(const std::shared_ptr<Row>& row, const std::string& path,
                                  const std::optional<platform::Error>& error);
    void markFailed(const std::shared_ptr<Row>& row);
    void notifyChanged() const;

    std::shared_ptr<VideoDownloader> engine_;
    std::vector<std::shared_ptr<Row>> rows_;
    ChangeHandler changed_;
};

}  // namespace clipora
