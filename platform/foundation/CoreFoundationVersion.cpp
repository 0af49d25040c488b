#include "platform/foundation/CoreFoundationVersion.h"

#include <atomic>

namespace clipora::platform {

namespace {
std::atomic<double>& current() {
    static std::atomic<double> number{CoreFoundationVersion::kCurrent};
    return number;
}
}  // namespace

double CoreFoundationVersion::number() { return current().load(); }
void CoreFoundationVersion::setNumber(double number) { current().store(number); }
void CoreFoundationVersion::reset() { current().store(kCurrent); }

}  // namespace clipora::platform
