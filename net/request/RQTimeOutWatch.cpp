#include "net/request/RQTimeOutWatch.h"

namespace clipora {

std::optional<platform::Date> RQTimeOutWatch::lastActivity() const {
    std::lock_guard lock(mutex_);
    return lastActivity_;
}

void RQTimeOutWatch::noteActivity() {
    const auto now = platform::Date::now();
    std::lock_guard lock(mutex_);
    lastActivity_ = now;
}

void RQTimeOutWatch::forgetActivity() {
    std::lock_guard lock(mutex_);
    lastActivity_.reset();
}

bool RQTimeOutWatch::timedOut(const Attempt& attempt) const {
    const auto last = lastActivity();
    if (!attempt.streamScheduled || !last) return false;
    const double limit = timeOutSeconds.load();
    if (limit <= 0) return false;
    const double idle = platform::Date::now().timeIntervalSince(*last);
    if (idle <= limit) return false;
    if (attempt.postLength == 0) return true;
    if (attempt.uploadBufferSize > 0 && attempt.bytesSent > attempt.uploadBufferSize) return true;
    return idle > limit * 1.5;
}

}  // namespace clipora
