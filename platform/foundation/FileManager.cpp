#include "platform/foundation/FileManager.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/foundation/Clock.h"

namespace clipora::platform {

namespace fs = std::filesystem;

namespace {

void report(std::optional<Error>* error, int errnoValue, const fs::path& path) {
    if (error) *error = Error::fromErrno(errnoValue, path.string());
}

void report(std::optional<Error>* error, const std::error_code& code, const fs::path& path) {
    report(error, code.value() ? code.value() : EIO, path);
}

std::string ensureFolder(const fs::path& path) {
    std::error_code ignored;
    fs::create_directories(path, ignored);
    return path.string();
}

// Writes the whole buffer, retrying after interruptions and short writes.
bool writeAll(int fd, const Data& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A new, exclusive file beside `path`, created with `mode` (less the umask).
int createTemporaryBeside(const fs::path& path, mode_t mode, fs::path& temporary) {
    static std::atomic<std::uint64_t> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t unique = (static_cast<std::uint64_t>(random()) << 32) ^ counter.fetch_add(1);
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%016llx", static_cast<unsigned long long>(unique));
        temporary = path.parent_path() / ("." + path.filename().string() + suffix);
        int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

void syncDirectory(const fs::path& directory) {
    int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool writeAtomically(const fs::path& path, const Data& data, std::optional<unsigned> forcedMode,
                     std::optional<Error>* error) {
    fs::path directory = path.parent_path();
    // A new file takes 0666 less the umask, as any file the process creates;
    // a replaced file keeps its mode; a private file is 0600 from the start.
    std::optional<mode_t> keepMode;
    if (forcedMode) {
        keepMode = static_cast<mode_t>(*forcedMode);
    } else {
        struct stat existing {};
        if (::stat(path.c_str(), &existing) == 0) keepMode = existing.st_mode & 07777;
    }
    fs::path temporary;
    int fd = createTemporaryBeside(path, forcedMode ? static_cast<mode_t>(*forcedMode) : 0666, temporary);
    if (fd < 0) {
        report(error, errno, path);
        return false;
    }
    auto fail = [&](int errnoValue) {
        ::close(fd);
        ::unlink(temporary.c_str());
        report(error, errnoValue, path);
        return false;
    };
    if (keepMode && ::fchmod(fd, *keepMode) != 0) return fail(errno);
    if (!writeAll(fd, data)) return fail(errno);
    if (::fsync(fd) != 0) return fail(errno);
    if (::close(fd) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        report(error, saved, path);
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        report(error, saved, path);
        return false;
    }
    syncDirectory(directory);
    return true;
}

// A move or copy needs its source and must not overwrite anything: a link
// counts as an item of its own, wherever it points.
bool sourceExistsAndTargetFree(const fs::path& from, const fs::path& to, std::optional<Error>* error) {
    std::error_code code;
    if (!fs::exists(fs::symlink_status(from, code))) {
        report(error, ENOENT, from);
        return false;
    }
    if (fs::exists(fs::symlink_status(to, code))) {
        report(error, EEXIST, to);
        return false;
    }
    return true;
}

struct HomeOverride {
    std::mutex mutex;
    std::optional<std::string> path;
};

HomeOverride& homeOverride() {
    // Never destroyed: detached threads may still ask for the home at exit.
    static auto* state = new HomeOverride;
    return *state;
}

}  // namespace

std::optional<std::string> FileManager::setHomeDirectory(std::optional<std::string> path) {
    if (path && path->empty()) path.reset();
    auto& state = homeOverride();
    std::lock_guard lock(state.mutex);
    return std::exchange(state.path, std::move(path));
}

std::string FileManager::homeDirectory() {
    std::optional<std::string> named;
    {
        auto& state = homeOverride();
        std::lock_guard lock(state.mutex);
        named = state.path;
    }
    if (named) return ensureFolder(*named);
    if (const char* home = std::getenv("CLIPORA_HOME"); home && *home) return ensureFolder(home);
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return ensureFolder(fs::path(data) / "clipora");
    if (const char* user = std::getenv("HOME"); user && *user)
        return ensureFolder(fs::path(user) / ".local" / "share" / "clipora");
    return ensureFolder(fs::temp_directory_path() / ("clipora-" + std::to_string(::getuid())));
}

std::string FileManager::documentsDirectory() { return ensureFolder(fs::path(homeDirectory()) / "Documents"); }

std::string FileManager::libraryDirectory() { return ensureFolder(fs::path(homeDirectory()) / "Library"); }

std::string FileManager::cachesDirectory() { return ensureFolder(fs::path(homeDirectory()) / "Library" / "Caches"); }

std::string FileManager::preferencesDirectory() {
    return ensureFolder(fs::path(homeDirectory()) / "Library" / "Preferences");
}

std::string FileManager::temporaryDirectory() { return ensureFolder(fs::path(homeDirectory()) / "tmp"); }

bool FileManager::fileExists(const Path& path) {
    std::error_code code;
    return fs::exists(path, code);
}

bool FileManager::isDirectory(const Path& path) {
    std::error_code code;
    return fs::is_directory(path, code);
}

std::optional<FileAttributes> FileManager::attributesOfItem(const Path& path, std::optional<Error>* error) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        report(error, errno, path);
        return std::nullopt;
    }
    FileAttributes attributes;
    attributes.size = static_cast<std::uint64_t>(info.st_size);
    attributes.isDirectory = S_ISDIR(info.st_mode);
    attributes.isSymbolicLink = S_ISLNK(info.st_mode);
    attributes.permissions = info.st_mode & 07777;
    double seconds = static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9;
    attributes.modificationDate = Date::fromTimeIntervalSince1970(seconds);
    return attributes;
}

std::optional<std::uint64_t> FileManager::fileSize(const Path& path) {
    auto attributes = attributesOfItem(path);
    if (!attributes) return std::nullopt;
    return attributes->size;
}

std::optional<std::vector<std::string>> FileManager::contentsOfDirectory(const Path& path,
                                                                         std::optional<Error>* error) {
    std::error_code code;
    fs::directory_iterator it(path, code);
    if (code) {
        report(error, code, path);
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(code)) {
        if (code) break;
        names.push_back(it->path().filename().string());
    }
    if (code) {
        report(error, code, path);
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool FileManager::createDirectory(const Path& path, bool withIntermediateDirectories, std::optional<Error>* error) {
    if (withIntermediateDirectories) {
        std::error_code code;
        fs::create_directories(path, code);
        if (code) {
            report(error, code, path);
            return false;
        }
        if (!fs::is_directory(path, code)) {
            report(error, ENOTDIR, path);
            return false;
        }
        return true;
    }
    if (::mkdir(path.c_str(), 0777) != 0) {
        report(error, errno, path);
        return false;
    }
    return true;
}

bool FileManager::removeItem(const Path& path, std::optional<Error>* error) {
    std::error_code code;
    auto status = fs::symlink_status(path, code);
    if (code || !fs::exists(status)) {
        report(error, ENOENT, path);
        return false;
    }
    fs::remove_all(path, code);
    if (code) {
        report(error, code, path);
        return false;
    }
    return true;
}

bool FileManager::moveItem(const Path& from, const Path& to, std::optional<Error>* error) {
    if (!sourceExistsAndTargetFree(from, to, error)) return false;
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV) {
        report(error, errno, from);
        return false;
    }
    // Another file system: copy, then remove the original.
    if (!copyItem(from, to, error)) return false;
    return removeItem(from, error);
}

std::optional<FileManager::Path> FileManager::moveItemAside(const Path& path, std::optional<Error>* error) {
    const auto seconds = static_cast<long long>(Clock::now().timeIntervalSince1970());
    const std::string base = path.string() + ".unreadable-" + std::to_string(seconds);
    // A bounded number of tries: an earlier copy of the same second is kept.
    constexpr int kMaxTries = 100;
    for (int n = 1; n <= kMaxTries; ++n) {
        const Path aside = n == 1 ? Path(base) : Path(base + "-" + std::to_string(n));
        std::error_code code;
        if (fs::exists(fs::symlink_status(aside, code))) continue;
        if (!moveItem(path, aside, error)) return std::nullopt;
        return aside;
    }
    report(error, EEXIST, path);
    return std::nullopt;
}

bool FileManager::copyItem(const Path& from, const Path& to, std::optional<Error>* error) {
    if (!sourceExistsAndTargetFree(from, to, error)) return false;
    std::error_code code;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, code);
    if (code) {
        report(error, code, from);
        return false;
    }
    return true;
}

std::optional<Data> FileManager::contentsOfFile(const Path& path, std::optional<Error>* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        report(error, errno, path);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        int saved = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        report(error, saved, path);
        return std::nullopt;
    }
    Data data;
    data.reserve(static_cast<std::size_t>(info.st_size));
    std::uint8_t buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            int saved = errno;
            ::close(fd);
            report(error, saved, path);
            return std::nullopt;
        }
        if (n == 0) break;
        data.insert(data.end(), buffer, buffer + n);
    }
    ::close(fd);
    return data;
}

bool FileManager::writeData(const Path& path, const Data& data, bool atomically, std::optional<Error>* error) {
    if (atomically) return writeAtomically(path, data, std::nullopt, error);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        report(error, errno, path);
        return false;
    }
    if (!writeAll(fd, data)) {
        int saved = errno;
        ::close(fd);
        report(error, saved, path);
        return false;
    }
    if (::close(fd) != 0) {
        report(error, errno, path);
        return false;
    }
    return true;
}

bool FileManager::writePrivateData(const Path& path, const Data& data, std::optional<Error>* error) {
    return writeAtomically(path, data, 0600u, error);
}

bool FileManager::createFile(const Path& path, const Data& contents, std::optional<Error>* error) {
    return writeAtomically(path, contents, std::nullopt, error);
}

std::optional<unsigned> FileManager::permissions(const Path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<unsigned>(info.st_mode & 07777);
}

bool FileManager::setPermissions(const Path& path, unsigned mode, std::optional<Error>* error) {
    if (::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0) {
        report(error, errno, path);
        return false;
    }
    return true;
}

bool FileManager::setExtendedAttribute(const Path& path, const std::string& name, const Data& value,
                                       std::optional<Error>* error) {
    const std::string key = "user." + name;
    if (::setxattr(path.c_str(), key.c_str(), value.data(), value.size(), 0) != 0) {
        report(error, errno, path);
        return false;
    }
    return true;
}

std::optional<Data> FileManager::extendedAttribute(const Path& path, const std::string& name) {
    const std::string key = "user." + name;
    const ssize_t size = ::getxattr(path.c_str(), key.c_str(), nullptr, 0);
    if (size < 0) return std::nullopt;
    Data value(static_cast<std::size_t>(size));
    const ssize_t read = ::getxattr(path.c_str(), key.c_str(), value.data(), value.size());
    if (read < 0) return std::nullopt;
    value.resize(static_cast<std::size_t>(read));
    return value;
}

}  // namespace clipora::platform
