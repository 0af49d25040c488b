#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "share/json/JCObject.h"
#include "share/json/JCValue.h"

namespace clipora {

class JCPool;
class JCArray;
class JCDictionary;

// The sharing framework's JSON decoder: UTF-8 text in one pass into a
// document of JCArray, JCDictionary, JCString and plain numbers, all carved
// from one pool per parse. The top level must be an array or a dictionary.
//
// A decoder keeps a cache of recently decoded strings between parses, so
// that text decoded again (a dictionary's keys above all) answers the very
// same JCString. It belongs to one thread at a time; the static one-call
// forms make a decoder of their own and may be used from any thread.
//
// Malformed input never throws: the answer is empty and the error (domain
// "JCErrorDomain", code -1) carries the byte index (kAtIndexKey) and the
// 1-based line (kLineNumberKey) where the fault was found: the first byte of
// an unexpected token, the offending byte inside a string or a number, the
// end of the input when it ended too soon. Nesting deeper than kMaxDepth
// containers fails as "nesting too deep" at the opening bracket that goes
// one level too far.
class JSONDecoder {
public:
    static constexpr std::string_view kErrorDomain = "JCErrorDomain";
    static constexpr std::int64_t kErrorCode = -1;
    static constexpr std::string_view kAtIndexKey = "JCAtIndexKey";
    static constexpr std::string_view kLineNumberKey = "JCLineNumberKey";

    // Parse options (a bit set; anything above 15 is refused).
    static constexpr unsigned kParseOptionStrict = 0;
    // /* block */ and // line comments count as white space.
    static constexpr unsigned kParseOptionComments = 1;
    // U+2028, U+2029 and U+0085 also end lines (for line numbers).
    static constexpr unsigned kParseOptionUnicodeNewlines = 2;
    // Invalid UTF-8 and invalid \u escapes become U+FFFD instead of failing.
    static constexpr unsigned kParseOptionLooseUnicode = 4;
    // Anything after the top-level value is ignored instead of failing.
    static constexpr unsigned kParseOptionPermitTextAfterValidJSON = 8;
    static constexpr unsigned kParseOptionValidFlags = 15;

    static constexpr unsigned kMaxDepth = 512;

    // Throws the invalid-argument exception "Invalid parse options." for
    // options above 15.
    explicit JSONDecoder(unsigned parseOptions = kParseOptionStrict);
    ~JSONDecoder();
    JSONDecoder(const JSONDecoder&) = delete;
    JSONDecoder& operator=(const JSONDecoder&) = delete;

    static std::shared_ptr<JSONDecoder> decoder() { return decoderWithParseOptions(kParseOptionStrict); }
    static std::shared_ptr<JSONDecoder> decoderWithParseOptions(unsigned parseOptions);

    unsigned parseOptions() const { return options_; }

    // The top-level array or dictionary (frozen, or open to changes for the
    // mutable forms), or nullptr with the error stored through `error` when
    // one is given. A null `bytes` throws the invalid-argument exception
    // "The string argument is NULL.".
    std::shared_ptr<JCObject> objectWithUTF8StringLengthError(const char* bytes, std::size_t length,
                                                              std::optional<platform::Error>* error = nullptr);
    std::shared_ptr<JCObject> mutableObjectWithUTF8StringLengthError(const char* bytes, std::size_t length,
                                                                     std::optional<platform::Error>* error = nullptr);
    // The same over a data object's bytes; a null `data` throws the
    // invalid-argument exception "The jsonData argument is NULL.".
    std::shared_ptr<JCObject> objectWithDataError(const platform::Data* data,
                                                  std::optional<platform::Error>* error = nullptr);
    std::shared_ptr<JCObject> mutableObjectWithDataError(const platform::Data* data,
                                                         std::optional<platform::Error>* error = nullptr);
    std::shared_ptr<JCObject> parseJSONData(const platform::Data* data) { return objectWithDataError(data); }

    // Forgets every cached string.
    void clearCache();

    // One-call forms over a string or a data object, with a decoder of their
    // own (nothing is cached across calls).
    static std::shared_ptr<JCObject> objectFromJSONStringWithParseOptionsError(
        std::string_view text, unsigned parseOptions = kParseOptionStrict,
        std::optional<platform::Error>* error = nullptr);
    static std::shared_ptr<JCObject> mutableObjectFromJSONStringWithParseOptionsError(
        std::string_view text, unsigned parseOptions = kParseOptionStrict,
        std::optional<platform::Error>* error = nullptr);
    static std::shared_ptr<JCObject> objectFromJSONDataWithParseOptionsError(
        const platform::Data& data, unsigned parseOptions = kParseOptionStrict,
        std::optional<platform::Error>* error = nullptr);
    static std::shared_ptr<JCObject> mutableObjectFromJSONDataWithParseOptionsError(
        const platform::Data& data, unsigned parseOptions = kParseOptionStrict,
        std::optional<platform::Error>* error = nullptr);

    // The root of a decoded document as a value (an array or a dictionary).
    static JCValue rootValue(const JCObject& object);

    struct ParseState;

private:
    std::shared_ptr<JCObject> parse(const char* bytes, std::size_t length, bool isMutable,
                                    std::optional<platform::Error>* error);
    // The collections' private construction, open to the decoder only.
    static JCArray* makeArray(JCPool& pool, JCValue* objects, std::size_t count, bool isMutable);
    static JCDictionary* makeDictionary(JCPool& pool, std::size_t pairs, bool isMutable);
    static void insertPair(JCDictionary& dictionary, const JCString* key, const JCValue& value);

    unsigned options_;
    std::unique_ptr<ParseState> state_;
};

}  // namespace clipora
