#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"

namespace clipora {

// HTTP dates for the block-based toolkit's cache headers, always in GMT.
class BKDateEncoding {
public:
    BKDateEncoding() = delete;

    // The first reading that succeeds of the RFC 1123, RFC 850 (two-digit
    // year) and asctime layouts; none when none reads it.
    static std::optional<platform::Date> dateFromRFC1123(const std::optional<std::string>& text);
    // "Sun, 06 Nov 1994 08:49:37 GMT".
    static std::string rfc1123String(platform::Date date);
};

}  // namespace clipora
