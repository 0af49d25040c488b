#include "platform/uikit/Responder.h"

namespace clipora::platform {

namespace {
// The first responder is a main-thread matter, like every interface object.
std::weak_ptr<Responder>& current() {
    static std::weak_ptr<Responder> responder;
    return responder;
}
}  // namespace

Responder::~Responder() = default;

bool Responder::becomeFirstResponder() {
    if (!canBecomeFirstResponder()) return false;
    auto existing = current().lock();
    if (existing.get() == this) return true;
    if (existing && !existing->resignFirstResponder()) return false;
    current() = weak_from_this();
    return true;
}

bool Responder::resignFirstResponder() {
    if (!canResignFirstResponder()) return false;
    if (isFirstResponder()) current().reset();
    return true;
}

bool Responder::isFirstResponder() const {
    auto existing = current().lock();
    return existing && existing.get() == this;
}

std::shared_ptr<Responder> Responder::firstResponder() { return current().lock(); }

void Responder::clearFirstResponder() { current().reset(); }

}  // namespace clipora::platform
