#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace clipora::platform {
class KeyedUnarchiver;
}

namespace clipora {

// How the graph's small records (pages, tags) read their text fields back
// from an archive.
struct ArchivedText {
    // A text field; a stored value of another plain kind (number, data, date,
    // null) reads as absent, and any other class fails the archive.
    static std::optional<std::string> read(platform::KeyedUnarchiver& coder, std::string_view key);
};

}  // namespace clipora
