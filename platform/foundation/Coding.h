#pragma once

#include <string>

namespace clipora::platform {

class KeyedArchiver;

// What a class implements to be written into a keyed archive. A codable
// class derives from platform::Object (so that it can travel inside a
// Value) and from Coding, and is registered by name in the CodingRegistry
// with a function that rebuilds an instance from a KeyedUnarchiver.
class Coding {
public:
    // Names of the value kinds, for the allowed-class lists of
    // KeyedUnarchiver. Registered class names must differ from them.
    static constexpr const char* kStringClass = "String";
    static constexpr const char* kNumberClass = "Number";  // booleans, integers and reals
    static constexpr const char* kDataClass = "Data";
    static constexpr const char* kDateClass = "Date";
    static constexpr const char* kArrayClass = "Array";
    static constexpr const char* kDictionaryClass = "Dictionary";
    static constexpr const char* kNullClass = "Null";

    virtual ~Coding() = default;

    // The name the class is registered under.
    virtual std::string classNameForCoder() const = 0;
    // Writes the object's state into the archive, key by key.
    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
};

}  // namespace clipora::platform
