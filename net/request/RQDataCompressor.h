#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <zlib.h>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Writes gzip data (deflate, default level, 32 KiB window with the gzip
// wrapper) for compressed request bodies. One object holds one zlib stream
// and may be fed in pieces; the class operations compress a whole data
// object or a whole file. Failures are code-11 errors of the request
// engine's domain. One thread at a time.
class RQDataCompressor {
public:
    // File operations work in pieces of this size.
    static constexpr std::size_t kFilePieceLength = 262144;

    // A compressor whose stream is already set up.
    static std::shared_ptr<RQDataCompressor> compressor();

    RQDataCompressor();
    ~RQDataCompressor();
    RQDataCompressor(const RQDataCompressor&) = delete;
    RQDataCompressor& operator=(const RQDataCompressor&) = delete;

    // Initialises the stream when it is not ready.
    std::optional<platform::Error> setupStream();
    // Ends the stream when it is ready.
    std::optional<platform::Error> closeStream();
    bool streamReady() const { return streamReady_; }

    // Compresses one piece; with `shouldFinish` the gzip data is completed.
    // None for a length of 0 (no error) or on failure (error set when asked).
    std::optional<platform::Data> compressBytesLengthErrorShouldFinish(const std::uint8_t* bytes, std::size_t length,
                                                                       std::optional<platform::Error>* error,
                                                                       bool shouldFinish);

    // The whole data as gzip data; none for empty data (no error) or on
    // failure.
    static std::optional<platform::Data> compressDataError(const platform::Data& data,
                                                           std::optional<platform::Error>* error);
    // Compresses the file at `sourcePath` into a new file at
    // `destinationPath` in 256 KiB pieces.
    static bool compressDataFromFileToFileError(const std::string& sourcePath, const std::string& destinationPath,
                                                std::optional<platform::Error>* error);

    // Code 11, "Compression of data failed with code <code>".
    static platform::Error deflateErrorWithCode(int code);

private:
    // One deflate pass over the piece; a 0-length piece is allowed here so
    // that a file ending on a piece boundary can still be finished.
    std::optional<platform::Data> deflatePiece(const std::uint8_t* bytes, std::size_t length,
                                               std::optional<platform::Error>* error, bool shouldFinish);

    z_stream zStream_{};
    bool streamReady_ = false;
};

}  // namespace clipora
