#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// A localization table: key -> text, read from a ".strings" resource.
//
// Two forms are understood:
//  - the old-style text form, `"key" = "value";` entries with /* */ and //
//    comments, backslash escapes (\n \t \r \" \\ \' \a \b \f \v, three-digit
//    octal, \Uxxxx and \uxxxx with surrogate pairs), unquoted words made of
//    letters, digits and "_$+/:.-", and `"key";` (the value is the key);
//  - a property list (XML or binary) whose root is a dictionary of strings.
// Text may be UTF-8 (with or without a byte-order mark) or UTF-16 with one.
class StringsTable {
public:
    using Entries = std::map<std::string, std::string, std::less<>>;

    StringsTable() = delete;

    // Old-style text (UTF-8). std::nullopt with an error naming the line when
    // the text is malformed.
    static std::optional<Entries> parse(std::string_view text, std::optional<Error>* error = nullptr);
    // Either form, from bytes.
    static std::optional<Entries> fromData(const Data& bytes, std::optional<Error>* error = nullptr);
    static std::optional<Entries> fromFile(const std::filesystem::path& path, std::optional<Error>* error = nullptr);
};

}  // namespace clipora::platform
