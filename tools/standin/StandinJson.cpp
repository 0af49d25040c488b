#include "tools/standin/StandinJson.h"

namespace clipora::standin {

namespace {

// Brackets outside strings, counted the way any JSON reader reads them.
bool nestingWithin(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return false;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return true;
}

}  // namespace

nlohmann::ordered_json StandinJson::parse(std::string_view text) {
    if (!nestingWithin(text, kMaxDepth)) return nlohmann::ordered_json(nlohmann::ordered_json::value_t::discarded);
    return nlohmann::ordered_json::parse(text, nullptr, false);
}

}  // namespace clipora::standin
