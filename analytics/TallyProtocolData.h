#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Appends values to a byte buffer in the agent's wire encoding: every
// multi-byte value big-endian, whatever the machine's byte order.
class TallyProtocolData {
public:
    // Longest string written, in UTF-16 code units.
    static constexpr std::size_t kMaxStringLength = 255;
    // Largest block appendShortDataToData takes.
    static constexpr std::size_t kMaxShortDataLength = 0xFFFF;

    TallyProtocolData() = delete;

    static void appendBooleanToData(bool value, platform::Data& data);
    static void appendByteToData(std::int8_t value, platform::Data& data);
    static void appendUshortToData(std::uint16_t value, platform::Data& data);
    static void appendIntToData(std::int32_t value, platform::Data& data);
    static void appendLongToData(std::int64_t value, platform::Data& data);
    static void appendFloatToData(float value, platform::Data& data);
    static void appendDoubleToData(double value, platform::Data& data);
    // Milliseconds since 1970, truncated toward zero.
    static void appendTimestampToData(platform::Date date, platform::Data& data);
    // A 2-byte byte count, then the UTF-8 text cut to 255 UTF-16 units (254
    // when the 255th would split a surrogate pair). Bytes that are not UTF-8
    // are written as U+FFFD, so the output is always valid UTF-8.
    static void appendStringToData(std::string_view value, platform::Data& data);
    // A 1-byte length (the size modulo 256), then that many leading bytes.
    static void appendTinyDataToData(const platform::Data& value, platform::Data& data);
    // A 2-byte length, then the whole block. A block over 65,535 bytes cannot
    // be framed: InvalidArgumentException, and nothing is appended.
    static void appendShortDataToData(const platform::Data& value, platform::Data& data);

    // Milliseconds from `from` to `to` (truncated); 0 when either is absent.
    static std::int64_t timeIntervalFromTo(const std::optional<platform::Date>& from,
                                           const std::optional<platform::Date>& to);
    // The text itself when shorter than 256 UTF-16 units, else its first 255
    // (254 when the cut would split a surrogate pair).
    static std::string limitStringLength(std::string_view value);
    // Milliseconds since 1970 of a date, saturated to the 64-bit range.
    static std::int64_t millisecondsSince1970(platform::Date date);
};

}  // namespace clipora
