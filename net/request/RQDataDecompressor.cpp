#include "net/request/RQDataDecompressor.h"

#include <algorithm>
#include <atomic>

#include "net/request/RQError.h"
#include "net/request/RQFileCoder.h"
#include "platform/foundation/Text.h"

#include <zlib.h>

namespace clipora {

using platform::Data;
using platform::Error;
using platform::Text;

namespace {

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
    inflater_ = std::make_unique<platform::Inflater>(platform::Inflater::Format::GzipOrZlib);
    streamReady_ = true;
    return std::nullopt;
}

std::optional<Error> RQDataDecompressor::closeStream() {
    streamReady_ = false;
    return std::nullopt;
}

bool RQDataDecompressor::uncompressBytesLengthIntoError(const std::uint8_t* bytes, std::size_t length,
                                                        const platform::Inflater::Sink& sink,
                                                        std::optional<Error>* error) {
    if (length == 0) return true;
    if (!streamReady_ || !inflater_) {
        setError(error, inflateErrorWithCode(Z_STREAM_ERROR));
        return false;
    }
    bool overCeiling = false;
    auto guarded = [&](const std::uint8_t* out, std::size_t count) {
        if (maximumOutputLength_ != 0 && inflater_->totalOutput() > maximumOutputLength_) {
            overCeiling = true;
            return false;
        }
        return sink(out, count);
    };
    switch (inflater_->feed(bytes, length, guarded)) {
    case platform::Inflater::Result::Ok: return true;
    case platform::Inflater::Result::Invalid:
        setError(error, inflateErrorWithCode(inflater_->lastStatus()));
        return false;
    case platform::Inflater::Result::Stopped:
        if (!overCeiling) return true;
        setError(error, RQError::make(RQError::kCompression,
                                      Text::format("Decompression of data failed: the inflated data exceeds %llu bytes",
                                                   static_cast<unsigned long long>(maximumOutputLength_))));
        return false;
    }
    return false;
}

std::optional<Data> RQDataDecompressor::uncompressBytesLengthError(const std::uint8_t* bytes, std::size_t length,
                                                                   std::optional<Error>* error) {
    if (length == 0) return std::nullopt;
    Data output;
    auto append = [&output](const std::uint8_t* out, std::size_t count) {
        output.insert(output.end(), out, out + count);
        return true;
    };
    if (!uncompressBytesLengthIntoError(bytes, length, append, error)) return std::nullopt;
    return output;
}

std::optional<Error> RQDataDecompressor::finishError() const {
    if (!inflater_ || inflater_->complete()) return std::nullopt;
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
