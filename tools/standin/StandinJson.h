#pragma once

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

namespace clipora::standin {

// Reads the JSON that requests and saved state bring in. The JSON library
// reads without recursing but copies, compares, writes and frees its values
// recursively, so a value nested too deeply would end the stand-in later on;
// such text is refused here, before it is read.
class StandinJson {
public:
    // Arrays and objects nest at most this deep, as in the system's codecs.
    static constexpr std::size_t kMaxDepth = 512;

    // The value, or a discarded one (is_discarded()) for text that is not
    // JSON or nests deeper than kMaxDepth.
    static nlohmann::ordered_json parse(std::string_view text);
};

}  // namespace clipora::standin
