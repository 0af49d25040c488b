#include "platform/foundation/Object.h"

#include <cstdio>

namespace clipora::platform {

Object::~Object() = default;

std::string Object::description() const {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "<Object: %p>", static_cast<const void*>(this));
    return buffer;
}

bool Object::isEqual(const Object& other) const { return this == &other; }

}  // namespace clipora::platform
