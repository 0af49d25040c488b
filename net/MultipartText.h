#pragma once

#include <string>
#include <string_view>

namespace clipora {

// Texts of a multipart/form-data body that both the request engine's form
// request and the block-based engine's operation write the same way.
class MultipartText {
public:
    // `prefix` followed by 24 random hexadecimal digits.
    static std::string randomBoundary(std::string_view prefix);
    // A name or file name inside a quoted Content-Disposition parameter: a
    // quote or a line break would end the parameter or the header, so they
    // are written percent-escaped.
    static std::string escapeQuotedParameter(std::string_view text);
};

}  // namespace clipora
