#include "net/request/RQDataCompressor.h"

#include <algorithm>

#include "net/request/RQError.h"
#include "net/request/RQFileCoder.h"
#include "platform/foundation/Text.h"

namespace clipora {

using platform::Data;
using platform::Error;

namespace {

// Output buffers start at least this large and double when full, so even a
// one-byte piece always has room to make progress.
constexpr std::size_t kMinimumOutputSpace = 16 * 1024;

void setError(std::optional<Error>* out, Error error) {
    if (out) *out = std::move(error);
}

}  // namespace

std::shared_ptr<RQDataCompressor> RQDataCompressor::compressor() {
    auto result = std::make_shared<RQDataCompressor>();
    if (result->setupStream()) return nullptr;
    return result;
}

RQDataCompressor::RQDataCompressor() = default;

RQDataCompressor::~RQDataCompressor() { closeStream(); }

std::optional<Error> RQDataCompressor::setupStream() {
    if (streamReady_) return std::nullopt;
    zStream_ = z_stream{};
    const int status = deflateInit2(&zStream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    if (status != Z_OK) return deflateErrorWithCode(status);
    streamReady_ = true;
    return std::nullopt;
}

std::optional<Error> RQDataCompressor::closeStream() {
    if (!streamReady_) return std::nullopt;
    streamReady_ = false;
    const int status = deflateEnd(&zStream_);
    // Ending a stream that still held unfinished data answers Z_DATA_ERROR;
    // its memory is freed all the same.
    if (status != Z_OK && status != Z_DATA_ERROR) return deflateErrorWithCode(status);
    return std::nullopt;
}

std::optional<Data> RQDataCompressor::compressBytesLengthErrorShouldFinish(const std::uint8_t* bytes,
                                                                           std::size_t length,
                                                                           std::optional<Error>* error,
                                                                           bool shouldFinish) {
    if (length == 0) return std::nullopt;
    return deflatePiece(bytes, length, error, shouldFinish);
}

std::optional<Data> RQDataCompressor::deflatePiece(const std::uint8_t* bytes, std::size_t length,
                                                   std::optional<Error>* error, bool shouldFinish) {
    if (!streamReady_) {
        setError(error, deflateErrorWithCode(Z_STREAM_ERROR));
        return std::nullopt;
    }
    Data output(std::max(length / 2, kMinimumOutputSpace));
    std::size_t produced = 0;
    zStream_.next_in = const_cast<Bytef*>(bytes);
    zStream_.avail_in = static_cast<uInt>(length);
    for (;;) {
        if (produced == output.size()) output.resize(output.size() * 2);
        zStream_.next_out = output.data() + produced;
        zStream_.avail_out = static_cast<uInt>(output.size() - produced);
        const int status = deflate(&zStream_, shouldFinish ? Z_FINISH : Z_NO_FLUSH);
        produced = output.size() - zStream_.avail_out;
        if (status == Z_STREAM_END) break;
        if (status == Z_BUF_ERROR) {
            // No progress was possible: with input and output space left that
            // cannot happen, so the piece is done.
            if (zStream_.avail_out == 0) continue;
            if (!shouldFinish) break;
            setError(error, deflateErrorWithCode(status));
            return std::nullopt;
        }
        if (status != Z_OK) {
            setError(error, deflateErrorWithCode(status));
            return std::nullopt;
        }
        if (!shouldFinish && zStream_.avail_in == 0 && zStream_.avail_out != 0) break;
    }
    output.resize(produced);
    return output;
}

std::optional<Data> RQDataCompressor::compressDataError(const Data& data, std::optional<Error>* error) {
    if (data.empty()) return std::nullopt;
    RQDataCompressor compressor;
    if (auto failure = compressor.setupStream()) {
        setError(error, *failure);
        return std::nullopt;
    }
    auto result = compressor.compressBytesLengthErrorShouldFinish(data.data(), data.size(), error, true);
    compressor.closeStream();
    return result;
}

bool RQDataCompressor::compressDataFromFileToFileError(const std::string& sourcePath,
                                                       const std::string& destinationPath,
                                                       std::optional<Error>* error) {
    if (!RQFileCoder::prepareFiles("Compression", sourcePath, destinationPath, error)) return false;
    RQDataCompressor compressor;
    if (auto failure = compressor.setupStream()) {
        setError(error, *failure);
        return false;
    }
    // A short piece is the end of the file: it finishes the gzip data.
    auto code = [&](const std::uint8_t* bytes, std::size_t length, bool last) {
        return compressor.deflatePiece(bytes, length, error, last);
    };
    if (!RQFileCoder::codeFile("Compression", sourcePath, destinationPath, kFilePieceLength, true, code, error)) {
        compressor.closeStream();
        return false;
    }
    if (auto failure = compressor.closeStream()) {
        setError(error, *failure);
        return false;
    }
    return true;
}

Error RQDataCompressor::deflateErrorWithCode(int code) {
    return RQError::make(RQError::kCompression,
                         platform::Text::format("Compression of data failed with code %hi", static_cast<short>(code)));
}

}  // namespace clipora
