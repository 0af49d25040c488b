#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace clipora {

// The JSON serializer and parser the block-based toolkit encodes bodies and
// reads replies with (RFC 8259, UTF-8 only).
class BKJSONSerialization {
public:
    BKJSONSerialization() = delete;

    // Compact JSON of an array or a dictionary whose leaves are strings,
    // numbers, booleans and nulls (keys in their sorted order); none for
    // anything else (data, dates, objects, non-finite numbers) or for text
    // that is not UTF-8.
    static std::optional<std::string> dataWithJSONObject(const platform::Value& object);
    // The value of a JSON text (any value at the top, surrounding blanks
    // allowed); none for malformed text, bad UTF-8 or nesting deeper than
    // kMaxDepth. Integers that fit 64 bits stay integers; others are reals.
    static std::optional<platform::Value> JSONObjectWithData(std::string_view text);

    static constexpr int kMaxDepth = 512;
};

}  // namespace clipora
