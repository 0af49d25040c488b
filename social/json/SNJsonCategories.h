#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace clipora {

// One-call conversions with a fresh parser or writer at default settings.
// A failure is logged with its error trace and answers std::nullopt.
class SNJsonCategories {
public:
    SNJsonCategories() = delete;

    // Any value as JSON text.
    static std::optional<std::string> JSONFragment(const platform::Value& value);
    // A dictionary or an array as JSON text.
    static std::optional<std::string> JSONRepresentation(const platform::Value& value);
    // JSON text holding any value.
    static std::optional<platform::Value> JSONFragmentValue(std::string_view text);
    // JSON text holding an object or an array.
    static std::optional<platform::Value> JSONValue(std::string_view text);
};

}  // namespace clipora
