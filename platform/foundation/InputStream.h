#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "platform/foundation/Stream.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// A stream of bytes read from a file or from bytes in memory.
//
// open() (once) then read() until it answers 0 (end) or -1 (failure, with
// error()). A file that cannot be opened puts the stream into the Error
// status at open(). read(), hasBytesAvailable() and close() may be overridden
// by a wrapper that forwards to another stream.
class InputStream : public Stream {
public:
    static std::shared_ptr<InputStream> withFile(const std::filesystem::path& path);
    static std::shared_ptr<InputStream> withData(Data data);

    ~InputStream() override;

    void open() override;
    void close() override;
    // Up to `maxLength` bytes into `buffer`: the count read, 0 at the end,
    // -1 when the stream is not open or reading failed.
    virtual std::int64_t read(std::uint8_t* buffer, std::size_t maxLength);
    // True while the stream is open and not yet at its end.
    virtual bool hasBytesAvailable() const;

protected:
    InputStream() = default;

private:
    enum class Source { File, Memory };
    Source source_ = Source::Memory;
    std::filesystem::path path_;
    Data bytes_;
    std::size_t offset_ = 0;  // memory streams
    int fd_ = -1;             // file streams
};

}  // namespace clipora::platform
