#pragma once

#include <cstddef>
#include <cstdint>
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
    // Decodes the rest of a string holding an escape or a multi-byte
    // character into scratch_, from `run` (the start of the plain run read
    // last) on; `length` counts the bytes decoded.
    bool scanRestOfEscapedString(const char* run, std::size_t& length);
    // Room for `more` bytes after the first `used` bytes of scratch_.
    char* scratchRoom(std::size_t used, std::size_t more);
    bool scanUnicodeChar(char32_t& out);
    bool scanHexQuad(char32_t& out);
    bool scanNumber(platform::Value& out);
    bool scanIsAtEnd();

    void skipWhitespace();
    bool enterContainer();

    // How the keys of the last object parsed at one depth were ordered: for
    // its i-th key, the position of the earlier key that sorts right after
    // it (kNone when it sorted after all of them). The rows of a reply repeat
    // their keys in the same order, so this tells where each key of the next
    // object at that depth goes in its dictionary.
    struct KeyOrder {
        static constexpr std::uint32_t kNone = UINT32_MAX;
        static constexpr std::size_t kMaxKeys = 64;  // larger objects are not remembered
        std::vector<std::uint32_t> next;
    };
    void rememberKeyOrder(unsigned depth, std::size_t base, const platform::Value::Dictionary& pairs);

    const char* c_ = nullptr;    // read position
    const char* end_ = nullptr;  // end of the input
    // A string with escapes, being decoded; its size is the room it has.
    std::string scratch_;
    std::vector<platform::Value> stack_;  // elements of the arrays being parsed
    std::vector<KeyOrder> keyOrders_;     // by depth
    // The entries of the objects being parsed, in the order of their keys in
    // the input.
    std::vector<platform::Value::Dictionary::iterator> slots_;
    std::vector<std::uint32_t> ranks_;  // scratch of rememberKeyOrder
};

}  // namespace clipora
