#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/request/RQInputStream.h"
#include "net/request/RQLockedProperty.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/OutputStream.h"
#include "platform/foundation/Value.h"

namespace clipora {

// The body one request sends: in memory, or in a file (the caller's, or a
// temporary one the body is written to as it is appended), gzip-compressed
// when asked, and the stream each attempt reads it through.
//
// Contract:
// - Ownership: part of its request (made with it, never outliving it). It
//   owns the body, the temporary files it made (a body file it chose, the
//   compressed copy of any body file) and the open streams; when it goes,
//   the streams are closed and its temporary files removed.
// - Threads: the properties are kept under the request's property mutex
//   (the one given to the constructor) and may be read and set from any
//   thread; the body is appended before the request starts, built and
//   read on the request's thread.
// - Order: setUp() and append() while the caller fills it; build() once
//   before the first attempt (it measures and compresses); openStream() for
//   each attempt and closeStream() when the attempt ends. The temporary
//   files stay until the request ends (a retry on a new connection and a
//   307 send the same body again). Failures come back as RQError values;
//   the body never fails the request itself.
class RQRequestBody {
public:
    explicit RQRequestBody(std::mutex& propertyMutex);
    RQRequestBody(const RQRequestBody&) = delete;
    RQRequestBody& operator=(const RQRequestBody&) = delete;
    ~RQRequestBody();

    RQLockedProperty<std::optional<platform::Data>> data;
    RQLockedProperty<std::string> filePath;
    std::atomic<std::uint64_t> length{0};
    std::atomic<bool> built{false};
    std::atomic<bool> streamFromDisk{false};
    std::atomic<bool> madeTemporaryFile{false};
    std::atomic<bool> compress{false};

    // Makes room for appending: the (temporary) file opened for writing, or
    // an empty body in memory.
    void setUp();
    // Adds bytes in memory or to the file; a write that fails (a full
    // disk) is an error: a body cut short must never go out as if whole.
    std::optional<platform::Error> append(const std::uint8_t* bytes, std::size_t count);
    // Adds the contents of the file at `path`.
    std::optional<platform::Error> appendFile(const std::string& path);
    // Closes the file being written, compresses the body when asked and
    // sets `length` to what will be sent.
    std::optional<platform::Error> build();

    // The stream an attempt sends the body through (none without a body);
    // kept until closeStream().
    std::shared_ptr<platform::InputStream> openStream(const std::shared_ptr<RQInputStreamOwner>& owner);
    void closeStream();

    // Removes the temporary files the body made (the compressed copy of a
    // caller's file too, never the caller's file); the error names the file
    // that could not be removed.
    std::optional<platform::Error> removeTemporaryFiles();
    // The same after a failure: a removal that fails is not reported.
    void removeTemporaryFilesQuietly();

private:
    RQLockedProperty<std::optional<platform::Data>> compressedData_;
    RQLockedProperty<std::string> compressedFilePath_;
    RQLockedProperty<std::shared_ptr<platform::OutputStream>> writeStream_;
    RQLockedProperty<std::shared_ptr<platform::InputStream>> readStream_;
    std::mutex& mutex_;
};

}  // namespace clipora
