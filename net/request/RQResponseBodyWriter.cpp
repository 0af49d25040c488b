#include "net/request/RQResponseBodyWriter.h"

#include "net/DownloadFile.h"
#include "net/request/RQError.h"
#include "net/request/RQResponseHead.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"

namespace clipora {

using platform::Error;
using platform::FileManager;
using platform::Text;

RQResponseBodyWriter::~RQResponseBodyWriter() {
    if (file_) file_->close();
    if (inflatedFile_) inflatedFile_->close();
}

std::shared_ptr<RQDataDecompressor> RQResponseBodyWriter::decompressor(bool unbounded) {
    std::lock_guard lock(mutex_);
    if (!decompressor_) {
        decompressor_ = RQDataDecompressor::decompressor();
        if (unbounded) decompressor_->setMaximumOutputLength(0);
    }
    return decompressor_;
}

std::optional<Error> RQResponseBodyWriter::inflate(const std::uint8_t* bytes, std::size_t length,
                                                   const platform::Inflater::Sink& sink) {
    std::shared_ptr<RQDataDecompressor> decompressor;
    {
        std::lock_guard lock(mutex_);
        decompressor = decompressor_;
    }
    std::optional<Error> failure;
    if (decompressor && decompressor->uncompressBytesLengthIntoError(bytes, length, sink, &failure))
        return std::nullopt;
    return failure.value_or(RQDataDecompressor::inflateErrorWithCode(-1));
}

std::optional<Error> RQResponseBodyWriter::finishInflating(bool check) {
    std::shared_ptr<RQDataDecompressor> decompressor;
    {
        std::lock_guard lock(mutex_);
        decompressor = std::move(decompressor_);
        decompressor_.reset();
    }
    if (!decompressor || !check) return std::nullopt;
    return decompressor->finishError();
}

bool RQResponseBodyWriter::hasOpenFiles() const {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(file_);
}

void RQResponseBodyWriter::openFiles(const std::string& path, const std::string& inflatedPath, bool append) {
    auto file = platform::OutputStream::toFile(path, append);
    file->open();
    std::shared_ptr<platform::OutputStream> inflated;
    if (!inflatedPath.empty()) {
        inflated = platform::OutputStream::toFile(inflatedPath, append);
        inflated->open();
    }
    std::lock_guard lock(mutex_);
    file_ = std::move(file);
    inflatedFile_ = std::move(inflated);
}

std::optional<Error> RQResponseBodyWriter::writeFailure(const platform::OutputStream& stream, const std::string& path) {
    auto error = RQError::make(RQError::kFileManagement, Text::format("Failed to write to file at path '%@'", path));
    if (auto underlying = stream.error()) error = error.withUnderlyingError(*underlying);
    return error;
}

std::optional<Error> RQResponseBodyWriter::write(const std::uint8_t* bytes, std::size_t length, bool inflateToo,
                                                 const std::string& path, const std::string& inflatedPath) {
    std::shared_ptr<platform::OutputStream> file;
    std::shared_ptr<platform::OutputStream> inflated;
    {
        std::lock_guard lock(mutex_);
        file = file_;
        inflated = inflatedFile_;
    }
    if (!file) return std::nullopt;
    // A failed write (a full disk) must not pass for a complete file.
    if (file->write(bytes, length) < 0) return writeFailure(*file, path);
    if (!inflateToo || !inflated) return std::nullopt;
    bool written = true;
    if (auto failure = inflate(bytes, length, [&](const std::uint8_t* out, std::size_t n) {
            written = inflated->write(out, n) >= 0;
            return written;
        }))
        return failure;
    if (!written) return writeFailure(*inflated, inflatedPath);
    return std::nullopt;
}

void RQResponseBodyWriter::closeFiles() {
    std::lock_guard lock(mutex_);
    if (file_) {
        file_->close();
        file_.reset();
    }
    if (inflatedFile_) {
        inflatedFile_->close();
        inflatedFile_.reset();
    }
}

void RQResponseBodyWriter::reset() {
    closeFiles();
    std::lock_guard lock(mutex_);
    decompressor_.reset();
}

std::string RQResponseBodyWriter::temporaryPathBeside(const std::string& destination) {
    return DownloadFile::temporaryPathBeside(destination).string();
}

std::optional<std::uint64_t> RQResponseBodyWriter::partialFileSize(const std::string& path,
                                                                   std::optional<Error>* error) {
    std::optional<Error> failure;
    auto attributes = FileManager::attributesOfItem(path, &failure);
    if (attributes) return attributes->size;
    auto made =
        RQError::make(RQError::kFileManagement, Text::format("Failed to get attributes for file at path '%@'", path));
    if (failure) made = made.withUnderlyingError(*failure);
    if (error) *error = made;
    return std::nullopt;
}

std::optional<Error> RQResponseBodyWriter::checkContinuation(const std::optional<std::string>& contentRange,
                                                             std::uint64_t partialSize) {
    auto first = contentRange ? RQResponseHead::contentRangeStart(*contentRange) : std::nullopt;
    if (first && *first == partialSize) return std::nullopt;
    return RQError::make(RQError::kInternalError,
                         Text::format("The server sent a part (%@) that does not continue the partial download",
                                      contentRange.value_or("no Content-Range")));
}

std::optional<Error> RQResponseBodyWriter::finishDownload(Finish how, const std::string& path,
                                                          const std::string& inflatedPath,
                                                          const std::string& destination,
                                                          std::optional<Error> earlier) {
    switch (how) {
    case Finish::Move: return moveIntoPlace(path, destination);
    case Finish::InflateFile: {
        std::optional<Error> failure;
        if (!RQDataDecompressor::uncompressDataFromFileToFileError(path, destination, &failure)) return failure;
        return earlier;
    }
    case Finish::MoveInflated: {
        auto failure = earlier ? earlier : moveIntoPlace(inflatedPath, destination);
        if (failure) FileManager::removeItem(inflatedPath);
        return failure;
    }
    }
    return earlier;
}

std::optional<Error> RQResponseBodyWriter::moveIntoPlace(const std::string& path, const std::string& destination) {
    if (auto failure = removeFile(destination)) return failure;
    std::optional<Error> failure;
    if (FileManager::moveItem(path, destination, &failure)) return std::nullopt;
    auto error = RQError::make(RQError::kFileManagement,
                               Text::format("Failed to move file from '%@' to '%@'", path, destination));
    if (failure) error = error.withUnderlyingError(*failure);
    return error;
}

std::optional<Error> RQResponseBodyWriter::removeFile(const std::string& path) {
    if (path.empty() || !FileManager::fileExists(path)) return std::nullopt;
    std::optional<Error> failure;
    if (FileManager::removeItem(path, &failure)) return std::nullopt;
    auto error = RQError::make(RQError::kFileManagement, Text::format("Failed to delete file at path '%@'", path));
    if (failure) error = error.withUnderlyingError(*failure);
    return error;
}

}  // namespace clipora
