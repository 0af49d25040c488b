#include "share/json/JCString.h"

#include <cstring>
#include <new>

#include "share/json/JCPool.h"

namespace clipora {

const JCString* JCString::make(JCPool& pool, std::string_view text, std::uint32_t hash) {
    // The header and the bytes in one piece.
    void* memory = pool.allocate(sizeof(JCString) + text.size() + 1, alignof(JCString));
    char* bytes = static_cast<char*>(memory) + sizeof(JCString);
    if (!text.empty()) std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = '\0';
    return new (memory) JCString(bytes, text.size(), hash);
}

const JCString* JCString::empty() {
    static const JCString kEmpty("", 0, hashBytes({}));
    return &kEmpty;
}

std::uint32_t JCString::hashBytes(std::string_view text) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    const char* p = text.data();
    std::size_t left = text.size();
    std::uint64_t h = 0x2D358DCCAA6C78A5ull ^ (left * kMultiplier);
    while (left >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        h = (h ^ word) * kMultiplier;
        h ^= h >> 32;
        p += 8;
        left -= 8;
    }
    if (left > 0) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, left);
        h = (h ^ word) * kMultiplier;
    }
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return static_cast<std::uint32_t>(h);
}

}  // namespace clipora
