#include "social/json/SNJSON.h"

namespace clipora {

using platform::Error;
using platform::Value;

SNJSON::SNJSON() { setMaxDepth(kDefaultMaxDepth); }

unsigned SNJSON::maxDepth() const { return jsonParser_.maxDepth(); }

void SNJSON::setMaxDepth(unsigned maxDepth) {
    SNJsonBase::setMaxDepth(maxDepth);
    jsonParser_.setMaxDepth(maxDepth);
    jsonWriter_.setMaxDepth(maxDepth);
}

void SNJSON::keepTrace(const SNJsonBase& from, std::optional<Error>* error) {
    setErrorTrace(from.errorTrace());
    if (error && !errorTrace().empty()) *error = errorTrace().back();
}

std::optional<Value> SNJSON::objectWithString(std::optional<std::string_view> text) {
    auto value = jsonParser_.objectWithString(text);
    if (!value) keepTrace(jsonParser_, nullptr);
    return value;
}

std::optional<Value> SNJSON::objectWithStringAllowScalarError(std::optional<std::string_view> text, bool allowScalar,
                                                              std::optional<Error>* error) {
    auto value = allowScalar ? jsonParser_.fragmentWithString(text) : jsonParser_.objectWithString(text);
    if (!value) keepTrace(jsonParser_, error);
    return value;
}

std::optional<Value> SNJSON::fragmentWithStringError(std::optional<std::string_view> text,
                                                     std::optional<Error>* error) {
    return objectWithStringAllowScalarError(text, true, error);
}

std::optional<Value> SNJSON::objectWithStringError(std::optional<std::string_view> text, std::optional<Error>* error) {
    return objectWithStringAllowScalarError(text, false, error);
}

std::optional<std::string> SNJSON::stringWithObject(const Value& value) {
    auto text = jsonWriter_.stringWithObject(value);
    if (!text) keepTrace(jsonWriter_, nullptr);
    return text;
}

std::optional<std::string> SNJSON::stringWithObjectAllowScalarError(const Value& value, bool allowScalar,
                                                                    std::optional<Error>* error) {
    auto text = allowScalar ? jsonWriter_.stringWithFragment(value) : jsonWriter_.stringWithObject(value);
    if (!text) keepTrace(jsonWriter_, error);
    return text;
}

std::optional<std::string> SNJSON::stringWithFragmentError(const Value& value, std::optional<Error>* error) {
    return stringWithObjectAllowScalarError(value, true, error);
}

std::optional<std::string> SNJSON::stringWithObjectError(const Value& value, std::optional<Error>* error) {
    return stringWithObjectAllowScalarError(value, false, error);
}

}  // namespace clipora
