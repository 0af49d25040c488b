#include "net/DownloadFile.h"

#include <algorithm>
#include <utility>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/UUID.h"

namespace clipora {

using platform::Error;
using platform::FileManager;

std::shared_ptr<DownloadFile> DownloadFile::toDestination(const std::filesystem::path& destination) {
    return std::make_shared<DownloadFile>(Passkey{}, destination);
}

DownloadFile::DownloadFile(Passkey, std::filesystem::path destination)
    : destination_(std::move(destination)), temporary_(temporaryPathBeside(destination_)) {}

DownloadFile::~DownloadFile() { discard(); }

std::filesystem::path DownloadFile::temporaryPathBeside(const std::filesystem::path& destination) {
    return destination.parent_path() /
           ("." + destination.filename().string() + "." + platform::UUID::newUUIDString() + ".download");
}

std::optional<std::string> DownloadFile::destinationNameOfTemporary(std::string_view fileName) {
    constexpr std::string_view kSuffix = ".download";
    constexpr std::size_t kUUIDLength = 36;
    if (fileName.size() < 1 + 1 + 1 + kUUIDLength + kSuffix.size() || fileName.front() != '.' ||
        fileName.substr(fileName.size() - kSuffix.size()) != kSuffix)
        return std::nullopt;
    const std::string_view stem = fileName.substr(1, fileName.size() - 1 - kSuffix.size());  // "<name>.<UUID>"
    const std::string_view uuid = stem.substr(stem.size() - kUUIDLength);
    const bool uuidLike = std::all_of(uuid.begin(), uuid.end(), [](char c) {
        return c == '-' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
    const std::string_view named = stem.substr(0, stem.size() - kUUIDLength);
    if (!uuidLike || named.size() < 2 || named.back() != '.') return std::nullopt;
    return std::string(named.substr(0, named.size() - 1));
}

std::optional<Error> DownloadFile::checkDestination(const std::filesystem::path& destination) {
    // Only a regular file is ever replaced: a rename onto a folder, a device
    // or a pipe would destroy something that is not a download.
    std::error_code code;
    const auto status = std::filesystem::status(destination, code);
    if (code || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status)) return std::nullopt;
    return Error::fromErrno(std::filesystem::is_directory(status) ? EISDIR : EINVAL, destination.string());
}

void DownloadFile::open() {
    if (status() != Status::NotOpen) return;
    setStatus(Status::Opening);
    if (auto refused = checkDestination(destination_)) {
        fail(*refused);
        return;
    }
    file_ = platform::OutputStream::toFile(temporary_, false);
    file_->open();
    if (file_->status() == Status::Error) {
        fail(file_->error().value_or(Error::fromErrno(EIO, temporary_.string())));
        return;
    }
    setStatus(Status::Open);
    queueEvents(OpenCompleted | HasSpaceAvailable);
}

void DownloadFile::close() {
    if (file_) file_->close();
    if (status() != Status::Error && status() != Status::NotOpen) setStatus(Status::Closed);
    unscheduleAll();
}

std::int64_t DownloadFile::write(const std::uint8_t* bytes, std::size_t length) {
    if (!file_ || (status() != Status::Open && status() != Status::Writing)) return -1;
    const std::int64_t written = file_->write(bytes, length);
    if (written < 0) fail(file_->error().value_or(Error::fromErrno(EIO, temporary_.string())));
    return written;
}

bool DownloadFile::hasSpaceAvailable() const { return file_ && file_->hasSpaceAvailable(); }

bool DownloadFile::commit(std::optional<Error>* error) {
    close();
    if (committed_) return true;
    if (auto refused = checkDestination(destination_); refused && !this->error()) fail(*refused);
    if (!file_ || status() == Status::Error) {
        if (error) *error = this->error().value_or(Error::fromErrno(EIO, temporary_.string()));
        discard();
        return false;
    }
    // One folder: the rename replaces the old file in one step, so the
    // destination holds either the old file or the whole new one.
    std::error_code code;
    std::filesystem::rename(temporary_, destination_, code);
    if (code) {
        if (error) *error = Error::fromErrno(code.value(), destination_.string());
        discard();
        return false;
    }
    committed_ = true;
    return true;
}

void DownloadFile::discard() {
    close();
    if (committed_ || !file_) return;
    FileManager::removeItem(temporary_);
    file_.reset();
}

}  // namespace clipora
