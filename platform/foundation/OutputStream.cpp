#include "platform/foundation/OutputStream.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace clipora::platform {

std::shared_ptr<OutputStream> OutputStream::toFile(const std::filesystem::path& path, bool append) {
    std::shared_ptr<OutputStream> stream(new OutputStream());
    stream->sink_ = Sink::File;
    stream->path_ = path;
    stream->append_ = append;
    return stream;
}

std::shared_ptr<OutputStream> OutputStream::toMemory() {
    std::shared_ptr<OutputStream> stream(new OutputStream());
    stream->sink_ = Sink::Memory;
    return stream;
}

OutputStream::~OutputStream() {
    if (fd_ >= 0) ::close(fd_);
}

void OutputStream::open() {
    if (status() != Status::NotOpen) return;
    setStatus(Status::Opening);
    if (sink_ == Sink::File) {
        int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append_ ? O_APPEND : O_TRUNC);
        fd_ = ::open(path_.c_str(), flags, 0666);
        if (fd_ < 0) {
            fail(Error::fromErrno(errno, path_.string()));
            return;
        }
    }
    setStatus(Status::Open);
    queueEvents(OpenCompleted | HasSpaceAvailable);
}

void OutputStream::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (status() != Status::Error) setStatus(Status::Closed);
    unscheduleAll();
}

std::int64_t OutputStream::write(const std::uint8_t* bytes, std::size_t length) {
    Status current = status();
    if (current != Status::Open && current != Status::Writing) return -1;
    if (length == 0) return 0;
    if (!bytes) return -1;
    if (sink_ == Sink::Memory) {
        bytes_.insert(bytes_.end(), bytes, bytes + length);
    } else {
        std::size_t done = 0;
        while (done < length) {
            ssize_t n = ::write(fd_, bytes + done, length - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                fail(Error::fromErrno(errno, path_.string()));
                return -1;
            }
            done += static_cast<std::size_t>(n);
        }
    }
    queueEvents(HasSpaceAvailable);
    return static_cast<std::int64_t>(length);
}

bool OutputStream::hasSpaceAvailable() const {
    Status current = status();
    return current == Status::Open || current == Status::Writing;
}

Data OutputStream::dataWritten() const { return bytes_; }

}  // namespace clipora::platform
