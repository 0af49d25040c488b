#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/request/RQDataDecompressor.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/OutputStream.h"

namespace clipora {

// Where one request's response body goes as it arrives: the download file
// (and, when it is inflated on the fly, the inflated file beside it) and
// the decompressor of an attempt; the partial file of a resumed download
// (its size, whether a part continues it); and the last step of a
// download, putting the finished file onto its destination.
//
// Contract:
// - Threads: the request's own thread writes; reset() and closeFiles() may
//   also come from another thread while the request is cancelled or goes
//   away (one lock guards the streams and the decompressor; a write holds
//   no lock while it writes).
// - Ownership: the writer owns the open streams and the decompressor; the
//   request owns the paths and decides where the body goes.
// - Order, per attempt: openFiles() once the head says the body is the
//   download, write() or inflate() for each piece, then finishInflating()
//   and closeFiles(); reset() forgets everything of an attempt that ends
//   early (a retry, a cancel). Failures come back as RQError values; the
//   writer never fails the request itself.
class RQResponseBodyWriter {
public:
    RQResponseBodyWriter() = default;
    RQResponseBodyWriter(const RQResponseBodyWriter&) = delete;
    RQResponseBodyWriter& operator=(const RQResponseBodyWriter&) = delete;
    ~RQResponseBodyWriter();

    // The attempt's decompressor, made on first use. `unbounded`: no
    // ceiling on the inflated length (files and delegates take what comes;
    // in memory the ceiling guards against a small body that inflates to
    // gigabytes).
    std::shared_ptr<RQDataDecompressor> decompressor(bool unbounded);
    // Inflates one piece into `sink` through the attempt's decompressor.
    std::optional<platform::Error> inflate(const std::uint8_t* bytes, std::size_t length,
                                           const platform::Inflater::Sink& sink);
    // Ends the attempt's decompressor: with `check`, a compressed stream
    // that stopped before its end is an error.
    std::optional<platform::Error> finishInflating(bool check);

    bool hasOpenFiles() const;
    // Opens the download file at `path` (appending when resuming) and, when
    // `inflatedPath` is not empty, the inflated file there.
    void openFiles(const std::string& path, const std::string& inflatedPath, bool append);
    // Writes a piece to the download file and, with `inflateToo`, its
    // inflated bytes to the inflated file.
    std::optional<platform::Error> write(const std::uint8_t* bytes, std::size_t length, bool inflateToo,
                                         const std::string& path, const std::string& inflatedPath);
    void closeFiles();
    // Closes the files and forgets the decompressor.
    void reset();

    // A new temporary file beside `destination`, in the same folder so the
    // final move is a rename.
    static std::string temporaryPathBeside(const std::string& destination);
    // The size of the partial file at `path`, or the error saying its
    // attributes could not be read.
    static std::optional<std::uint64_t> partialFileSize(const std::string& path, std::optional<platform::Error>* error);
    // Whether a partial answer continues the partial file of `partialSize`
    // bytes: only a part whose "Content-Range" starts where the file ends
    // does; any other part would corrupt it, and the error says so.
    static std::optional<platform::Error> checkContinuation(const std::optional<std::string>& contentRange,
                                                            std::uint64_t partialSize);

    // How a finished download reaches its destination.
    enum class Finish {
        Move,         // the body as received: the download file is moved
        InflateFile,  // a compressed body kept whole: inflated file to file
        MoveInflated  // a compressed body inflated on the fly: its inflated file is moved
    };
    // Puts the finished download onto `destination`. `earlier` is a failure
    // of the attempt so far (a truncated inflation): with it, the inflated
    // file is not moved but removed. The caller removes the download file
    // afterwards, except after a plain move.
    static std::optional<platform::Error> finishDownload(Finish how, const std::string& path,
                                                         const std::string& inflatedPath,
                                                         const std::string& destination,
                                                         std::optional<platform::Error> earlier);

    // Replaces `destination` with the finished file at `path` (a rename
    // within the folder).
    static std::optional<platform::Error> moveIntoPlace(const std::string& path, const std::string& destination);
    // Removes the file at `path` if there is one; the error says which file
    // could not be removed.
    static std::optional<platform::Error> removeFile(const std::string& path);

private:
    static std::optional<platform::Error> writeFailure(const platform::OutputStream& stream, const std::string& path);

    mutable std::mutex mutex_;
    std::shared_ptr<RQDataDecompressor> decompressor_;
    std::shared_ptr<platform::OutputStream> file_;
    std::shared_ptr<platform::OutputStream> inflatedFile_;
};

}  // namespace clipora
