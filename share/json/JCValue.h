#pragma once

#include <cstdint>
#include <string_view>

#include "platform/foundation/Value.h"
#include "share/json/JCString.h"

namespace clipora {

class JCArray;
class JCDictionary;

// One value of a decoded document: null, a boolean, a number (a signed
// 64-bit integer, an unsigned one above INT64_MAX, or a double), a string,
// an array or a dictionary.
//
// A JCValue is a small view: strings, arrays and dictionaries are owned by
// their document and stay valid as long as any shared_ptr to a collection of
// that document (its root, or one taken with JCObject::retained) lives.
class JCValue {
public:
    enum class Kind : std::uint8_t { Null, Bool, Integer, UnsignedInteger, Real, String, Array, Dictionary };

    JCValue() : kind_(Kind::Null) { u_.integer = 0; }
    explicit JCValue(bool value) : kind_(Kind::Bool) {
        u_.integer = 0;
        u_.boolean = value;
    }
    explicit JCValue(std::int64_t value) : kind_(Kind::Integer) { u_.integer = value; }
    explicit JCValue(double value) : kind_(Kind::Real) { u_.real = value; }
    explicit JCValue(const JCString* string) : kind_(Kind::String) { u_.pointer = string; }
    explicit JCValue(const JCArray* array) : kind_(Kind::Array) { u_.pointer = array; }
    explicit JCValue(const JCDictionary* dictionary) : kind_(Kind::Dictionary) { u_.pointer = dictionary; }
    // An unsigned value up to INT64_MAX is kept as Integer, as the decoder does.
    static JCValue unsignedInteger(std::uint64_t value);

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isString() const { return kind_ == Kind::String; }
    bool isArray() const { return kind_ == Kind::Array; }
    bool isDictionary() const { return kind_ == Kind::Dictionary; }
    bool isNumber() const { return kind_ == Kind::Integer || kind_ == Kind::UnsignedInteger || kind_ == Kind::Real; }

    // The content, or false / 0 / nullptr / "" when the value is of another kind.
    bool boolean() const { return kind_ == Kind::Bool && u_.boolean; }
    std::int64_t integer() const { return kind_ == Kind::Integer ? u_.integer : 0; }
    std::uint64_t unsignedValue() const { return kind_ == Kind::UnsignedInteger ? u_.unsignedInteger : 0; }
    double real() const { return kind_ == Kind::Real ? u_.real : 0.0; }
    const JCString* string() const {
        return kind_ == Kind::String ? static_cast<const JCString*>(u_.pointer) : nullptr;
    }
    std::string_view text() const { return kind_ == Kind::String ? string()->view() : std::string_view(); }
    const JCArray* array() const { return kind_ == Kind::Array ? static_cast<const JCArray*>(u_.pointer) : nullptr; }
    const JCDictionary* dictionary() const {
        return kind_ == Kind::Dictionary ? static_cast<const JCDictionary*>(u_.pointer) : nullptr;
    }
    // The same collections for changing, when the document was decoded
    // mutable (a frozen one refuses every change).
    JCArray* mutableArray() const { return const_cast<JCArray*>(array()); }
    JCDictionary* mutableDictionary() const { return const_cast<JCDictionary*>(dictionary()); }

    // The platform's form of the value, deeply copied: integers stay signed
    // or unsigned, strings are copied, collections converted.
    platform::Value toValue() const;

    // Same kind and content, collections compared deeply; 1 and 1.0 differ.
    friend bool operator==(const JCValue& a, const JCValue& b);

private:
    Kind kind_;
    union {
        bool boolean;
        std::int64_t integer;
        std::uint64_t unsignedInteger;
        double real;
        const void* pointer;
    } u_;
};

}  // namespace clipora
