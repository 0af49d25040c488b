#include "platform/foundation/Exception.h"

#include <utility>

namespace clipora::platform {

Exception::Exception(std::string name, std::string reason, Value::Dictionary userInfo)
    : std::runtime_error(reason), name_(std::move(name)), reason_(std::move(reason)), userInfo_(std::move(userInfo)) {}

}  // namespace clipora::platform
