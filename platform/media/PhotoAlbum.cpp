#include "platform/media/PhotoAlbum.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UUID.h"
#include "platform/uikit/Image.h"

namespace clipora::platform {

namespace {

struct Injection {
    std::mutex mutex;
    std::optional<Error> error;
    int remaining = 0;
};

Injection& injection() {
    static Injection value;
    return value;
}

std::optional<Error> takeInjectedFailure() {
    Injection& inj = injection();
    std::lock_guard lock(inj.mutex);
    if (inj.remaining <= 0 || !inj.error) return std::nullopt;
    --inj.remaining;
    return inj.error;
}

std::optional<std::string> pathOf(const URL& url) {
    if (url.scheme().empty() || url.isFileURL()) {
        std::string path = url.path();
        if (!path.empty()) return path;
    }
    return std::nullopt;
}

Error albumError(std::int64_t code, const std::string& description) {
    return Error::withDescription(std::string(PhotoAlbum::kErrorDomain), code, description);
}

// The file's first box header: 4 bytes of size, 4 of type.
std::optional<std::string> firstBoxType(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::array<char, 8> header{};
    if (!in.read(header.data(), header.size())) return std::nullopt;
    return std::string(header.data() + 4, 4);
}

void onMain(std::function<void()> task) { RunLoop::main()->perform(std::move(task)); }

// Copies `source` into the album as <uuid>.<ext> (on the calling thread).
// Answers the asset URL or the error.
std::pair<std::optional<URL>, std::optional<Error>> copyIntoAlbum(const std::string& source, const std::string& album,
                                                                  const std::string& extension) {
    std::optional<Error> error;
    if (!FileManager::createDirectory(album, true, &error)) {
        return {std::nullopt, albumError(PhotoAlbum::kErrorWriteFailed, "The album folder could not be made.")};
    }
    std::string id = UUID::newUUIDString();
    std::string name = id + "." + extension;
    std::filesystem::path target = std::filesystem::path(album) / name;
    std::filesystem::path partial = std::filesystem::path(album) / ("." + name + ".partial");
    // Copy under a hidden name first so the album never lists half a video.
    if (!FileManager::copyItem(source, partial, &error) || !FileManager::moveItem(partial, target, &error)) {
        std::error_code ec;
        std::filesystem::remove(partial, ec);
        Error failure = albumError(PhotoAlbum::kErrorWriteFailed, "The video could not be written to the album.");
        if (error) failure.setUnderlyingError(*error);
        return {std::nullopt, failure};
    }
    return {URL::fromString("photo-album://asset/" + name), std::nullopt};
}

}  // namespace

std::string PhotoAlbum::albumDirectory() {
    return (std::filesystem::path(FileManager::homeDirectory()) / "PhotoAlbum").string();
}

std::vector<std::string> PhotoAlbum::savedFiles() {
    std::vector<std::string> files;
    auto names = FileManager::contentsOfDirectory(albumDirectory());
    if (!names) return files;
    for (const auto& name : *names) {
        if (!name.empty() && name[0] != '.') files.push_back((std::filesystem::path(albumDirectory()) / name).string());
    }
    return files;
}

void PhotoAlbum::injectFailure(const Error& error, int count) {
    std::lock_guard lock(injection().mutex);
    injection().error = error;
    injection().remaining = count;
}

void PhotoAlbum::clearInjectedFailures() {
    std::lock_guard lock(injection().mutex);
    injection().error.reset();
    injection().remaining = 0;
}

bool PhotoAlbum::videoAtPathIsCompatibleWithSavedPhotosAlbum(const URL& url) {
    auto path = pathOf(url);
    return path && videoAtPathIsCompatibleWithSavedPhotosAlbum(*path);
}

bool PhotoAlbum::videoAtPathIsCompatibleWithSavedPhotosAlbum(const std::string& path) {
    std::string ext = Text::lowercase(std::filesystem::path(path).extension().string());
    bool mp4 = ext == ".mp4" || ext == ".m4v";
    bool mov = ext == ".mov";
    if (!mp4 && !mov) return false;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    auto type = firstBoxType(path);
    if (!type) return false;
    if (*type == "ftyp") return true;
    if (mp4) return false;
    return *type == "moov" || *type == "mdat" || *type == "wide" || *type == "free" || *type == "skip" ||
           *type == "pnot";
}

void PhotoAlbum::writeVideoAtPathToSavedPhotosAlbum(const URL& url, WriteCompletion completion) {
    auto report = [completion](std::optional<URL> asset, std::optional<Error> error) {
        onMain([completion, asset = std::move(asset), error = std::move(error)] {
            if (completion) completion(asset, error);
        });
    };
    if (auto failure = takeInjectedFailure()) {
        report(std::nullopt, failure);
        return;
    }
    auto path = pathOf(url);
    if (!path || !FileManager::fileExists(*path)) {
        report(std::nullopt, albumError(kErrorDataUnavailable, "The video file could not be read."));
        return;
    }
    if (!videoAtPathIsCompatibleWithSavedPhotosAlbum(*path)) {
        report(std::nullopt, albumError(kErrorWriteIncompatibleData, "The video is not compatible with the album."));
        return;
    }
    // The home is read now, on the caller's thread, so that the copy lands in
    // the album of the home in force when it was asked for.
    std::string album = albumDirectory();
    std::string ext = Text::lowercase(std::filesystem::path(*path).extension().string().substr(1));
    std::string source = *path;
    DispatchQueue::global()->async([source, album, ext, report] {
        auto [asset, error] = copyIntoAlbum(source, album, ext);
        report(std::move(asset), std::move(error));
    });
}

void PhotoAlbum::saveVideoAtPathToSavedPhotosAlbum(const std::string& path, SaveCompletion completion) {
    writeVideoAtPathToSavedPhotosAlbum(
        URL::fileURLWithPath(path), [path, completion](const std::optional<URL>&, const std::optional<Error>& error) {
            if (completion) completion(path, error);
        });
}

void PhotoAlbum::writeImageToSavedPhotosAlbum(const std::shared_ptr<Image>& image, WriteCompletion completion) {
    auto report = [completion](std::optional<URL> asset, std::optional<Error> error) {
        onMain([completion, asset = std::move(asset), error = std::move(error)] {
            if (completion) completion(asset, error);
        });
    };
    if (auto failure = takeInjectedFailure()) {
        report(std::nullopt, failure);
        return;
    }
    Data png = image ? image->pngRepresentation() : Data{};
    if (png.empty()) {
        report(std::nullopt, albumError(kErrorWriteIncompatibleData, "The picture could not be encoded."));
        return;
    }
    std::string album = albumDirectory();
    DispatchQueue::global()->async([png = std::move(png), album, report] {
        std::optional<Error> error;
        if (!FileManager::createDirectory(album, true, &error)) {
            report(std::nullopt, albumError(kErrorWriteFailed, "The album folder could not be made."));
            return;
        }
        std::string name = UUID::newUUIDString() + ".png";
        if (!FileManager::writeData(std::filesystem::path(album) / name, png, true, &error)) {
            report(std::nullopt, albumError(kErrorWriteFailed, "The picture could not be written to the album."));
            return;
        }
        report(URL::fromString("photo-album://asset/" + name), std::nullopt);
    });
}

}  // namespace clipora::platform
