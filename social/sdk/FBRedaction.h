#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Keeps the session's secrets out of log lines and error descriptions: the
// values of the parameters "access_token", "sig" and "session_key" are
// replaced by kRedacted wherever they appear as "name=value" (URL queries,
// fragments, form bodies, texts that quote them).
class FBRedaction {
public:
    static constexpr std::string_view kRedacted = "[redacted]";

    FBRedaction() = delete;

    static std::string redactText(std::string_view text);
    // Every text in the value, keys included, redacted (arrays and
    // dictionaries deeply).
    static platform::Value redactValue(const platform::Value& value);
    // The error with its user info and underlying errors redacted.
    static platform::Error redactError(const platform::Error& error);
};

}  // namespace clipora
