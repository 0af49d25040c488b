#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "share/json/JCSerializerDelegate.h"
#include "share/json/JCValue.h"

namespace clipora {

// The encoding half of the sharing framework's JSON codec: writes a tree of
// platform values (or a decoded JCValue tree) as UTF-8 JSON text.
//
// Strings, numbers, booleans, null, arrays and dictionaries are written;
// decoded collections inside a platform value (JCObject) too. Anything else
// (data, dates, other objects) goes to the unsupported-class block or
// delegate, whose answer is written in its place. Doubles are written with
// "%.17g"; NaN and infinities fail. Nesting deeper than kMaxDepth
// containers fails with "nesting too deep" (which also ends cyclic input).
// Errors are of domain "JCErrorDomain", code -1, with only a description.
class JCSerializer {
public:
    // Serialize options.
    static constexpr unsigned kSerializeOptionNone = 0;
    // Newlines, two spaces per level, ": " after keys, keys sorted.
    static constexpr unsigned kSerializeOptionPretty = 1;
    // Every non-ASCII character as \u escapes (a surrogate pair above U+FFFF).
    static constexpr unsigned kSerializeOptionEscapeUnicode = 2;
    // "/" as "\/".
    static constexpr unsigned kSerializeOptionEscapeForwardSlashes = 16;

    // Encode options: what to answer (low three bits) and what to accept.
    static constexpr unsigned kEncodeAsData = 1;
    static constexpr unsigned kEncodeAsString = 2;
    static constexpr unsigned kEncodeOnlyCollections = 8;
    static constexpr unsigned kEncodeOnlyString = 16;
    static constexpr unsigned kEncodeStringWithoutQuotes = 32;

    static constexpr unsigned kMaxDepth = 512;

    using UnsupportedClassBlock = std::function<std::optional<platform::Value>(const platform::Value& object)>;

    // The text as a data value (kEncodeAsData) or a string value
    // (kEncodeAsString), or nullopt with the first error through `error`.
    // A delegate without a selector throws the invalid-argument exception
    // "The delegate argument is not NULL, but the selector argument is
    // NULL.".
    std::optional<platform::Value> serializeObjectOptionsEncodeOptionBlockDelegateSelectorError(
        const platform::Value& object, unsigned serializeOptions, unsigned encodeOptions,
        const UnsupportedClassBlock& block, const std::shared_ptr<JCSerializerDelegate>& delegate,
        JCSerializerDelegate::Selector selector, std::optional<platform::Error>* error);
    // The same for a decoded tree (which holds nothing unsupported).
    std::optional<platform::Value> serializeValueOptionsEncodeOptionError(const JCValue& value,
                                                                          unsigned serializeOptions,
                                                                          unsigned encodeOptions,
                                                                          std::optional<platform::Error>* error);

    // One-call forms for an array or a dictionary.
    static std::optional<platform::Data> JSONDataWithOptionsError(const platform::Value& collection,
                                                                  unsigned serializeOptions = 0,
                                                                  std::optional<platform::Error>* error = nullptr);
    static std::optional<std::string> JSONStringWithOptionsError(const platform::Value& collection,
                                                                 unsigned serializeOptions = 0,
                                                                 std::optional<platform::Error>* error = nullptr);
    static std::optional<std::string> JSONStringWithOptionsSerializeUnsupportedClassesUsingBlockError(
        const platform::Value& collection, unsigned serializeOptions, const UnsupportedClassBlock& block,
        std::optional<platform::Error>* error = nullptr);
    static std::optional<std::string> JSONStringWithOptionsSerializeUnsupportedClassesUsingDelegateSelectorError(
        const platform::Value& collection, unsigned serializeOptions,
        const std::shared_ptr<JCSerializerDelegate>& delegate, JCSerializerDelegate::Selector selector,
        std::optional<platform::Error>* error = nullptr);
    static std::optional<std::string> JSONStringWithOptionsError(const JCValue& collection,
                                                                 unsigned serializeOptions = 0,
                                                                 std::optional<platform::Error>* error = nullptr);
    static std::optional<platform::Data> JSONDataWithOptionsError(const JCValue& collection,
                                                                  unsigned serializeOptions = 0,
                                                                  std::optional<platform::Error>* error = nullptr);

    // One-call forms for a single string (with or without its quotes).
    static std::optional<std::string> JSONStringWithOptionsIncludeQuotesError(
        std::string_view text, unsigned serializeOptions, bool includeQuotes,
        std::optional<platform::Error>* error = nullptr);
    static std::optional<platform::Data> JSONDataWithOptionsIncludeQuotesError(
        std::string_view text, unsigned serializeOptions, bool includeQuotes,
        std::optional<platform::Error>* error = nullptr);

private:
    class Writer;
    std::optional<platform::Value> finish(Writer& writer, bool written, unsigned encodeOptions,
                                          std::optional<platform::Error>* error);
    std::size_t sizeHint() const;

    // The size of the last text written: the first guess for the next one.
    std::size_t lastSize_ = 0;
};

}  // namespace clipora
