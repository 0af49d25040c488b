#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"

namespace clipora::platform {

class Image;

// The device's saved-photos album: a folder, <home>/PhotoAlbum, into which
// videos (and pictures) are copied. Copies run on a background queue; every
// completion runs on the main run loop. Failures can be injected for tests.
//
// A video is compatible when its file name ends in ".mp4", ".m4v" or ".mov"
// (any case), the file exists, and its first bytes are an ISO media box
// header ("ftyp" for MP4; "ftyp", "moov", "mdat", "wide", "free", "skip" or
// "pnot" for a QuickTime movie).
class PhotoAlbum {
public:
    static constexpr std::string_view kErrorDomain = "PhotoAlbumErrorDomain";
    static constexpr std::int64_t kErrorUnknown = -1;
    static constexpr std::int64_t kErrorWriteFailed = -3300;
    static constexpr std::int64_t kErrorWriteIncompatibleData = -3302;
    static constexpr std::int64_t kErrorDataUnavailable = -3310;

    // (asset URL, error): exactly one is present.
    using WriteCompletion = std::function<void(const std::optional<URL>& assetURL, const std::optional<Error>& error)>;
    // (the path given, error or none).
    using SaveCompletion = std::function<void(const std::string& path, const std::optional<Error>& error)>;

    PhotoAlbum() = delete;

    // A file URL, or a URL without a scheme whose text is the path.
    static bool videoAtPathIsCompatibleWithSavedPhotosAlbum(const URL& url);
    static bool videoAtPathIsCompatibleWithSavedPhotosAlbum(const std::string& path);
    // Copies the video into the album and reports the new asset's URL
    // ("photo-album://asset/<id>.<ext>"), or an error: incompatible video
    // (kErrorWriteIncompatibleData), unreadable source (kErrorDataUnavailable),
    // failed copy (kErrorWriteFailed), or the injected one.
    static void writeVideoAtPathToSavedPhotosAlbum(const URL& url, WriteCompletion completion);
    // The same for a path, reporting (path, error); the completion may be empty.
    static void saveVideoAtPathToSavedPhotosAlbum(const std::string& path, SaveCompletion completion);
    // Stores the picture (as PNG) in the album; the completion may be empty.
    static void writeImageToSavedPhotosAlbum(const std::shared_ptr<Image>& image, WriteCompletion completion = {});

    // <home>/PhotoAlbum (not created by asking).
    static std::string albumDirectory();
    // Paths of the files in the album, sorted by name.
    static std::vector<std::string> savedFiles();

    // The next `count` writes fail with `error` (nothing is copied).
    static void injectFailure(const Error& error, int count = 1);
    static void clearInjectedFailures();
};

}  // namespace clipora::platform
