// Fuzz target for the JSON codec: any input must parse or fail cleanly, and
// whatever parses must survive a trip through the writer unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"
#include "social/json/SNJsonParser.h"
#include "social/json/SNJsonWriter.h"

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "snjson_fuzz: %s\n", what);
        std::abort();
    }
}

void roundTrip(const clipora::platform::Value& value, bool humanReadable) {
    clipora::SNJsonWriter writer;
    writer.setMaxDepth(0);
    writer.setHumanReadable(humanReadable);
    const std::optional<std::string> text = writer.stringWithFragment(value);
    check(text.has_value(), "a parsed value could not be written");
    clipora::SNJsonParser parser;
    parser.setMaxDepth(0);
    const auto reread = parser.fragmentWithString(*text);
    check(reread.has_value(), "written text does not parse");
    check(*reread == value, "round trip changed the value");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (unsigned maxDepth : {clipora::SNJsonBase::kDefaultMaxDepth, 0u}) {
        clipora::SNJsonParser parser;
        parser.setMaxDepth(maxDepth);
        const auto value = parser.fragmentWithString(text);
        check(value.has_value() == parser.errorTrace().empty(), "result and error trace disagree");
        // One parser kept over every input, as a client keeps one: what it
        // gives may not depend on what it read before.
        static clipora::SNJsonParser reused;
        reused.setMaxDepth(maxDepth);
        const auto again = reused.fragmentWithString(text);
        check(again.has_value() == value.has_value() && (!value || *again == *value),
              "a parser that read other texts gives another result");
        check(reused.errorTrace().size() == parser.errorTrace().size(),
              "a parser that read other texts fails otherwise");
        const auto object = parser.objectWithString(text);
        check(object.has_value() == (value && (value->isArray() || value->isDictionary())),
              "object form disagrees with fragment form");
        if (!value) continue;
        roundTrip(*value, false);
        roundTrip(*value, true);
    }
    return 0;
}
