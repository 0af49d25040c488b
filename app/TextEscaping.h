#pragma once

#include <string>
#include <string_view>

namespace clipora {

// Escapes for texts the application puts into documents it builds by
// formatting: e-mail bodies (HTML) and the recommendation post (JSON).
class TextEscaping {
public:
    TextEscaping() = delete;

    // "&", "<", ">", '"' and "'" as character references, for element text
    // and quoted attribute values alike; everything else as it is.
    static std::string html(std::string_view text);
    // The inside of a JSON string: '"', '\' and control characters escaped;
    // everything else (the solidus and non-ASCII text included) as it is.
    static std::string jsonString(std::string_view text);
};

}  // namespace clipora
