#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Runs a file through a gzip stream, piece by piece, into a new file: the
// part the compressor and the decompressor share. `operation` names the
// work in messages ("Compression", "Decompression"); failures are code-11
// errors of the request engine's domain.
class RQFileCoder {
public:
    // Codes one piece read from the source; `last` when the piece is
    // shorter than a full one. None on failure, the error already set.
    using PieceCoder =
        std::function<std::optional<platform::Data>(const std::uint8_t* bytes, std::size_t length, bool last)>;

    // Creates the destination file and checks that the source exists.
    static bool prepareFiles(const std::string& operation, const std::string& sourcePath,
                             const std::string& destinationPath, std::optional<platform::Error>* error);

    // Reads the source in pieces of `pieceLength`, codes each and writes
    // what comes out. Stops after an empty read, or with
    // `stopAfterShortPiece` after the first piece shorter than a full one.
    static bool codeFile(const std::string& operation, const std::string& sourcePath,
                         const std::string& destinationPath, std::size_t pieceLength, bool stopAfterShortPiece,
                         const PieceCoder& code, std::optional<platform::Error>* error);
};

}  // namespace clipora
