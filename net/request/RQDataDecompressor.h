#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/cfnetwork/Inflater.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Reads gzip or zlib data (the wrapper is detected from the header; gzip
// members that follow one another are read as one stream) for compressed
// responses: whole, from file to file, or piece by piece while a response
// streams in. The inflating itself is the platform's Inflater, whose one
// reused output buffer keeps a long body from growing the heap piece by
// piece. Failures are code-11 errors of the request engine's domain:
// zlib errors, data that ends before the compressed stream does, and output
// beyond the object's ceiling (a few kilobytes of gzip can stand for
// gigabytes). One thread at a time.
class RQDataDecompressor {
public:
    static constexpr std::size_t kFilePieceLength = 262144;

    // A decompressor whose stream is already set up, with the class's
    // default ceiling.
    static std::shared_ptr<RQDataDecompressor> decompressor();

    RQDataDecompressor();
    ~RQDataDecompressor();
    RQDataDecompressor(const RQDataDecompressor&) = delete;
    RQDataDecompressor& operator=(const RQDataDecompressor&) = delete;

    std::optional<platform::Error> setupStream();
    std::optional<platform::Error> closeStream();
    bool streamReady() const { return streamReady_; }

    // Inflates one piece. None for a length of 0 (no error) or on failure.
    std::optional<platform::Data> uncompressBytesLengthError(const std::uint8_t* bytes, std::size_t length,
                                                             std::optional<platform::Error>* error);
    // Inflates one piece into `sink` (bytes valid during the call only; a
    // sink answering false stops with no error of ours). False on failure,
    // with the error.
    bool uncompressBytesLengthIntoError(const std::uint8_t* bytes, std::size_t length,
                                        const platform::Inflater::Sink& sink, std::optional<platform::Error>* error);

    // Whether the compressed stream has ended (its trailer was read).
    bool streamEnded() const { return inflater_ && inflater_->ended(); }
    // Call when no more input will come: an error when the compressed data
    // stopped before its end (a truncated body). No error when nothing at
    // all was fed.
    std::optional<platform::Error> finishError() const;

    // Total inflated bytes this object may produce; 0 means no ceiling.
    void setMaximumOutputLength(std::uint64_t length) { maximumOutputLength_ = length; }
    std::uint64_t maximumOutputLength() const { return maximumOutputLength_; }
    std::uint64_t totalOutputLength() const { return inflater_ ? inflater_->totalOutput() : 0; }

    // The ceiling for inflating in memory (one-shot and the objects made by
    // decompressor()); 0 means none. 128 MiB unless changed.
    static std::uint64_t defaultMaximumOutputLength();
    static void setDefaultMaximumOutputLength(std::uint64_t length);

    // The whole data inflated, under the default ceiling; empty data gives
    // empty data.
    static std::optional<platform::Data> uncompressDataError(const platform::Data& data,
                                                             std::optional<platform::Error>* error);
    // Inflates a file into a new file in 256 KiB pieces (no ceiling: the
    // output goes to disk, not memory).
    static bool uncompressDataFromFileToFileError(const std::string& sourcePath, const std::string& destinationPath,
                                                  std::optional<platform::Error>* error);

    // Code 11, "Decompression of data failed with code <code>".
    static platform::Error inflateErrorWithCode(int code);

private:
    std::unique_ptr<platform::Inflater> inflater_;
    bool streamReady_ = false;
    std::uint64_t maximumOutputLength_ = 0;
};

}  // namespace clipora
