#pragma once

#include <string>
#include <string_view>

namespace clipora {

// Text helpers of the block-based toolkit: digest, unique ids and the
// escaping used for query strings and form bodies.
class BKStringEncoding {
public:
    BKStringEncoding() = delete;

    // MD5 of the UTF-8 bytes up to the first zero byte, as 32 lower-case hex
    // digits.
    static std::string md5(std::string_view text);
    // A new UUID, upper-case hex groups with hyphens.
    static std::string uniqueString();
    // Every byte but ALPHA, DIGIT and "-._~" escaped as %XX (UTF-8): safe
    // as a query or form key or value.
    static std::string urlEncodedString(std::string_view text);
    // "+" read as a blank, then every %XX decoded; "" when the escapes are
    // broken or the result is not UTF-8. (An escaped plus stays a plus.)
    static std::string urlDecodedString(std::string_view text);
};

}  // namespace clipora
