#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace clipora {

class JCPool;

// A decoded JSON string: UTF-8 bytes with a terminating zero and their hash,
// placed in a pool. Strings that come from a decoder's token cache are
// shared, so the same text decoded again can answer the very same object.
class JCString {
public:
    std::string_view view() const { return {data_, length_}; }
    const char* data() const { return data_; }
    std::size_t size() const { return length_; }
    // The hash that dictionaries keep for their keys (hashBytes of the text).
    std::uint32_t hash() const { return hash_; }

    // A copy of `text` in `pool`, with its hash.
    static const JCString* make(JCPool& pool, std::string_view text, std::uint32_t hash);
    static const JCString* make(JCPool& pool, std::string_view text) { return make(pool, text, hashBytes(text)); }
    // The one empty string, shared by every document.
    static const JCString* empty();

    // The hash of a text: fast, eight bytes a step, well spread in its low
    // bits (dictionaries take it modulo a prime, the token cache its low ten
    // bits).
    static std::uint32_t hashBytes(std::string_view text);

    JCString(const char* data, std::size_t length, std::uint32_t hash) : data_(data), length_(length), hash_(hash) {}

private:
    const char* data_;
    std::size_t length_;
    std::uint32_t hash_;
};

}  // namespace clipora
