#pragma once

#include <string>
#include <string_view>

namespace clipora::platform {

// Text made safe inside XML and HTML documents built by formatting.
class MarkupEscaping {
public:
    MarkupEscaping() = delete;

    // "&", "<", ">", '"' and "'" as character references, for element text
    // and quoted attribute values alike; everything else as it is.
    static std::string escaped(std::string_view text);
};

}  // namespace clipora::platform
