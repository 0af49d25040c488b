#include "social/json/SNJsonBase.h"

#include <utility>

namespace clipora {

void SNJsonBase::addErrorWithCodeDescription(std::int64_t code, std::string description) {
    platform::Error error = platform::Error::withDescription(std::string(kErrorDomain), code, std::move(description));
    if (!errorTrace_.empty()) error.setUnderlyingError(errorTrace_.back());
    errorTrace_.push_back(std::move(error));
}

void SNJsonBase::clearErrorTrace() { errorTrace_.clear(); }

}  // namespace clipora
