// Fuzz target for the photo service's XML mapper: any reply must map or
// fail cleanly, mapping the same bytes twice must agree, and a mapped reply
// is a tree of dictionaries, arrays and texts no deeper than the parser lets
// elements nest.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/foundation/Value.h"
#include "platform/foundation/XMLParser.h"
#include "share/Sharers/photo/PSXMLMapper.h"

namespace {

using clipora::platform::Value;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "psxml_fuzz: %s\n", what);
        std::abort();
    }
}

// The number of elements from `element` down to its deepest descendant.
// Recursion is safe here: the depth was bounded while reading.
std::size_t elementDepth(const Value& element) {
    check(element.isDictionary(), "an element that is not a dictionary");
    std::size_t deepest = 0;
    for (const auto& [name, value] : *element.dictionary()) {
        if (value.isString()) continue;  // an attribute or the text
        if (value.isDictionary()) {
            deepest = std::max(deepest, elementDepth(value));
            continue;
        }
        check(value.isArray() && value.count() > 0, "a child that is neither an element nor a list");
        for (const Value& item : *value.array()) deepest = std::max(deepest, elementDepth(item));
    }
    return deepest + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const clipora::platform::Data bytes(data, data + size);
    const std::optional<Value> mapped = clipora::PSXMLMapper::dictionaryMappedFromXMLData(bytes);
    const std::optional<Value> again = clipora::PSXMLMapper::dictionaryMappedFromXMLData(bytes);
    check(mapped.has_value() == again.has_value() && (!mapped || *mapped == *again), "two mappings disagree");
    if (!mapped) return 0;
    // The root dictionary itself is one level above the document's element.
    check(elementDepth(*mapped) <= clipora::platform::XMLParser::kMaxElementDepth + 1, "mapped deeper than allowed");
    clipora::PSXMLMapper::textContent(*mapped);
    return 0;
}
