#include "social/graph/GraphReply.h"

namespace clipora {

std::optional<std::string> GraphReply::text(const platform::Value* field) {
    if (!field) return std::nullopt;
    if (const std::string* s = field->string()) return *s;
    if (field->isInteger() || field->isReal()) return field->description();
    return std::nullopt;
}

std::optional<std::string> GraphReply::text(const platform::Value& row, std::string_view key) {
    return text(row.find(key));
}

}  // namespace clipora
