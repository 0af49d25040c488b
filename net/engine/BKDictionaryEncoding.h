#pragma once

#include <string>

#include "platform/foundation/Value.h"

namespace clipora {

// The three encodings of a dictionary of fields as a request body or query.
// Keys go in the dictionary's (sorted) order.
class BKDictionaryEncoding {
public:
    BKDictionaryEncoding() = delete;

    // "key=value&key=value": both sides escaped (BKStringEncoding); a value
    // that is not a string is escaped through its text form, so arrays,
    // dictionaries and dates cannot carry "&", "=" or blanks into the text.
    // "" for an empty dictionary.
    static std::string urlEncodedKeyValueString(const platform::Value::Dictionary& fields);
    // Compact JSON; "" when the fields have no JSON form.
    static std::string jsonEncodedKeyValueString(const platform::Value::Dictionary& fields);
    // An XML property list; "" when the fields have no property-list form.
    static std::string plistEncodedKeyValueString(const platform::Value::Dictionary& fields);
};

}  // namespace clipora
