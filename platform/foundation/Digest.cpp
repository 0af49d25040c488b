#include "platform/foundation/Digest.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <stdexcept>

namespace clipora::platform {

namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

Data evpDigest(const EVP_MD* md, std::span<const std::uint8_t> bytes) {
    Data out(static_cast<std::size_t>(EVP_MD_get_size(md)));
    unsigned int length = 0;
    // A one-shot digest over memory fails only on allocation failure inside
    // the library, which leaves nothing sensible to answer.
    if (EVP_Digest(bytes.data(), bytes.size(), out.data(), &length, md, nullptr) != 1) {
        throw std::runtime_error("digest computation failed");
    }
    out.resize(length);
    return out;
}

Data hmac(const EVP_MD* md, std::span<const std::uint8_t> key, std::span<const std::uint8_t> message) {
    if (key.size() > static_cast<std::size_t>(INT_MAX)) {
        // The library takes an int key length; such a key is hashed by HMAC
        // anyway, so hashing it here gives the same result.
        Data hashed = evpDigest(md, key);
        return hmac(md, hashed, message);
    }
    Data out(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    static const std::uint8_t kEmpty = 0;
    const void* keyBytes = key.empty() ? &kEmpty : key.data();
    if (HMAC(md, keyBytes, static_cast<int>(key.size()), message.empty() ? &kEmpty : message.data(),
             message.size(), out.data(), &length) == nullptr) {
        throw std::runtime_error("HMAC computation failed");
    }
    out.resize(length);
    return out;
}

}  // namespace

Data Digest::md5(std::span<const std::uint8_t> bytes) { return evpDigest(EVP_md5(), bytes); }
Data Digest::md5(std::string_view text) { return md5(bytesOf(text)); }
Data Digest::sha1(std::span<const std::uint8_t> bytes) { return evpDigest(EVP_sha1(), bytes); }
Data Digest::sha1(std::string_view text) { return sha1(bytesOf(text)); }
Data Digest::sha256(std::span<const std::uint8_t> bytes) { return evpDigest(EVP_sha256(), bytes); }
Data Digest::sha256(std::string_view text) { return sha256(bytesOf(text)); }

Data Digest::hmacSHA1(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message) {
    return hmac(EVP_sha1(), key, message);
}
Data Digest::hmacSHA1(std::string_view key, std::string_view message) {
    return hmacSHA1(bytesOf(key), bytesOf(message));
}
Data Digest::hmacSHA256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message) {
    return hmac(EVP_sha256(), key, message);
}
Data Digest::hmacSHA256(std::string_view key, std::string_view message) {
    return hmacSHA256(bytesOf(key), bytesOf(message));
}

std::string Digest::hex(std::span<const std::uint8_t> bytes, bool uppercase) {
    const char* digits = uppercase ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0f]);
    }
    return out;
}

Data Digest::randomBytes(std::size_t count) {
    Data out(count);
    std::size_t done = 0;
    while (done < count) {
        const std::size_t chunk = std::min<std::size_t>(count - done, INT_MAX);
        if (RAND_bytes(out.data() + done, static_cast<int>(chunk)) != 1) {
            throw std::runtime_error("no random bytes available");
        }
        done += chunk;
    }
    return out;
}

std::uint32_t Digest::random32() {
    const Data bytes = randomBytes(4);
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
}

}  // namespace clipora::platform
