#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "platform/foundation/Stream.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// A stream of bytes written to a file (truncated or appended to; created
// when missing) or collected in memory.
//
// open() (once) then write(); a file that cannot be opened puts the stream
// into the Error status at open(). write() may be overridden by a wrapper.
class OutputStream : public Stream {
public:
    static std::shared_ptr<OutputStream> toFile(const std::filesystem::path& path, bool append);
    static std::shared_ptr<OutputStream> toMemory();

    ~OutputStream() override;

    void open() override;
    void close() override;
    // Writes up to `length` bytes: the count written (all of them for files
    // and memory), or -1 when the stream is not open or writing failed.
    virtual std::int64_t write(const std::uint8_t* bytes, std::size_t length);
    std::int64_t write(const Data& bytes) { return write(bytes.data(), bytes.size()); }
    // True while the stream is open.
    virtual bool hasSpaceAvailable() const;

    // What a memory stream has collected so far (empty for file streams).
    Data dataWritten() const;

protected:
    OutputStream() = default;

private:
    enum class Sink { File, Memory };
    Sink sink_ = Sink::Memory;
    std::filesystem::path path_;
    bool append_ = false;
    Data bytes_;
    int fd_ = -1;
};

}  // namespace clipora::platform
