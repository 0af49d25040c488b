#include "app/DownloadList.h"

#include <algorithm>
#include <filesystem>

#include "app/Utility.h"
#include "net/DownloadFile.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/Value.h"
#include "platform/media/PhotoAlbum.h"

namespace clipora {

using namespace platform;

namespace {

constexpr const char* kExtension = ".mp4";

bool isPlainWord(std::string_view text) {
    if (text.empty()) return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

// The download file name in Caches that `name` belongs to ("<word>.mp4"),
// when `name` is one of the files this list makes: the download itself or
// the engine's temporary file for it. None for every other name.
std::optional<std::string> downloadNameOf(std::string_view name) {
    auto isDownloadName = [](std::string_view candidate) {
        return Text::hasSuffix(candidate, kExtension) &&
               isPlainWord(candidate.substr(0, candidate.size() - std::string_view(kExtension).size()));
    };
    if (isDownloadName(name)) return std::string(name);
    auto base = DownloadFile::destinationNameOfTemporary(name);
    if (!base || !isDownloadName(*base)) return std::nullopt;
    return base;
}

}  // namespace

std::shared_ptr<DownloadList> DownloadList::create(std::shared_ptr<VideoDownloader> engine) {
    return std::make_shared<DownloadList>(Passkey{}, std::move(engine));
}

DownloadList::DownloadList(Passkey, std::shared_ptr<VideoDownloader> engine) : engine_(std::move(engine)) {}

std::string DownloadList::downloadPathForVideo(const Video& video) {
    // The id comes from the network: only a plain word may name a file;
    // anything else ("/", "..", empty) is replaced by its digest.
    const std::string id = video.videoID().value_or(std::string());
    const std::string name = isPlainWord(id) ? id : Digest::hex(Digest::sha1(id));
    return FileManager::cachesDirectory() + "/" + name + kExtension;
}

void DownloadList::notifyChanged() const {
    if (changed_) changed_();
}

DownloadList::DownloadStart DownloadList::downloadVideo(const std::shared_ptr<Video>& video) {
    if (!video) return DownloadStart::Refused;
    const std::string path = downloadPathForVideo(*video);
    for (const auto& row : rows_) {
        if (row->path != path) continue;
        // Two downloads of one video would write into one file: its own row
        // is the one to start again.
        if (isStopped(*row)) {
            restartRow(row);
            notifyChanged();
            return DownloadStart::Restarted;
        }
        Log::format("Already downloading: %@", video->title().value_or(std::string()));
        return DownloadStart::AlreadyDownloading;
    }
    std::optional<std::string> source = video->src();
    if (UserDefaults::standardUserDefaults()->boolForKey(kDownloadHDKey) && video->srcHD()) source = video->srcHD();

    auto row = std::make_shared<Row>();
    row->video = video;
    row->status = kStatusDownloading;
    row->path = path;
    // Whatever an earlier run left at the path is not part of this download.
    FileManager::removeItem(path);
    if (!source || !startDownload(row, *source)) row->status = kStatusFailed;
    rows_.push_back(row);
    notifyChanged();
    return DownloadStart::Started;
}

bool DownloadList::isStopped(const Row& row) {
    return !row.operation || row.operation->isCancelled() || row.status == kStatusFailed;
}

void DownloadList::restartRow(const std::shared_ptr<Row>& row) {
    row->status = kStatusDownloading;
    row->progress = 0;
    row->path = downloadPathForVideo(*row->video);
    FileManager::removeItem(row->path);
    const auto source = row->video->src();
    if (!source || !startDownload(row, *source)) row->status = kStatusFailed;
}

void DownloadList::restartOrCancelRow(std::size_t index) {
    if (index >= rows_.size()) return;
    auto row = rows_[index];
    if (isStopped(*row)) {
        restartRow(row);
    } else {
        // The engine drops the partial file with the operation; a finished
        // file still waiting for the album goes as well.
        row->operation->cancel();
        row->status = kStatusCancelled;
        FileManager::removeItem(row->path);
    }
    notifyChanged();
}

void DownloadList::deleteRow(std::size_t index) {
    if (index >= rows_.size()) return;
    auto row = rows_[index];
    if (row->operation) row->operation->cancel();
    FileManager::removeItem(row->path);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
    notifyChanged();
}

bool DownloadList::startDownload(const std::shared_ptr<Row>& row, const std::string& source) {
    if (!engine_) return false;
    auto operation = engine_->downloadVideoToFile(source, row->path);
    if (!operation) return false;
    operation->setFreezable(true);
    row->operation = operation;

    // The engine calls these on the main thread.
    std::weak_ptr<DownloadList> weakSelf = weak_from_this();
    std::weak_ptr<BKNetworkOperation> weakOperation = operation;
    std::weak_ptr<Row> weakRow = row;
    const std::string path = row->path;
    operation->onCompletionOnError(
        [weakSelf, path](const std::shared_ptr<BKNetworkOperation>& completed) {
            if (auto self = weakSelf.lock()) self->downloadFinished(completed, path);
        },
        [weakSelf, weakOperation](const Error&) {
            auto self = weakSelf.lock();
            auto failed = weakOperation.lock();
            if (self && failed) self->downloadFailed(failed);
        });
    operation->onDownloadProgressChanged([weakRow](double progress) {
        if (auto r = weakRow.lock()) r->progress = progress;
    });
    return true;
}

std::shared_ptr<DownloadList::Row> DownloadList::rowForOperation(
    const std::shared_ptr<BKNetworkOperation>& operation) const {
    for (const auto& row : rows_)
        if (operation && row->operation == operation) return row;
    return nullptr;
}

void DownloadList::markFailed(const std::shared_ptr<Row>& row) {
    if (row->operation) row->operation->cancel();
    row->status = kStatusFailed;
    notifyChanged();
}

void DownloadList::downloadFailed(const std::shared_ptr<BKNetworkOperation>& operation) {
    if (auto row = rowForOperation(operation)) markFailed(row);
}

void DownloadList::downloadFinished(const std::shared_ptr<BKNetworkOperation>& operation, const std::string& path) {
    auto row = rowForOperation(operation);
    const URL fileURL = URL::fileURLWithPath(path);
    if (!PhotoAlbum::videoAtPathIsCompatibleWithSavedPhotosAlbum(fileURL)) {
        // Not a movie the album takes (an error page, a damaged file): the
        // row shows the failure so the user can try again.
        FileManager::removeItem(path);
        if (row) markFailed(row);
        return;
    }
    std::weak_ptr<DownloadList> weakSelf = weak_from_this();
    PhotoAlbum::writeVideoAtPathToSavedPhotosAlbum(
        fileURL, [weakSelf, row, path](const std::optional<URL>&, const std::optional<Error>& error) {
            if (auto self = weakSelf.lock()) self->photoAlbumSaveCompletion(row, path, error);
        });
}

void DownloadList::photoAlbumSaveCompletion(const std::shared_ptr<Row>& row, const std::string& path,
                                            const std::optional<Error>& error) {
    if (!row || std::find(rows_.begin(), rows_.end(), row) == rows_.end()) return;
    if (error) {
        markFailed(row);
        return;
    }
    rows_.erase(std::remove(rows_.begin(), rows_.end(), row), rows_.end());
    FileManager::removeItem(path);
    notifyChanged();
}

void DownloadList::save() const {
    Value::Array archived;
    for (const auto& row : rows_) {
        Value::Dictionary entry;
        if (row->video) entry.emplace("video", Value(std::static_pointer_cast<Object>(row->video)));
        entry.emplace("status", Value(row->status));
        entry.emplace("path", Value(row->path));
        archived.emplace_back(std::move(entry));
    }
    Utility::saveFileToDiskKeyPath(Value(std::move(archived)), kArchiveKey,
                                   FileManager::documentsDirectory() + "/" + kArchiveKey);
}

void DownloadList::removeUnownedFiles() const {
    namespace fs = std::filesystem;
    const fs::path caches = FileManager::cachesDirectory();
    std::vector<std::string> owned;
    for (const auto& row : rows_) owned.push_back(fs::path(row->path).filename().string());
    std::error_code code;
    std::vector<fs::path> unowned;
    for (fs::directory_iterator it(caches, code), end; !code && it != end; it.increment(code)) {
        // Only regular files directly in Caches: the engines' cache folders
        // and anything else stay.
        std::error_code statusCode;
        if (!it->is_regular_file(statusCode) || it->is_symlink(statusCode)) continue;
        const auto name = downloadNameOf(it->path().filename().string());
        if (name && std::find(owned.begin(), owned.end(), *name) == owned.end()) unowned.push_back(it->path());
    }
    for (const auto& path : unowned) {
        Log::format("Removing a download no row owns: %@", path.filename().string());
        FileManager::removeItem(path.string());
    }
}

}  // namespace clipora
