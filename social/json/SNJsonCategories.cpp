#include "social/json/SNJsonCategories.h"

#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Log.h"
#include "social/json/SNJsonParser.h"
#include "social/json/SNJsonWriter.h"

namespace clipora {

using platform::Value;

namespace {

// The trace as a list, one error per line.
std::string traceText(const std::vector<platform::Error>& trace) {
    std::string text = "(";
    for (std::size_t i = 0; i < trace.size(); ++i) {
        text += i == 0 ? "\n    " : ",\n    ";
        text += trace[i].description();
    }
    text += "\n)";
    return text;
}

template <class Result>
Result logged(Result result, const SNJsonBase& codec, const char* pattern) {
    if (!result) platform::Log::format(pattern, traceText(codec.errorTrace()));
    return result;
}

}  // namespace

std::optional<std::string> SNJsonCategories::JSONFragment(const Value& value) {
    SNJsonWriter writer;
    return logged(writer.stringWithFragment(value), writer, "-JSONFragment failed. Error trace is: %@");
}

std::optional<std::string> SNJsonCategories::JSONRepresentation(const Value& value) {
    SNJsonWriter writer;
    return logged(writer.stringWithObject(value), writer, "-JSONRepresentation failed. Error trace is: %@");
}

std::optional<Value> SNJsonCategories::JSONFragmentValue(std::string_view text) {
    SNJsonParser parser;
    return logged(parser.fragmentWithString(text), parser, "-JSONFragmentValue failed. Error trace is: %@");
}

std::optional<Value> SNJsonCategories::JSONValue(std::string_view text) {
    SNJsonParser parser;
    return logged(parser.objectWithString(text), parser, "-JSONValue failed. Error trace is: %@");
}

}  // namespace clipora
