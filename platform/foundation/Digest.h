#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace clipora::platform {

// Message digests and HMAC on the system's crypto library; random bytes
// from the kernel.
// Every function takes either raw bytes or a text (its UTF-8 bytes) and
// answers the raw digest; hex() turns one into text.
class Digest {
public:
    Digest() = delete;

    static constexpr std::size_t kMD5Length = 16;
    static constexpr std::size_t kSHA1Length = 20;
    static constexpr std::size_t kSHA256Length = 32;

    static constexpr std::size_t kMD4Length = 16;

    // MD4 (RFC 1320) is computed here rather than by the crypto library,
    // whose builds may leave it out; it serves NTLM only, never as a
    // security hash of its own.
    static Data md4(std::span<const std::uint8_t> bytes);
    static Data md5(std::span<const std::uint8_t> bytes);
    static Data md5(std::string_view text);
    static Data sha1(std::span<const std::uint8_t> bytes);
    static Data sha1(std::string_view text);
    static Data sha256(std::span<const std::uint8_t> bytes);
    static Data sha256(std::string_view text);

    // HMAC (RFC 2104). Any key length works; longer keys are hashed first.
    static Data hmacMD5(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message);
    static Data hmacSHA1(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message);
    static Data hmacSHA1(std::string_view key, std::string_view message);
    static Data hmacSHA256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message);
    static Data hmacSHA256(std::string_view key, std::string_view message);

    // Two hexadecimal digits per byte, in byte order ("%02x" or "%02X").
    static std::string hex(std::span<const std::uint8_t> bytes, bool uppercase = false);

    // Cryptographically strong random bytes. Throws std::runtime_error only
    // when the system cannot supply randomness at all.
    static Data randomBytes(std::size_t count);
    static std::uint32_t random32();
};

}  // namespace clipora::platform
