#include "net/request/RQError.h"

#include <utility>

namespace clipora {

using platform::Error;

Error RQError::make(std::int64_t code, std::string description) {
    return Error::withDescription(std::string(kDomain), code, std::move(description));
}

Error RQError::make(std::int64_t code, std::string description, const Error& underlying) {
    return make(code, std::move(description)).withUnderlyingError(underlying);
}

Error RQError::timedOut() { return make(kRequestTimedOut, "The request timed out"); }

Error RQError::authenticationNeeded() { return make(kAuthenticationNeeded, "Authentication needed"); }

Error RQError::cancelled() { return make(kRequestCancelled, "The request was cancelled"); }

Error RQError::unableToCreateRequest() { return make(kUnableToCreateRequest, "Unable to create request (bad url?)"); }

Error RQError::tooManyRedirects() {
    return make(kTooManyRedirects, "The request failed because it redirected too many times");
}

bool RQError::is(const Error& error, std::int64_t code) { return error.domain() == kDomain && error.code() == code; }

}  // namespace clipora
