#pragma once

#include <string>

namespace clipora::platform {

// Base of the few objects that travel inside a Value (an image, a URL, a
// record put into a collection). Held through std::shared_ptr; a Value copy
// shares the object rather than cloning it.
class Object {
public:
    virtual ~Object();

    // The object's text form, as "%@" and Value::description() print it.
    virtual std::string description() const;

    // Equality used by Value::operator==. Identity by default.
    virtual bool isEqual(const Object& other) const;
};

}  // namespace clipora::platform
