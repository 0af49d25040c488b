#include "platform/foundation/InputStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clipora::platform {

std::shared_ptr<InputStream> InputStream::withFile(const std::filesystem::path& path) {
    std::shared_ptr<InputStream> stream(new InputStream());
    stream->source_ = Source::File;
    stream->path_ = path;
    return stream;
}

std::shared_ptr<InputStream> InputStream::withData(Data data) {
    std::shared_ptr<InputStream> stream(new InputStream());
    stream->source_ = Source::Memory;
    stream->bytes_ = std::move(data);
    return stream;
}

InputStream::~InputStream() {
    if (fd_ >= 0) ::close(fd_);
}

void InputStream::open() {
    if (status() != Status::NotOpen) return;
    setStatus(Status::Opening);
    if (source_ == Source::File) {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
            ::close(fd_);
            fd_ = -1;
            errno = EISDIR;
        }
        if (fd_ < 0) {
            fail(Error::fromErrno(errno, path_.string()));
            return;
        }
    }
    setStatus(Status::Open);
    queueEvents(OpenCompleted | (hasBytesAvailable() ? HasBytesAvailable : EndEncountered));
}

void InputStream::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (status() != Status::Error) setStatus(Status::Closed);
    unscheduleAll();
}

std::int64_t InputStream::read(std::uint8_t* buffer, std::size_t maxLength) {
    Status current = status();
    if (current == Status::AtEnd) return 0;
    if (current != Status::Open && current != Status::Reading) return -1;
    if (maxLength == 0 || !buffer) return 0;
    std::int64_t count;
    if (source_ == Source::Memory) {
        std::size_t n = std::min(maxLength, bytes_.size() - offset_);
        std::memcpy(buffer, bytes_.data() + offset_, n);
        offset_ += n;
        count = static_cast<std::int64_t>(n);
    } else {
        ssize_t n;
        do {
            n = ::read(fd_, buffer, maxLength);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            fail(Error::fromErrno(errno, path_.string()));
            return -1;
        }
        count = n;
    }
    if (count == 0 || !hasBytesAvailable()) {
        setStatus(Status::AtEnd);
        queueEvents(EndEncountered);
    } else {
        queueEvents(HasBytesAvailable);
    }
    return count;
}

bool InputStream::hasBytesAvailable() const {
    Status current = status();
    if (current != Status::Open && current != Status::Reading) return false;
    if (source_ == Source::Memory) return offset_ < bytes_.size();
    // A file has bytes while the read position is short of its size.
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return true;  // let read() report the failure
    off_t position = ::lseek(fd_, 0, SEEK_CUR);
    return position < 0 || position < info.st_size;
}

}  // namespace clipora::platform
