#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace clipora::platform {

// A universally unique identifier: 16 bytes, made at random (version 4,
// RFC 4122 variant). Its text form is 36 characters of upper-case hex with
// dashes, "8-4-4-4-12".
class UUID {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    // A new random UUID.
    UUID();
    explicit UUID(const Bytes& bytes) : bytes_(bytes) {}

    // Shorthand for UUID().uuidString().
    static std::string newUUIDString();

    const Bytes& bytes() const { return bytes_; }
    std::string uuidString() const;

    friend bool operator==(const UUID& a, const UUID& b) { return a.bytes_ == b.bytes_; }
    friend bool operator!=(const UUID& a, const UUID& b) { return !(a == b); }

private:
    Bytes bytes_;
};

}  // namespace clipora::platform
