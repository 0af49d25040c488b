#include "net/request/RQFileCoder.h"

#include <vector>

#include "net/request/RQError.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/OutputStream.h"
#include "platform/foundation/Text.h"

namespace clipora {

using platform::Error;
using platform::Text;

namespace {

void setError(std::optional<Error>* out, Error error) {
    if (out) *out = std::move(error);
}

}  // namespace

bool RQFileCoder::prepareFiles(const std::string& operation, const std::string& sourcePath,
                               const std::string& destinationPath, std::optional<Error>* error) {
    using platform::FileManager;
    if (!FileManager::createFile(destinationPath)) {
        setError(error, RQError::make(RQError::kCompression,
                                      Text::format("%@ of %@ failed because we were to create a file at %@", operation,
                                                   sourcePath, destinationPath)));
        return false;
    }
    if (!FileManager::fileExists(sourcePath)) {
        setError(error, RQError::make(RQError::kCompression,
                                      Text::format("%@ of %@ failed the file does not exist", operation, sourcePath)));
        return false;
    }
    return true;
}

bool RQFileCoder::codeFile(const std::string& operation, const std::string& sourcePath,
                           const std::string& destinationPath, std::size_t pieceLength, bool stopAfterShortPiece,
                           const PieceCoder& code, std::optional<Error>* error) {
    auto input = platform::InputStream::withFile(sourcePath);
    auto output = platform::OutputStream::toFile(destinationPath, false);
    input->open();
    output->open();
    std::vector<std::uint8_t> buffer(pieceLength);
    for (;;) {
        const std::int64_t got = input->read(buffer.data(), buffer.size());
        if (got < 0 || input->status() == platform::Stream::Status::Error) {
            auto failure =
                RQError::make(RQError::kCompression,
                              Text::format("%@ of %@ failed because we were unable to read from the source data file",
                                           operation, sourcePath));
            if (auto underlying = input->error()) failure = failure.withUnderlyingError(*underlying);
            setError(error, failure);
            return false;
        }
        const auto count = static_cast<std::size_t>(got);
        const bool last = count < pieceLength;
        auto piece = code(buffer.data(), count, last);
        if (!piece) return false;
        if (!piece->empty() && output->write(piece->data(), piece->size()) < 0) {
            auto failure = RQError::make(
                RQError::kCompression, operation + " of " + sourcePath +
                                           " failed because we were unable to write to the destination data file at " +
                                           destinationPath);
            if (auto underlying = output->error()) failure = failure.withUnderlyingError(*underlying);
            setError(error, failure);
            return false;
        }
        if (count == 0 || (last && stopAfterShortPiece)) break;
    }
    input->close();
    output->close();
    return true;
}

}  // namespace clipora
