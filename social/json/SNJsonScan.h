#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace clipora {

// Scanning helpers that the JSON decoders share.
class SNJsonScan {
public:
    // Bytes that end a plain run inside a string: quote, backslash, control
    // characters (0 to 31) and every byte from 0x80 (the start or the rest of
    // a multi-byte UTF-8 sequence, which the caller checks).
    static constexpr std::array<bool, 256> kStringStop = [] {
        std::array<bool, 256> table{};
        for (int ch = 0; ch < 32; ++ch) table[static_cast<std::size_t>(ch)] = true;
        for (int ch = 0x80; ch < 256; ++ch) table[static_cast<std::size_t>(ch)] = true;
        table['"'] = true;
        table['\\'] = true;
        return table;
    }();

    // The first byte at or after p that kStringStop holds, or end: eight
    // bytes at a time while none of them stops the run.
    static const char* skipPlainRun(const char* p, const char* end) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ull;
        constexpr std::uint64_t kHighs = 0x8080808080808080ull;
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            // A high bit marks a byte below 0x20, a quote, a backslash or a
            // byte from 0x80. A borrow can also mark a byte above one of
            // those, never one below the first: the lowest mark is exact.
            const std::uint64_t quote = word ^ (kOnes * '"');
            const std::uint64_t backslash = word ^ (kOnes * '\\');
            const std::uint64_t stops = ((word - kOnes * 0x20) | (quote - kOnes) | (backslash - kOnes) | word) & kHighs;
            if (stops) {
                if constexpr (std::endian::native == std::endian::little) {
                    return p + (std::countr_zero(stops) >> 3);
                } else {
                    break;
                }
            }
            p += 8;
        }
        while (p < end && !kStringStop[static_cast<unsigned char>(*p)]) ++p;
        return p;
    }
};

}  // namespace clipora
