#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Kind-checked readings of the rows that the photo and album operations get
// back from the network (FQL result sets and graph lists). A row or field of
// an unexpected kind reads as absent; nothing here trusts the reply's shape.
class PhotoRows {
public:
    PhotoRows() = delete;

    // The list when `value` is an array whose entries are all dictionaries;
    // nullptr otherwise.
    static const platform::Value::Array* rowList(const platform::Value& value);
    static const platform::Value::Array* rowList(const platform::Value* value);

    // A whole number: an integer, a finite real cut toward zero (within the
    // 64-bit range), or a text of decimal digits with an optional sign;
    // anything else (null, flags, other texts, lists) is absent.
    static std::optional<std::int64_t> integer(const platform::Value* field);
    static std::optional<std::int64_t> integer(const platform::Value& row, std::string_view key);
    // The same narrowed to 32 bits (absent when it does not fit).
    static std::optional<std::int32_t> integer32(const platform::Value& row, std::string_view key);

    // A moment given as whole seconds since 1970 (see integer()).
    static std::optional<platform::Date> secondsSince1970(const platform::Value& row, std::string_view key);

    // Whether the field is there and not null.
    static bool present(const platform::Value& row, std::string_view key);
};

}  // namespace clipora
