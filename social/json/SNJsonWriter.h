#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "social/json/SNJsonBase.h"

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

    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }
    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }

private:
    // The text being written: a string sized ahead of the writes and filled
    // through a cursor, so that growing it copies only a doubling's worth
    // and each write is a bounds check and a copy.
    class Output {
    public:
        explicit Output(std::size_t capacity);
        // Room for at least `bytes` more.
        char* reserve(std::size_t bytes) {
            if (static_cast<std::size_t>(end_ - cursor_) < bytes) grow(bytes);
            return cursor_;
        }
        void advanceTo(char* cursor) { cursor_ = cursor; }
        void put(char ch) { *reserve(1) = ch; ++cursor_; }
        void put(const char* bytes, std::size_t count);
        std::size_t size() const { return static_cast<std::size_t>(cursor_ - text_.data()); }
        std::string take();

    private:
        void grow(std::size_t bytes);
        std::string text_;
        char* cursor_;
        char* end_;
    };

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
