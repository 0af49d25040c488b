#include "net/request/RQRequestBody.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "net/request/RQDataCompressor.h"
#include "net/request/RQError.h"
#include "net/request/RQResponseBodyWriter.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UUID.h"

namespace clipora {

using platform::Data;
using platform::Error;
using platform::FileManager;
using platform::Text;

namespace {

std::string uniqueTemporaryPath() {
    return (std::filesystem::path(FileManager::temporaryDirectory()) / platform::UUID::newUUIDString()).string();
}

}  // namespace

RQRequestBody::RQRequestBody(std::mutex& propertyMutex)
    : data(propertyMutex), filePath(propertyMutex), compressedData_(propertyMutex), compressedFilePath_(propertyMutex),
      writeStream_(propertyMutex), readStream_(propertyMutex), mutex_(propertyMutex) {}

RQRequestBody::~RQRequestBody() {
    if (writeStream_.unlocked()) writeStream_.unlocked()->close();
    if (readStream_.unlocked()) readStream_.unlocked()->close();
    if (madeTemporaryFile.load() && !filePath.unlocked().empty()) FileManager::removeItem(filePath.unlocked());
    if (!compressedFilePath_.unlocked().empty()) FileManager::removeItem(compressedFilePath_.unlocked());
}

void RQRequestBody::setUp() {
    if (streamFromDisk.load()) {
        std::lock_guard lock(mutex_);
        if (filePath.unlocked().empty()) {
            filePath.unlocked() = uniqueTemporaryPath();
            madeTemporaryFile.store(true);
        }
        if (!writeStream_.unlocked()) {
            writeStream_.unlocked() = platform::OutputStream::toFile(filePath.unlocked(), false);
            writeStream_.unlocked()->open();
        }
    } else {
        std::lock_guard lock(mutex_);
        if (!data.unlocked()) data.unlocked() = Data{};
    }
}

std::optional<Error> RQRequestBody::append(const std::uint8_t* bytes, std::size_t count) {
    std::optional<Error> writeError;
    std::string path;
    {
        std::lock_guard lock(mutex_);
        if (!streamFromDisk.load()) {
            data.unlocked()->insert(data.unlocked()->end(), bytes, bytes + count);
            return std::nullopt;
        }
        auto& stream = writeStream_.unlocked();
        if (stream && stream->write(bytes, count) == static_cast<std::int64_t>(count)) return std::nullopt;
        writeError = stream ? stream->error() : std::nullopt;
        path = filePath.unlocked();
    }
    auto error = RQError::make(RQError::kFileManagement, Text::format("Failed to write to file at path '%@'", path));
    if (writeError) error = error.withUnderlyingError(*writeError);
    return error;
}

std::optional<Error> RQRequestBody::appendFile(const std::string& path) {
    auto input = platform::InputStream::withFile(path);
    input->open();
    std::vector<std::uint8_t> buffer(262144);
    for (;;) {
        const std::int64_t got = input->read(buffer.data(), buffer.size());
        if (got < 0 || input->status() == platform::Stream::Status::Error) {
            auto error =
                RQError::make(RQError::kFileManagement, Text::format("Failed to read from file at path '%@'", path));
            if (auto underlying = input->error()) error = error.withUnderlyingError(*underlying);
            input->close();
            return error;
        }
        if (got == 0) break;
        if (auto failure = append(buffer.data(), static_cast<std::size_t>(got))) {
            input->close();
            return failure;
        }
    }
    input->close();
    return std::nullopt;
}

std::optional<Error> RQRequestBody::build() {
    const std::string bodyFile = filePath.get();
    if (bodyFile.empty()) {
        auto body = data.get();
        if (compress.load() && body && !body->empty()) {
            std::optional<Error> failure;
            auto compressed = RQDataCompressor::compressDataError(*body, &failure);
            if (!compressed) return failure.value_or(RQDataCompressor::deflateErrorWithCode(-1));
            length.store(compressed->size());
            compressedData_.set(std::move(compressed));
        } else {
            length.store(body ? body->size() : 0);
        }
        return std::nullopt;
    }
    if (auto stream = writeStream_.exchange(std::shared_ptr<platform::OutputStream>())) stream->close();
    std::string path = bodyFile;
    if (compress.load()) {
        std::string compressedPath = compressedFilePath_.get();
        if (compressedPath.empty()) {
            compressedPath = uniqueTemporaryPath();
            compressedFilePath_.set(compressedPath);
            std::optional<Error> failure;
            if (!RQDataCompressor::compressDataFromFileToFileError(bodyFile, compressedPath, &failure))
                return failure.value_or(RQDataCompressor::deflateErrorWithCode(-1));
        }
        path = compressedPath;
    }
    std::optional<Error> failure;
    auto attributes = FileManager::attributesOfItem(path, &failure);
    if (!attributes) {
        auto error = RQError::make(RQError::kFileManagement,
                                   Text::format("Failed to get attributes for file at path '%@'", path));
        if (failure) error = error.withUnderlyingError(*failure);
        return error;
    }
    length.store(attributes->size);
    return std::nullopt;
}

std::shared_ptr<platform::InputStream> RQRequestBody::openStream(const std::shared_ptr<RQInputStreamOwner>& owner) {
    std::shared_ptr<platform::InputStream> stream;
    const std::string bodyFile = filePath.get();
    if (length.load() > 0) {
        if (!bodyFile.empty() && FileManager::fileExists(bodyFile)) {
            const std::string compressed = compressedFilePath_.get();
            const std::string path = !compressed.empty() && FileManager::fileExists(compressed) ? compressed : bodyFile;
            stream = RQInputStream::inputStreamWithFileAtPathRequest(path, owner);
        } else if (auto body = data.get(); body && !body->empty()) {
            auto compressed = compressedData_.get();
            stream =
                RQInputStream::inputStreamWithDataRequest(compress.load() && compressed ? *compressed : *body, owner);
        }
    }
    readStream_.set(stream);
    return stream;
}

void RQRequestBody::closeStream() {
    if (auto stream = readStream_.exchange(std::shared_ptr<platform::InputStream>())) stream->close();
}

std::optional<Error> RQRequestBody::removeTemporaryFiles() {
    std::optional<Error> first;
    // The compressed copy is always the body's own, even of a caller's file.
    for (auto* path : {&filePath, &compressedFilePath_}) {
        if (path == &filePath && !madeTemporaryFile.load()) continue;
        const std::string file = path->exchange(std::string());
        if (file.empty()) continue;
        auto failure = RQResponseBodyWriter::removeFile(file);
        if (failure && !first) first = std::move(failure);
    }
    return first;
}

void RQRequestBody::removeTemporaryFilesQuietly() {
    std::string body;
    std::string compressedBody;
    {
        std::lock_guard lock(mutex_);
        if (madeTemporaryFile.exchange(false)) body = std::exchange(filePath.unlocked(), {});
        compressedBody = std::exchange(compressedFilePath_.unlocked(), {});
    }
    for (const std::string* path : {&body, &compressedBody})
        if (!path->empty()) FileManager::removeItem(*path);
}

}  // namespace clipora
