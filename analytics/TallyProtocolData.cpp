#include "analytics/TallyProtocolData.h"

#include <bit>
#include <cmath>
#include <limits>

#include "platform/foundation/InvalidArgumentException.h"
#include "platform/foundation/Text.h"

namespace clipora {

using namespace platform;

namespace {

template <class Unsigned>
void appendBigEndian(Unsigned value, Data& data) {
    for (int shift = (sizeof(Unsigned) - 1) * 8; shift >= 0; shift -= 8)
        data.push_back(static_cast<std::uint8_t>(value >> shift));
}

// Truncation toward zero that saturates instead of overflowing (and reads
// NaN as 0), since a float-to-integer conversion out of range is undefined.
std::int64_t saturatingInt64(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
    if (value <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

// The text with every byte that does not start a well-formed sequence
// replaced by U+FFFD.
std::string wellFormed(std::string_view text) {
    if (Text::isValidUTF8(text)) return std::string(text);
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length > 0 && i + length <= text.size() && Text::isValidUTF8(text.substr(i, length))) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

}  // namespace

void TallyProtocolData::appendBooleanToData(bool value, Data& data) { data.push_back(value ? 1 : 0); }

void TallyProtocolData::appendByteToData(std::int8_t value, Data& data) {
    data.push_back(static_cast<std::uint8_t>(value));
}

void TallyProtocolData::appendUshortToData(std::uint16_t value, Data& data) { appendBigEndian(value, data); }

void TallyProtocolData::appendIntToData(std::int32_t value, Data& data) {
    appendBigEndian(static_cast<std::uint32_t>(value), data);
}

void TallyProtocolData::appendLongToData(std::int64_t value, Data& data) {
    appendBigEndian(static_cast<std::uint64_t>(value), data);
}

void TallyProtocolData::appendFloatToData(float value, Data& data) {
    appendBigEndian(std::bit_cast<std::uint32_t>(value), data);
}

void TallyProtocolData::appendDoubleToData(double value, Data& data) {
    appendBigEndian(std::bit_cast<std::uint64_t>(value), data);
}

void TallyProtocolData::appendTimestampToData(Date date, Data& data) {
    appendLongToData(millisecondsSince1970(date), data);
}

void TallyProtocolData::appendStringToData(std::string_view value, Data& data) {
    const std::string text = limitStringLength(wellFormed(value));
    appendUshortToData(static_cast<std::uint16_t>(text.size()), data);
    data.insert(data.end(), text.begin(), text.end());
}

void TallyProtocolData::appendTinyDataToData(const Data& value, Data& data) {
    const auto length = static_cast<std::uint8_t>(value.size() % 256);
    data.push_back(length);
    data.insert(data.end(), value.begin(), value.begin() + length);
}

void TallyProtocolData::appendShortDataToData(const Data& value, Data& data) {
    if (value.size() > kMaxShortDataLength)
        throw InvalidArgumentException("appendShortDataToData: a block of " + std::to_string(value.size()) +
                                       " bytes does not fit a 16-bit length");
    appendUshortToData(static_cast<std::uint16_t>(value.size()), data);
    data.insert(data.end(), value.begin(), value.end());
}

std::int64_t TallyProtocolData::timeIntervalFromTo(const std::optional<Date>& from, const std::optional<Date>& to) {
    if (!from || !to) return 0;
    return saturatingInt64((to->timeIntervalSince1970() - from->timeIntervalSince1970()) * 1000.0);
}

std::string TallyProtocolData::limitStringLength(std::string_view value) {
    if (Text::utf16Length(value) <= kMaxStringLength) return std::string(value);
    return Text::utf16Prefix(value, kMaxStringLength);
}

std::int64_t TallyProtocolData::millisecondsSince1970(Date date) {
    return saturatingInt64(date.timeIntervalSince1970() * 1000.0);
}

}  // namespace clipora
