#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace clipora {

// Kind-checked readings of the network's parsed replies for the graph
// operations' converters: a reply is never trusted to have the shape asked
// for.
class GraphReply {
public:
    GraphReply() = delete;

    // A text field: a string as it is, a number in its text form (integers
    // in decimal digits); anything else, or a missing field, is absent.
    static std::optional<std::string> text(const platform::Value* field);
    static std::optional<std::string> text(const platform::Value& row, std::string_view key);
};

}  // namespace clipora
