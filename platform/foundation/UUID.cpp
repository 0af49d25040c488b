#include "platform/foundation/UUID.h"

#include <algorithm>

#include "platform/foundation/Digest.h"

namespace clipora::platform {

UUID::UUID() {
    const Data random = Digest::randomBytes(bytes_.size());
    std::copy(random.begin(), random.end(), bytes_.begin());
    bytes_[6] = static_cast<std::uint8_t>((bytes_[6] & 0x0f) | 0x40);  // version 4
    bytes_[8] = static_cast<std::uint8_t>((bytes_[8] & 0x3f) | 0x80);  // variant 10xx
}

std::string UUID::newUUIDString() { return UUID().uuidString(); }

std::string UUID::uuidString() const {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
        out.push_back(kDigits[bytes_[i] >> 4]);
        out.push_back(kDigits[bytes_[i] & 0x0f]);
    }
    return out;
}

}  // namespace clipora::platform
