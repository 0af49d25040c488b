#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace clipora {

// Base64 for the block-based toolkit: a lenient decoder that skips every byte
// outside the alphabet, and an encoder that can cut its output into lines.
class BKDataEncoding {
public:
    BKDataEncoding() = delete;

    // Decodes `text`, skipping every byte outside the alphabet (padding and
    // line breaks included). A final group of two or three characters gives
    // one or two bytes; a lone final character gives nothing. Never fails.
    static platform::Data base64DecodeBytes(std::string_view text);
    // 4 characters for every 3 bytes, "=" padded. With `separateLines` the
    // input is cut into lines of 48 bytes (64 characters) joined by "\r\n"
    // (none after the last line).
    static std::string base64EncodeBytes(const std::uint8_t* bytes, std::size_t length, bool separateLines);

    // The text read as ASCII and decoded as above.
    static platform::Data dataFromBase64String(std::string_view text);
    // Encoded with line separation (for bodies and archives).
    static std::string base64EncodedString(const platform::Data& data);
    // Encoded on one line: the only form that may go into a header value.
    static std::string base64EncodedStringWithoutLineBreaks(const platform::Data& data);
};

}  // namespace clipora
