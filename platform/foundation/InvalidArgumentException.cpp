#include "platform/foundation/InvalidArgumentException.h"

#include <utility>

namespace clipora::platform {

InvalidArgumentException::InvalidArgumentException(std::string reason, Value::Dictionary userInfo)
    : Exception(kInvalidArgumentName, std::move(reason), std::move(userInfo)) {}

}  // namespace clipora::platform
