#pragma once

#include <string>

#include "platform/foundation/Exception.h"

namespace clipora::platform {

// The platform's invalid-argument exception (name Exception::kInvalidArgumentName).
class InvalidArgumentException : public Exception {
public:
    explicit InvalidArgumentException(std::string reason, Value::Dictionary userInfo = {});
};

}  // namespace clipora::platform
