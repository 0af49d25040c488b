#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/OutputStream.h"

namespace clipora {

// A download's file stream that never exposes a partial or failed body
// under the destination's name: the bytes go to a hidden temporary file
// beside the destination (same folder, so the final move is a rename), and
// only commit() puts it in place, replacing what was there. A stream that
// is closed without commit() (a failure, a cancel, an error page) removes
// its temporary file when it goes; the destination keeps what it held.
//
// Used on one thread at a time, like every stream.
class DownloadFile : public platform::OutputStream {
public:
    static std::shared_ptr<DownloadFile> toDestination(const std::filesystem::path& destination);
    ~DownloadFile() override;

    // The path of a new temporary file beside `destination`:
    // ".<name>.<unique>.download" in the destination's folder.
    static std::filesystem::path temporaryPathBeside(const std::filesystem::path& destination);
    // The destination's file name that a temporary file named `fileName`
    // was made for, when the name has the form temporaryPathBeside gives;
    // none for any other name. Lets an owner of a folder find what a killed
    // download left behind.
    static std::optional<std::string> destinationNameOfTemporary(std::string_view fileName);

    // Why `destination` may not be replaced by a download: it exists and is
    // not a regular file (a folder, a device). None when it may.
    static std::optional<platform::Error> checkDestination(const std::filesystem::path& destination);

    // Opens the temporary file, truncated; the stream fails (status Error)
    // when the destination's folder does not exist or cannot be written, or
    // the destination may not be replaced (checkDestination).
    void open() override;
    void close() override;
    std::int64_t write(const std::uint8_t* bytes, std::size_t length) override;
    bool hasSpaceAvailable() const override;

    // Closes the stream and moves the temporary file onto the destination.
    // False (with the file system's error) when that fails; the temporary
    // file is then removed.
    bool commit(std::optional<platform::Error>* error = nullptr);
    // Closes the stream and removes the temporary file.
    void discard();

    const std::filesystem::path& destination() const { return destination_; }
    const std::filesystem::path& temporaryPath() const { return temporary_; }

    struct Passkey {};
    DownloadFile(Passkey, std::filesystem::path destination);

private:
    std::filesystem::path destination_;
    std::filesystem::path temporary_;
    std::shared_ptr<platform::OutputStream> file_;
    bool committed_ = false;
};

}  // namespace clipora
