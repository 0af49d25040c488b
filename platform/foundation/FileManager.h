#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// What the file manager tells about one item.
struct FileAttributes {
    std::uint64_t size = 0;
    Date modificationDate;
    bool isDirectory = false;
    bool isSymbolicLink = false;
    unsigned permissions = 0;  // the POSIX mode bits (0644, 0600, ...)
};

// Files and folders, and the application's home folder.
//
// The home is the folder setHomeDirectory() named (a fresh temporary folder
// in tests); without one, $CLIPORA_HOME, else $XDG_DATA_HOME/clipora, else
// $HOME/.local/share/clipora. It is looked up anew on every call, so a test
// that names another home is followed at once. The home is set in the process
// rather than in its environment, so that no thread reads the environment
// while another rewrites it. Its standard folders (Documents, Library/Caches,
// Library/Preferences, tmp) are created when first asked for.
//
// Every operation is safe from any thread. Operations that can fail answer
// false / std::nullopt and, when `error` is given, store an Error of the POSIX
// domain (code = errno) with the path under Error::kFilePathKey.
class FileManager {
public:
    using Path = std::filesystem::path;

    FileManager() = delete;

    // ---- The home and its folders (created on demand) ----
    static std::string homeDirectory();
    // Names the home for the whole process (std::nullopt or empty: back to
    // the environment's); answers the one named before.
    static std::optional<std::string> setHomeDirectory(std::optional<std::string> path);
    static std::string documentsDirectory();
    static std::string libraryDirectory();
    static std::string cachesDirectory();
    static std::string preferencesDirectory();
    static std::string temporaryDirectory();

    // ---- Queries ----
    static bool fileExists(const Path& path);
    static bool isDirectory(const Path& path);
    static std::optional<FileAttributes> attributesOfItem(const Path& path, std::optional<Error>* error = nullptr);
    static std::optional<std::uint64_t> fileSize(const Path& path);
    // Names (not paths) of the entries of a folder, sorted.
    static std::optional<std::vector<std::string>> contentsOfDirectory(const Path& path,
                                                                       std::optional<Error>* error = nullptr);

    // ---- Changes ----
    // Without intermediates the parent must exist and the folder must not;
    // with them, every missing folder on the way is made and an existing
    // folder is success.
    static bool createDirectory(const Path& path, bool withIntermediateDirectories,
                                std::optional<Error>* error = nullptr);
    // Removes a file, or a folder with everything in it. A missing item is an
    // error (ENOENT).
    static bool removeItem(const Path& path, std::optional<Error>* error = nullptr);
    // Fails when the destination exists (EEXIST). Works across file systems.
    static bool moveItem(const Path& from, const Path& to, std::optional<Error>* error = nullptr);
    // Copies a file or a whole folder; fails when the destination exists.
    static bool copyItem(const Path& from, const Path& to, std::optional<Error>* error = nullptr);
    // Moves a store that cannot be read out of the way, beside itself, as
    // "<path>.unreadable-<seconds since 1970>" ("-2", "-3" ... appended when
    // that name is taken), so that a new store can start without the old
    // bytes being lost. Answers the new path.
    static std::optional<Path> moveItemAside(const Path& path, std::optional<Error>* error = nullptr);

    // ---- Contents ----
    static std::optional<Data> contentsOfFile(const Path& path, std::optional<Error>* error = nullptr);
    // Atomically: the bytes go to a temporary file beside the destination,
    // which is flushed to disk and then renamed over it, so a reader sees the
    // old contents or the new ones, never a part. A file that already exists
    // keeps its permissions; a new one gets 0666 less the umask.
    // Not atomically: the file is truncated and written in place.
    static bool writeData(const Path& path, const Data& data, bool atomically = true,
                          std::optional<Error>* error = nullptr);
    // An atomic write whose file is readable and writable by its owner only
    // (0600) from the moment it exists (credential and cookie stores).
    static bool writePrivateData(const Path& path, const Data& data, std::optional<Error>* error = nullptr);
    // Creates (or replaces) a file with the given contents, atomically.
    static bool createFile(const Path& path, const Data& contents = {}, std::optional<Error>* error = nullptr);

    // ---- Permissions ----
    static std::optional<unsigned> permissions(const Path& path);
    static bool setPermissions(const Path& path, unsigned mode, std::optional<Error>* error = nullptr);
    // 0600: owner read and write only.
    static bool makePrivate(const Path& path, std::optional<Error>* error = nullptr) {
        return setPermissions(path, 0600, error);
    }

    // ---- Extended attributes ----
    // Named attributes of a file (a backup-exclusion mark, say). They live in
    // the file system's "user." namespace; a file system without them makes
    // the set fail (ENOTSUP) and the read answer std::nullopt.
    static bool setExtendedAttribute(const Path& path, const std::string& name, const Data& value,
                                     std::optional<Error>* error = nullptr);
    static std::optional<Data> extendedAttribute(const Path& path, const std::string& name);
};

}  // namespace clipora::platform
