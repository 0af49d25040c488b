#include "social/graph/PhotoRows.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace clipora {

using platform::Value;

const Value::Array* PhotoRows::rowList(const Value& value) {
    const Value::Array* rows = value.array();
    if (!rows) return nullptr;
    for (const Value& row : *rows)
        if (!row.isDictionary()) return nullptr;
    return rows;
}

const Value::Array* PhotoRows::rowList(const Value* value) { return value ? rowList(*value) : nullptr; }

std::optional<std::int64_t> PhotoRows::integer(const Value* field) {
    if (!field) return std::nullopt;
    if (field->isInteger()) {
        if (field->isUnsignedInteger() &&
            field->unsignedLongLongValue() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
        return field->longLongValue();
    }
    if (field->isReal()) {
        double real = field->doubleValue();
        // 2^63 is exactly representable; anything at or above it does not fit.
        if (!std::isfinite(real) || real >= 9223372036854775808.0 || real < -9223372036854775808.0) return std::nullopt;
        return static_cast<std::int64_t>(std::trunc(real));
    }
    if (const std::string* text = field->string()) {
        std::string_view digits = *text;
        if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
        std::int64_t number = 0;
        const char* end = digits.data() + digits.size();
        auto [stop, problem] = std::from_chars(digits.data(), end, number);
        if (digits.empty() || problem != std::errc() || stop != end) return std::nullopt;
        return number;
    }
    return std::nullopt;
}

std::optional<std::int64_t> PhotoRows::integer(const Value& row, std::string_view key) {
    return integer(row.find(key));
}

std::optional<std::int32_t> PhotoRows::integer32(const Value& row, std::string_view key) {
    std::optional<std::int64_t> number = integer(row, key);
    if (!number || *number < std::numeric_limits<std::int32_t>::min() ||
        *number > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*number);
}

std::optional<platform::Date> PhotoRows::secondsSince1970(const Value& row, std::string_view key) {
    std::optional<std::int64_t> seconds = integer(row, key);
    if (!seconds) return std::nullopt;
    return platform::Date::fromTimeIntervalSince1970(static_cast<double>(*seconds));
}

bool PhotoRows::present(const Value& row, std::string_view key) {
    const Value* field = row.find(key);
    return field && !field->isNull();
}

}  // namespace clipora
