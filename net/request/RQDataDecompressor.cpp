#include "net/request/RQDataDecompressor.h"

#include <algorithm>
#include <atomic>

#include "net/request/RQError.h"
#include "net/request/RQFileCoder.h"
#include "platform/foundation/Text.h"

namespace clipora {

using platform::Data;
using platform::Error;
using platform::Text;

namespace {

constexpr std::size_t kMinimumOutputSpace = 16 * 1024;

std::atomic<std::uint64_t> defaultCeiling{128ull * 1024 * 1024};

void setError(std::optional<Error>* out, Error error) {
    if (out) *out = std::move(error);
}

}  // namespace

std::shared_ptr<RQDataDecompressor> RQDataDecompressor::decompressor() {
    auto result = std::make_shared<RQDataDecompressor>();
    if (result->setupStream()) return nullptr;
    result->setMaximumOutputLength(defaultMaximumOutputLength());
    return result;
}

RQDataDecompressor::RQDataDecompressor() = default;

RQDataDecompressor::~RQDataDecompressor() { closeStream(); }

std::optional<Error> RQDataDecompressor::setupStream() {
    if (streamReady_) return std::nullopt;
    zStream_ = z_stream{};
    const int status = inflateInit2(&zStream_, 47);
    if (status != Z_OK) return inflateErrorWithCode(status);
    streamReady_ = true;
    streamEnded_ = false;
    sawInput_ = false;
    totalOut_ = 0;
    return std::nullopt;
}

std::optional<Error> RQDataDecompressor::closeStream() {
    if (!streamReady_) return std::nullopt;
    streamReady_ = false;
    const int status = inflateEnd(&zStream_);
    if (status != Z_OK) return inflateErrorWithCode(status);
    return std::nullopt;
}

std::optional<Data> RQDataDecompressor::uncompressBytesLengthError(const std::uint8_t* bytes, std::size_t length,
                                                                   std::optional<Error>* error) {
    if (length == 0) return std::nullopt;
    if (!streamReady_) {
        setError(error, inflateErrorWithCode(Z_STREAM_ERROR));
        return std::nullopt;
    }
    sawInput_ = true;
    Data output(std::max(length + length / 2, kMinimumOutputSpace));
    std::size_t produced = 0;
    zStream_.next_in = const_cast<Bytef*>(bytes);
    zStream_.avail_in = static_cast<uInt>(length);
    for (;;) {
        if (produced == output.size()) output.resize(output.size() * 2);
        zStream_.next_out = output.data() + produced;
        zStream_.avail_out = static_cast<uInt>(output.size() - produced);
        const std::size_t before = produced;
        const int status = inflate(&zStream_, Z_NO_FLUSH);
        produced = output.size() - zStream_.avail_out;
        totalOut_ += produced - before;
        if (maximumOutputLength_ != 0 && totalOut_ > maximumOutputLength_) {
            setError(error, RQError::make(RQError::kCompression,
                                          Text::format("Decompression of data failed: the inflated data exceeds "
                                                       "%llu bytes",
                                                       static_cast<unsigned long long>(maximumOutputLength_))));
            return std::nullopt;
        }
        if (status == Z_STREAM_END) {
            streamEnded_ = true;
            if (zStream_.avail_in == 0) break;
            // Another gzip member follows: one stream as far as HTTP goes.
            inflateReset(&zStream_);
            streamEnded_ = false;
            continue;
        }
        if (status == Z_BUF_ERROR) {
            // No progress possible: out of output space (grow and go on) or
            // out of input (the piece is done).
            if (zStream_.avail_out == 0) continue;
            break;
        }
        if (status != Z_OK) {
            setError(error, inflateErrorWithCode(status));
            return std::nullopt;
        }
        if (zStream_.avail_in == 0 && zStream_.avail_out != 0) break;
    }
    output.resize(produced);
    return output;
}

std::optional<Error> RQDataDecompressor::finishError() const {
    if (!sawInput_ || streamEnded_) return std::nullopt;
    return RQError::make(RQError::kCompression, "Decompression of data failed: the compressed data ended early");
}

std::uint64_t RQDataDecompressor::defaultMaximumOutputLength() { return defaultCeiling.load(); }

void RQDataDecompressor::setDefaultMaximumOutputLength(std::uint64_t length) { defaultCeiling.store(length); }

std::optional<Data> RQDataDecompressor::uncompressDataError(const Data& data, std::optional<Error>* error) {
    if (data.empty()) return Data{};
    RQDataDecompressor decompressor;
    if (auto failure = decompressor.setupStream()) {
        setError(error, *failure);
        return std::nullopt;
    }
    decompressor.setMaximumOutputLength(defaultMaximumOutputLength());
    auto result = decompressor.uncompressBytesLengthError(data.data(), data.size(), error);
    if (result) {
        if (auto failure = decompressor.finishError()) {
            setError(error, *failure);
            result.reset();
        }
    }
    decompressor.closeStream();
    return result;
}

bool RQDataDecompressor::uncompressDataFromFileToFileError(const std::string& sourcePath,
                                                           const std::string& destinationPath,
                                                           std::optional<Error>* error) {
    if (!RQFileCoder::prepareFiles("Decompression", sourcePath, destinationPath, error)) return false;
    RQDataDecompressor decompressor;
    if (auto failure = decompressor.setupStream()) {
        setError(error, *failure);
        return false;
    }
    // Reads go on until the file gives nothing more; the end of the gzip
    // data is checked afterwards.
    auto code = [&](const std::uint8_t* bytes, std::size_t length, bool) -> std::optional<Data> {
        if (length == 0) return Data{};
        return decompressor.uncompressBytesLengthError(bytes, length, error);
    };
    if (!RQFileCoder::codeFile("Decompression", sourcePath, destinationPath, kFilePieceLength, false, code, error)) {
        decompressor.closeStream();
        return false;
    }
    if (auto failure = decompressor.finishError()) {
        setError(error, *failure);
        decompressor.closeStream();
        return false;
    }
    if (auto failure = decompressor.closeStream()) {
        setError(error, *failure);
        return false;
    }
    return true;
}

Error RQDataDecompressor::inflateErrorWithCode(int code) {
    return RQError::make(RQError::kCompression,
                         Text::format("Decompression of data failed with code %hi", static_cast<short>(code)));
}

}  // namespace clipora
