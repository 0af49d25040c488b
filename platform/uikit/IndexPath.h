#pragma once

#include <compare>
#include <string>

namespace clipora::platform {

// A row within a section of a table.
struct IndexPath {
    int section = 0;
    int row = 0;

    static IndexPath indexPathForRowInSection(int row, int section) { return {section, row}; }

    // "[section, row]".
    std::string description() const { return "[" + std::to_string(section) + ", " + std::to_string(row) + "]"; }

    // Ordered by section, then row.
    friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
};

}  // namespace clipora::platform
