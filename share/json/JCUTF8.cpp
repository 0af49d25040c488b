#include "share/json/JCUTF8.h"

namespace clipora {

int JCUTF8::sequenceLength(const unsigned char* p, const unsigned char* end, std::uint32_t* codePoint, bool strict) {
    const unsigned char lead = p[0];
    int length = 0;
    std::uint32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return kInvalid;
    }
    for (int i = 1; i < length; ++i) {
        if (p + i >= end) return kCutOff;
        const unsigned char byte = p[i];
        unsigned char low = 0x80, high = 0xBF;
        if (i == 1) {
            // The second byte rules out overlong forms, surrogates and
            // values above U+10FFFF.
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        }
        if (byte < low || byte > high) return kInvalid;
        value = (value << 6) | (byte & 0x3F);
    }
    if (strict && !isAllowedCodePoint(value)) return kInvalid;
    if (codePoint) *codePoint = value;
    return length;
}

void JCUTF8::append(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        const char bytes[] = {static_cast<char>(0xC0 | (codePoint >> 6)), static_cast<char>(0x80 | (codePoint & 0x3F))};
        out.append(bytes, 2);
    } else if (codePoint < 0x10000) {
        const char bytes[] = {static_cast<char>(0xE0 | (codePoint >> 12)),
                              static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)),
                              static_cast<char>(0x80 | (codePoint & 0x3F))};
        out.append(bytes, 3);
    } else {
        const char bytes[] = {
            static_cast<char>(0xF0 | (codePoint >> 18)), static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)),
            static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)), static_cast<char>(0x80 | (codePoint & 0x3F))};
        out.append(bytes, 4);
    }
}

}  // namespace clipora
