#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace clipora {

namespace platform {
class InputStream;
}

// A multipart/form-data body as the sharers send it: parts in the order
// added, each "--<boundary>" CR LF, its Content-Disposition line (name, and
// file name for a file), any further header lines, an empty line, the
// content and CR LF; then "--<boundary>--". A service's own field names,
// order and content types are the caller's.
//
// The boundary asked for is kept unless some part (a header line or the
// content) holds it: a user's password, tags, caption or status, or the
// bytes of a picture, would otherwise end a part early or make a part of
// their own. Then a fresh random one that no part holds is used instead, so
// read boundary() only after the last part was added.
class SXMultipartForm {
public:
    struct Layout {
        // A line end before the first boundary line (an empty preamble).
        bool leadingLineEnd = false;
        // A line end after the closing "--<boundary>--".
        bool closingLineEnd = true;
    };

    explicit SXMultipartForm(std::string boundary, Layout layout);
    explicit SXMultipartForm(std::string boundary) : SXMultipartForm(std::move(boundary), Layout{}) {}

    // A text field.
    void addField(const std::string& name, const std::string& value);
    // A file: the disposition carries `filename`; `headers` are whole header
    // lines without line ends ("Content-Type: image/jpg").
    void addFile(const std::string& name, const std::string& filename, std::vector<std::string> headers,
                 platform::Data content);

    // The boundary of the body (see above).
    const std::string& boundary();
    platform::Data body();

    // Writes the body to a new file at `path`, with a last file part whose
    // content is read from `stream` in chunks of `chunkSize` bytes (the
    // stream is opened and closed here). False when the file cannot be
    // written. The streamed bytes are checked for the boundary too.
    bool writeFileWithStreamedFile(const std::filesystem::path& path, const std::string& name,
                                   const std::string& filename, std::vector<std::string> headers,
                                   platform::InputStream& stream, std::size_t chunkSize);

    // A boundary made afresh: the usual fixed text and random digits.
    static std::string freshBoundary();

private:
    struct Part {
        std::string head;  // disposition and header lines, each ended
        platform::Data content;
    };
    bool holds(const std::string& boundary) const;
    std::string partStart(const Part& part) const;
    std::string opening() const;
    std::string closing() const;
    static std::string disposition(const std::string& name, const std::string* filename,
                                   const std::vector<std::string>& headers);

    std::string boundary_;
    Layout layout_;
    std::vector<Part> parts_;
};

}  // namespace clipora
