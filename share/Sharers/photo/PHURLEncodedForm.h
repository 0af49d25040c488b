#pragma once

#include <map>
#include <string>

#include "platform/foundation/Value.h"

namespace clipora {

// An "application/x-www-form-urlencoded" body from name -> value pairs.
class PHURLEncodedForm {
public:
    PHURLEncodedForm() = delete;

    // "name=value" pairs joined by "&" in the dictionary's order, each name
    // and value percent-encoded in UTF-8 with everything but A-Z a-z 0-9
    // "-._~" escaped (a "+" or "&" in a value reaches the receiver as it
    // is). An empty dictionary gives empty bytes.
    static platform::Data dataAsWWWURLEncodedFormFromDictionary(const std::map<std::string, std::string>& form);
};

}  // namespace clipora
