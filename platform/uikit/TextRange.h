#pragma once

#include <cstddef>

namespace clipora::platform {

// A range of a text in UTF-16 code units, as the platform counts characters.
struct TextRange {
    std::size_t location = 0;
    std::size_t length = 0;

    friend bool operator==(const TextRange&, const TextRange&) = default;
};

}  // namespace clipora::platform
