#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace clipora::test {

// `open` repeated `levels` times, then `middle`, then `close` as often:
// the deeply nested inputs of the depth tests, made when the test runs.
inline std::string nested(std::string_view open, std::string_view middle, std::string_view close, std::size_t levels) {
    std::string text;
    text.reserve((open.size() + close.size()) * levels + middle.size());
    for (std::size_t i = 0; i < levels; ++i) text += open;
    text += middle;
    for (std::size_t i = 0; i < levels; ++i) text += close;
    return text;
}

// A binary property list of `levels` arrays one inside another around the
// string "leaf", written by hand so that any depth can be made: object i is
// an array holding object i + 1.
inline std::vector<std::uint8_t> nestedBinaryPlist(std::size_t levels) {
    std::vector<std::uint8_t> bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::uint64_t> offsets;
    auto put = [&bytes](std::uint64_t value, int size) {
        for (int i = size - 1; i >= 0; --i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    for (std::size_t i = 0; i < levels; ++i) {
        offsets.push_back(bytes.size());
        bytes.push_back(0xA1);  // an array of one
        put(i + 1, 4);
    }
    offsets.push_back(bytes.size());
    for (std::uint8_t byte : std::initializer_list<std::uint8_t>{0x54, 'l', 'e', 'a', 'f'})
        bytes.push_back(byte);  // an ASCII string of four
    const std::uint64_t table = bytes.size();
    for (std::uint64_t offset : offsets) put(offset, 4);
    put(0, 6);
    bytes.push_back(4);  // offset size
    bytes.push_back(4);  // reference size
    put(offsets.size(), 8);
    put(0, 8);  // top object
    put(table, 8);
    return bytes;
}

// The levels every depth table tries around a reader's limit: at it
// (accepted), one past it, and a million (both refused, neither crashing).
struct DepthCase {
    std::size_t levels;
    bool accepted;
};
inline constexpr std::size_t kMillionLevels = 1'000'000;
inline std::array<DepthCase, 3> depthCases(std::size_t limit) {
    return {{{limit, true}, {limit + 1, false}, {kMillionLevels, false}}};
}

}  // namespace clipora::test
