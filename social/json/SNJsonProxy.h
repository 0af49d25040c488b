#pragma once

#include "platform/foundation/Value.h"

namespace clipora {

// Implemented by a platform::Object that can stand in a Value handed to the
// JSON writer: the writer writes the value that proxyForJson() answers in its
// place. (An interface of its own, so that any object class can add it.)
class SNJsonProxy {
public:
    virtual ~SNJsonProxy() = default;
    virtual platform::Value proxyForJson() const = 0;
};

}  // namespace clipora
