#include "platform/foundation/Base64.h"

namespace clipora::platform {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int valueOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool isSkipped(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string Base64::encode(std::span<const std::uint8_t> bytes, std::size_t lineLength) {
    std::string plain;
    plain.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t n = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        plain.push_back(kAlphabet[(n >> 18) & 63]);
        plain.push_back(kAlphabet[(n >> 12) & 63]);
        plain.push_back(kAlphabet[(n >> 6) & 63]);
        plain.push_back(kAlphabet[n & 63]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t n = std::uint32_t{bytes[i]} << 16;
        if (rest == 2) n |= std::uint32_t{bytes[i + 1]} << 8;
        plain.push_back(kAlphabet[(n >> 18) & 63]);
        plain.push_back(kAlphabet[(n >> 12) & 63]);
        plain.push_back(rest == 2 ? kAlphabet[(n >> 6) & 63] : '=');
        plain.push_back('=');
    }
    if (lineLength == 0 || plain.size() <= lineLength) return plain;

    std::string lines;
    lines.reserve(plain.size() + plain.size() / lineLength * 2);
    for (std::size_t at = 0; at < plain.size(); at += lineLength) {
        if (at > 0) lines += "\r\n";
        lines.append(plain, at, lineLength);
    }
    return lines;
}

std::string Base64::encode(std::string_view text, std::size_t lineLength) {
    return encode(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                  lineLength);
}

std::optional<Data> Base64::decode(std::string_view text) {
    Data out;
    out.reserve(text.size() / 4 * 3 + 2);
    std::uint32_t group = 0;
    int inGroup = 0;
    int padding = 0;
    for (char c : text) {
        if (isSkipped(c)) continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int v = valueOf(c);
        if (v < 0 || padding > 0) return std::nullopt;  // foreign character, or data after padding
        group = (group << 6) | static_cast<std::uint32_t>(v);
        if (++inGroup == 4) {
            out.push_back(static_cast<std::uint8_t>(group >> 16));
            out.push_back(static_cast<std::uint8_t>(group >> 8));
            out.push_back(static_cast<std::uint8_t>(group));
            group = 0;
            inGroup = 0;
        }
    }
    switch (inGroup) {
    case 0:
        if (padding != 0) return std::nullopt;
        break;
    case 2:
        if (padding != 0 && padding != 2) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(group >> 4));
        break;
    case 3:
        if (padding != 0 && padding != 1) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(group >> 10));
        out.push_back(static_cast<std::uint8_t>(group >> 2));
        break;
    default:  // a lone final character carries less than one byte
        return std::nullopt;
    }
    return out;
}

}  // namespace clipora::platform
