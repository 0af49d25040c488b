#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "social/json/SNJsonBase.h"
#include "social/json/SNJsonParser.h"
#include "social/json/SNJsonWriter.h"

namespace clipora {

// The JSON codec: one parser and one writer behind one set of settings.
//
// The codec's own errorTrace() is a copy of the trace of the last call that
// failed; a successful call leaves it as it was. An instance is used by one
// thread at a time; separate instances are independent.
class SNJSON : public SNJsonBase {
public:
    SNJSON();

    // Parsing. The object forms accept only an object or an array at the top,
    // the fragment forms any value. `error`, when given, receives the last
    // (most general) error of a failed call.
    std::optional<platform::Value> objectWithString(std::optional<std::string_view> text);
    std::optional<platform::Value> objectWithStringAllowScalarError(std::optional<std::string_view> text,
                                                                    bool allowScalar,
                                                                    std::optional<platform::Error>* error);
    std::optional<platform::Value> fragmentWithStringError(std::optional<std::string_view> text,
                                                           std::optional<platform::Error>* error);
    std::optional<platform::Value> objectWithStringError(std::optional<std::string_view> text,
                                                         std::optional<platform::Error>* error);

    // Writing, with the same split between object and fragment forms.
    std::optional<std::string> stringWithObject(const platform::Value& value);
    std::optional<std::string> stringWithObjectAllowScalarError(const platform::Value& value, bool allowScalar,
                                                                std::optional<platform::Error>* error);
    std::optional<std::string> stringWithFragmentError(const platform::Value& value,
                                                       std::optional<platform::Error>* error);
    std::optional<std::string> stringWithObjectError(const platform::Value& value,
                                                     std::optional<platform::Error>* error);

    // The parser's limit; setting it sets the parser's and the writer's.
    unsigned maxDepth() const override;
    void setMaxDepth(unsigned maxDepth) override;
    bool humanReadable() const { return jsonWriter_.humanReadable(); }
    void setHumanReadable(bool humanReadable) { jsonWriter_.setHumanReadable(humanReadable); }
    bool sortKeys() const { return jsonWriter_.sortKeys(); }
    void setSortKeys(bool sortKeys) { jsonWriter_.setSortKeys(sortKeys); }

private:
    void keepTrace(const SNJsonBase& from, std::optional<platform::Error>* error);

    SNJsonParser jsonParser_;
    SNJsonWriter jsonWriter_;
};

}  // namespace clipora
