#include "platform/foundation/Digest.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
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
    if (HMAC(md, keyBytes, static_cast<int>(key.size()), message.empty() ? &kEmpty : message.data(), message.size(),
             out.data(), &length) == nullptr) {
        throw std::runtime_error("HMAC computation failed");
    }
    out.resize(length);
    return out;
}

}  // namespace

Data Digest::md4(std::span<const std::uint8_t> bytes) {
    // RFC 1320: three rounds of sixteen steps over 64-byte blocks, the
    // message padded with 0x80, zeros and its bit length (little-endian).
    std::uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    auto rotl = [](std::uint32_t v, int n) { return (v << n) | (v >> (32 - n)); };
    auto block = [&](const std::uint8_t* p) {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = std::uint32_t{p[4 * i]} | (std::uint32_t{p[4 * i + 1]} << 8) | (std::uint32_t{p[4 * i + 2]} << 16) |
                   (std::uint32_t{p[4 * i + 3]} << 24);
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        auto f = [](std::uint32_t u, std::uint32_t v, std::uint32_t t) { return (u & v) | (~u & t); };
        auto g = [](std::uint32_t u, std::uint32_t v, std::uint32_t t) { return (u & v) | (u & t) | (v & t); };
        auto h = [](std::uint32_t u, std::uint32_t v, std::uint32_t t) { return u ^ v ^ t; };
        static constexpr int kShift1[4] = {3, 7, 11, 19};
        static constexpr int kShift2[4] = {3, 5, 9, 13};
        static constexpr int kShift3[4] = {3, 9, 11, 15};
        static constexpr int kOrder3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
        // Step i updates a, d, c, b in turn from the other three, taken in
        // the order (b, c, d), (a, b, c), (d, a, b), (c, d, a).
        std::uint32_t* const r[4] = {&a, &d, &c, &b};
        auto rounds = [&](auto fn, auto word, std::uint32_t constant, const int* shifts) {
            for (int i = 0; i < 16; ++i) {
                std::uint32_t& w = *r[i % 4];
                const std::uint32_t x1 = *r[(i + 3) % 4], x2 = *r[(i + 2) % 4], x3 = *r[(i + 1) % 4];
                w = rotl(w + fn(x1, x2, x3) + x[word(i)] + constant, shifts[i % 4]);
            }
        };
        rounds(
            f, [](int i) { return i; }, 0, kShift1);
        rounds(
            g, [](int i) { return (i % 4) * 4 + i / 4; }, 0x5a827999u, kShift2);
        rounds(
            h, [](int i) { return kOrder3[i]; }, 0x6ed9eba1u, kShift3);
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
    };
    const std::size_t whole = bytes.size() / 64 * 64;
    for (std::size_t i = 0; i < whole; i += 64) block(bytes.data() + i);
    std::uint8_t tail[128] = {};
    const std::size_t rest = bytes.size() - whole;
    std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(whole), bytes.end(), tail);
    tail[rest] = 0x80;
    const std::size_t tailLength = rest < 56 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i) tail[tailLength - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    for (std::size_t i = 0; i < tailLength; i += 64) block(tail + i);
    Data out(kMD4Length);
    for (int i = 0; i < 16; ++i) out[i] = static_cast<std::uint8_t>(state[i / 4] >> (8 * (i % 4)));
    return out;
}

Data Digest::md5(std::span<const std::uint8_t> bytes) { return evpDigest(EVP_md5(), bytes); }
Data Digest::md5(std::string_view text) { return md5(bytesOf(text)); }
Data Digest::sha1(std::span<const std::uint8_t> bytes) { return evpDigest(EVP_sha1(), bytes); }
Data Digest::sha1(std::string_view text) { return sha1(bytesOf(text)); }
Data Digest::sha256(std::span<const std::uint8_t> bytes) { return evpDigest(EVP_sha256(), bytes); }
Data Digest::sha256(std::string_view text) { return sha256(bytesOf(text)); }

Data Digest::hmacMD5(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message) {
    return hmac(EVP_md5(), key, message);
}
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

// From the kernel rather than the crypto library's generator: that one keeps
// state per thread which the library's exit-time clean-up frees from the
// exiting thread, under worker threads that are never joined and may still
// be drawing bytes.
Data Digest::randomBytes(std::size_t count) {
    Data out(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::getrandom(out.data() + done, count - done, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("no random bytes available");
        }
        done += static_cast<std::size_t>(got);
    }
    return out;
}

std::uint32_t Digest::random32() {
    const Data bytes = randomBytes(4);
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
}

}  // namespace clipora::platform
