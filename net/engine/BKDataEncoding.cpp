#include "net/engine/BKDataEncoding.h"

#include <algorithm>
#include <array>

namespace clipora {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kSkip = 65;

constexpr std::array<std::uint8_t, 256> makeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) entry = kSkip;
    for (std::uint8_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
    return table;
}

constexpr std::array<std::uint8_t, 256> kDecodeTable = makeDecodeTable();

// Bytes per line when lines are separated (64 characters).
constexpr std::size_t kLineBytes = 48;

}  // namespace

platform::Data BKDataEncoding::base64DecodeBytes(std::string_view text) {
    platform::Data out;
    out.reserve((text.size() + 3) / 4 * 3);
    std::size_t i = 0;
    while (i < text.size()) {
        std::uint8_t values[4] = {0, 0, 0, 0};
        int k = 0;
        while (k < 4 && i < text.size()) {
            const std::uint8_t v = kDecodeTable[static_cast<unsigned char>(text[i++])];
            if (v != kSkip) values[k++] = v;
        }
        if (k >= 2) out.push_back(static_cast<std::uint8_t>((values[0] << 2) | (values[1] >> 4)));
        if (k >= 3) out.push_back(static_cast<std::uint8_t>(((values[1] << 4) | (values[2] >> 2)) & 0xFF));
        if (k == 4) out.push_back(static_cast<std::uint8_t>(((values[2] << 6) | values[3]) & 0xFF));
    }
    return out;
}

std::string BKDataEncoding::base64EncodeBytes(const std::uint8_t* bytes, std::size_t length, bool separateLines) {
    std::string out;
    const std::size_t groups = (length + 2) / 3;
    out.reserve(groups * 4 + (separateLines ? length / kLineBytes * 2 : 0));
    std::size_t i = 0;
    while (i < length) {
        const std::size_t lineEnd = separateLines ? std::min(length, i + kLineBytes) : length;
        while (i < lineEnd) {
            const std::size_t n = std::min<std::size_t>(3, lineEnd - i);
            const std::uint32_t b0 = bytes[i];
            const std::uint32_t b1 = n > 1 ? bytes[i + 1] : 0;
            const std::uint32_t b2 = n > 2 ? bytes[i + 2] : 0;
            out.push_back(kAlphabet[b0 >> 2]);
            out.push_back(kAlphabet[((b0 & 0x03) << 4) | (b1 >> 4)]);
            out.push_back(n > 1 ? kAlphabet[((b1 & 0x0F) << 2) | (b2 >> 6)] : '=');
            out.push_back(n > 2 ? kAlphabet[b2 & 0x3F] : '=');
            i += n;
        }
        if (separateLines && i < length) out += "\r\n";
    }
    return out;
}

platform::Data BKDataEncoding::dataFromBase64String(std::string_view text) { return base64DecodeBytes(text); }

std::string BKDataEncoding::base64EncodedString(const platform::Data& data) {
    return base64EncodeBytes(data.data(), data.size(), true);
}

std::string BKDataEncoding::base64EncodedStringWithoutLineBreaks(const platform::Data& data) {
    return base64EncodeBytes(data.data(), data.size(), false);
}

}  // namespace clipora
