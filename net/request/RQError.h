#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"

namespace clipora {

// The request engine's errors: domain "RQHTTPRequestErrorDomain", codes 1 to
// 11, each with a localized description. The shared errors (codes 2, 3, 4,
// 5, 9) always carry the same text.
class RQError {
public:
    RQError() = delete;

    static constexpr std::string_view kDomain = "RQHTTPRequestErrorDomain";

    enum Code : std::int64_t {
        kConnectionFailure = 1,
        kRequestTimedOut = 2,
        kAuthenticationNeeded = 3,
        kRequestCancelled = 4,
        kUnableToCreateRequest = 5,
        kInternalError = 6,
        kUnableToApplyCredentials = 7,
        kFileManagement = 8,
        kTooManyRedirects = 9,
        kUnhandledException = 10,
        kCompression = 11,
    };

    static platform::Error make(std::int64_t code, std::string description);
    static platform::Error make(std::int64_t code, std::string description, const platform::Error& underlying);

    // The shared errors.
    static platform::Error timedOut();               // "The request timed out"
    static platform::Error authenticationNeeded();   // "Authentication needed"
    static platform::Error cancelled();              // "The request was cancelled"
    static platform::Error unableToCreateRequest();  // "Unable to create request (bad url?)"
    static platform::Error tooManyRedirects();       // "The request failed because it redirected too many times"

    static bool is(const platform::Error& error, std::int64_t code);
};

}  // namespace clipora
