#pragma once

#include <cstdint>
#include <string>

namespace clipora {

// The UTF-8 rules the JSON decoder and serializer share.
class JCUTF8 {
public:
    static constexpr int kInvalid = 0;
    static constexpr int kCutOff = -1;

    // The length (2 to 4) of the valid sequence whose lead byte (from 0x80)
    // is at p, with its code point through `codePoint` when given; kInvalid
    // for a bad lead or continuation byte, an overlong form, a surrogate,
    // U+FDD0 to U+FDEF or a code point ending in FFFE or FFFF; kCutOff when
    // the input ends inside an otherwise good sequence. With `strict` off,
    // the noncharacters pass (well-formed UTF-8 is all that is asked).
    static int sequenceLength(const unsigned char* p, const unsigned char* end, std::uint32_t* codePoint,
                              bool strict = true);

    // Not a surrogate, not U+FDD0 to U+FDEF, not ending in FFFE or FFFF.
    static bool isAllowedCodePoint(std::uint32_t codePoint) {
        return !(codePoint >= 0xD800 && codePoint <= 0xDFFF) && !(codePoint >= 0xFDD0 && codePoint <= 0xFDEF) &&
               (codePoint & 0xFFFE) != 0xFFFE && codePoint <= 0x10FFFF;
    }

    // The code point as 1 to 4 bytes.
    static void append(std::string& out, std::uint32_t codePoint);
};

}  // namespace clipora
