#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace clipora::platform {

// Standard Base64 (RFC 4648 alphabet, "=" padding).
class Base64 {
public:
    Base64() = delete;

    // The encoded text. With a lineLength (64 is the usual one), "\r\n" is
    // written after every full line of that many characters except at the very
    // end; 0 writes one line.
    static std::string encode(std::span<const std::uint8_t> bytes, std::size_t lineLength = 0);
    static std::string encode(std::string_view text, std::size_t lineLength = 0);

    // The decoded bytes, or std::nullopt when the text is not Base64: a
    // character outside the alphabet, "=" anywhere but at the end, more than
    // two "=", or a final group of a single character. Spaces, tabs, CR and LF
    // are skipped anywhere; padding may be left out.
    static std::optional<Data> decode(std::string_view text);
};

}  // namespace clipora::platform
