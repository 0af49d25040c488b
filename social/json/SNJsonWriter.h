#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "social/json/SNJsonBase.h"
#include "social/json/SNJsonOutput.h"

namespace clipora {

// Writes Values as JSON text: dictionaries as objects, arrays, strings, bools
// as true/false, integers in plain digits, finite reals in their shortest form
// that reads back the same (always with a fraction or an exponent, so they
// read back as reals), null as null, and an object that is an SNJsonProxy as
// the value it stands for. Data, dates, other objects and non-finite reals
// cannot be written (error 1).
//
// Keys come out in the dictionary's order, which is always ascending; with
// humanReadable every element starts on a new line indented by two spaces
// per level and keys are separated from values by " : ". There is no
// trailing line feed. A failed call answers std::nullopt and leaves its
// errors in errorTrace().
class SNJsonWriter : public SNJsonBase {
public:
    SNJsonWriter() = default;

    // Any value.
    std::optional<std::string> stringWithFragment(const platform::Value& value);
    // A dictionary or an array (or a proxy standing for one); anything else
    // fails with error 4.
    std::optional<std::string> stringWithObject(const platform::Value& value);

    // The name an object's class goes by in "not supported" errors.
    static std::string className(const platform::Object& object);

    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }
    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }

private:
    using Output = SNJsonOutput;

    bool appendValueInto(const platform::Value& value, Output& out);
    bool appendArrayInto(const platform::Value::Array& array, Output& out);
    bool appendDictionaryInto(const platform::Value::Dictionary& dictionary, Output& out);
    void appendStringInto(const std::string& text, Output& out);
    void indent(Output& out) const;
    bool enterContainer();

    bool sortKeys_ = false;
    bool humanReadable_ = false;
    unsigned proxyDepth_ = 0;  // proxies being written, one inside the other
    // The size of the last text written, the first guess for the next one:
    // a writer tends to write documents of one shape.
    std::size_t lastSize_ = 0;
};

}  // namespace clipora
