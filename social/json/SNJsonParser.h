#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"
#include "social/json/SNJsonBase.h"

namespace clipora {

// Recursive-descent JSON parser over UTF-8 bytes.
//
// Objects become dictionaries (a later duplicate key replaces the earlier
// value), arrays arrays, strings UTF-8 strings, true/false bools and null the
// null Value. A number without fraction or exponent becomes an exact integer
// (signed, or unsigned above INT64_MAX); beyond 64 bits, or with a fraction or
// exponent, a real. The whole input is read, embedded zero bytes included.
//
// Lenient where the network's replies need it: a comma between array elements
// or object pairs may be left out ("[1 2]" is two numbers). A failed call
// answers std::nullopt and leaves its errors in errorTrace().
class SNJsonParser : public SNJsonBase {
public:
    SNJsonParser() = default;

    // One JSON value of any kind, with only whitespace around it. std::nullopt
    // (no text at all) fails with error 12.
    std::optional<platform::Value> fragmentWithString(std::optional<std::string_view> text);
    // As fragmentWithString, but the value must be an object or an array.
    std::optional<platform::Value> objectWithString(std::optional<std::string_view> text);

private:
    bool scanValue(platform::Value& out);
    bool scanRestOfTrue(platform::Value& out);
    bool scanRestOfFalse(platform::Value& out);
    bool scanRestOfNull(platform::Value& out);
    bool scanRestOfArray(platform::Value& out);
    bool scanRestOfDictionary(platform::Value& out);
    // The text stays valid until the next string is scanned.
    bool scanRestOfString(std::string_view& out);
    bool scanRestOfEscapedString(std::string& out);
    bool scanUnicodeChar(std::string& out);
    bool scanHexQuad(char32_t& out);
    bool scanNumber(platform::Value& out);
    bool scanIsAtEnd();

    void skipWhitespace();
    bool enterContainer();

    const char* c_ = nullptr;    // read position
    const char* end_ = nullptr;  // end of the input
    std::string scratch_;             // a string with escapes, being decoded
    std::vector<platform::Value> stack_;  // elements of the arrays being parsed
};

}  // namespace clipora
