#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace clipora::standin {

// A strict reader of multipart/form-data bodies (RFC 2046, RFC 7578):
// the boundary comes from the Content-Type; the body must open with a
// delimiter line and end with the closing delimiter "--boundary--"; every
// part needs a Content-Disposition of form-data with a name. A preamble and
// an epilogue are allowed and ignored. Names and file names are read as
// quoted strings (backslash escapes) and then have %22, %0D and %0A decoded,
// as browsers encode them.
class MultipartForm {
public:
    struct Part {
        std::string name;
        std::optional<std::string> filename;
        std::string contentType;  // "text/plain" when the part names none
        std::string data;
    };

    // The form, or the reason the body is not one (in `error`).
    static std::optional<MultipartForm> parse(std::string_view contentType, std::string_view body, std::string& error);
    // The boundary parameter of a multipart Content-Type ("" when none).
    static std::string boundaryOf(std::string_view contentType);

    const std::vector<Part>& parts() const { return parts_; }

private:
    std::vector<Part> parts_;
};

}  // namespace clipora::standin
