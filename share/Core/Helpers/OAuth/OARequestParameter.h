#pragma once

#include <string>

#include "share/Core/Helpers/OAuth/OAURLEncoding.h"

namespace clipora {

// One name-value pair of a request.
class OARequestParameter {
public:
    OARequestParameter(std::string name, std::string value) : name_(std::move(name)), value_(std::move(value)) {}
    static OARequestParameter requestParameterWithNameValue(std::string name, std::string value) {
        return OARequestParameter(std::move(name), std::move(value));
    }

    const std::string& name() const { return name_; }
    const std::string& value() const { return value_; }
    std::string URLEncodedName() const { return OAURLEncoding::URLEncodedString(name_); }
    std::string URLEncodedValue() const { return OAURLEncoding::URLEncodedString(value_); }
    std::string URLEncodedNameValuePair() const { return URLEncodedName() + "=" + URLEncodedValue(); }

    friend bool operator==(const OARequestParameter&, const OARequestParameter&) = default;

private:
    std::string name_;
    std::string value_;
};

}  // namespace clipora
