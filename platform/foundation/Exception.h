#pragma once

#include <stdexcept>
#include <string>

#include "platform/foundation/Value.h"

namespace clipora::platform {

// A programming error raised as an exception: a name, a reason and a user-info
// dictionary. what() answers the reason.
class Exception : public std::runtime_error {
public:
    // Names of the platform's standard exceptions.
    static constexpr const char* kInvalidArgumentName = "InvalidArgumentException";
    static constexpr const char* kInternalInconsistencyName = "InternalInconsistencyException";
    static constexpr const char* kRangeName = "RangeException";
    static constexpr const char* kMallocName = "MallocException";
    static constexpr const char* kIllegalStateName = "IllegalStateException";

    Exception(std::string name, std::string reason, Value::Dictionary userInfo = {});

    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    const Value::Dictionary& userInfo() const { return userInfo_; }

private:
    std::string name_;
    std::string reason_;
    Value::Dictionary userInfo_;
};

}  // namespace clipora::platform
