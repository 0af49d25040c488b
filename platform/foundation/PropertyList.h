#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// Property lists in XML and binary form, read and written through libplist.
//
// A property list holds booleans, integers (signed 64-bit), reals, strings,
// data, dates, arrays and dictionaries. Null and shared objects have no
// property-list form: writing a Value that contains one fails with an error.
// Reading answers an immutable-in-spirit Value tree (the caller owns a copy).
// Dates keep their exact value in binary lists; XML lists carry whole seconds.
class PropertyList {
public:
    enum class Format { XML, Binary };

    static constexpr std::string_view kErrorDomain = "NSCocoaErrorDomain";
    static constexpr std::int64_t kReadCorruptError = 3840;
    static constexpr std::int64_t kWriteInvalidError = 3851;

    PropertyList() = delete;

    // Binary when the bytes start with the binary signature, XML when the
    // first non-blank character (after an optional UTF-8 byte-order mark) is
    // '<'; std::nullopt otherwise.
    static std::optional<Format> detectFormat(const Data& bytes);

    // Parses either format; `format`, when given, receives the one found.
    static std::optional<Value> fromData(const Data& bytes, std::optional<Error>* error = nullptr,
                                         Format* format = nullptr);
    static std::optional<Value> fromFile(const std::filesystem::path& path, std::optional<Error>* error = nullptr,
                                         Format* format = nullptr);

    static std::optional<Data> toData(const Value& value, Format format = Format::XML,
                                      std::optional<Error>* error = nullptr);
    // Writes atomically (see FileManager::writeData).
    static bool writeToFile(const Value& value, const std::filesystem::path& path, Format format = Format::XML,
                            std::optional<Error>* error = nullptr);

    // Whether the Value, all the way down, has a property-list form.
    static bool isValid(const Value& value);
};

}  // namespace clipora::platform
