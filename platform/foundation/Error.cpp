#include "platform/foundation/Error.h"

#include <cstring>
#include <utility>

namespace clipora::platform {

Error::Error(std::string domain, std::int64_t code, Value::Dictionary userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

Error Error::withDescription(std::string domain, std::int64_t code, std::string localizedDescription) {
    Value::Dictionary info;
    info.emplace(std::string(kLocalizedDescriptionKey), Value(std::move(localizedDescription)));
    return Error(std::move(domain), code, std::move(info));
}

Error Error::fromErrno(int errnoValue, std::string_view path) {
    char buffer[256];
    // The GNU strerror_r answers a pointer that may or may not be the buffer.
    const char* text = strerror_r(errnoValue, buffer, sizeof buffer);
    Value::Dictionary info;
    info.emplace(std::string(kLocalizedDescriptionKey), Value(std::string(text)));
    if (!path.empty()) info.emplace(std::string(kFilePathKey), Value(path));
    return Error(std::string(kPOSIXErrorDomain), errnoValue, std::move(info));
}

void Error::setUserInfoValue(std::string key, Value value) { userInfo_[std::move(key)] = std::move(value); }

std::string Error::localizedDescription() const {
    auto it = userInfo_.find(kLocalizedDescriptionKey);
    if (it != userInfo_.end() && it->second.isString()) return *it->second.string();
    return "The operation couldn't be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::optional<std::string> Error::localizedFailureReason() const {
    auto it = userInfo_.find(kLocalizedFailureReasonKey);
    if (it != userInfo_.end() && it->second.isString()) return *it->second.string();
    return std::nullopt;
}

void Error::setUnderlyingError(const Error& error) { underlying_ = std::make_shared<const Error>(error); }

Error Error::withUnderlyingError(const Error& error) const {
    Error copy = *this;
    copy.setUnderlyingError(error);
    return copy;
}

bool Error::isCancellation() const { return code_ == kURLErrorCancelled && domain_ == kURLErrorDomain; }

std::string Error::description() const {
    std::string out =
        "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription() + "\"";
    if (!userInfo_.empty() || underlying_) {
        Value info(userInfo_);
        if (underlying_) info.set(std::string(kUnderlyingErrorKey), Value(underlying_->description()));
        out += " UserInfo=" + info.description();
    }
    return out;
}

bool operator==(const Error& a, const Error& b) {
    if (a.domain_ != b.domain_ || a.code_ != b.code_ || a.userInfo_ != b.userInfo_) return false;
    if (!a.underlying_ || !b.underlying_) return !a.underlying_ && !b.underlying_;
    return *a.underlying_ == *b.underlying_;
}

}  // namespace clipora::platform
