#pragma once

#include <memory>

#include "platform/foundation/Object.h"

namespace clipora::platform {

// Base of views and view controllers: shared ownership (every responder is
// made with std::make_shared) and the first-responder role. There is at most
// one first responder in the process (the object that has the keyboard).
class Responder : public Object, public std::enable_shared_from_this<Responder> {
public:
    ~Responder() override;

    // The next object up the responder chain: a view's controller or
    // superview, a controller's view's superview. None by default.
    virtual std::shared_ptr<Responder> nextResponder() const { return nullptr; }

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    // Takes the first-responder role when this object can, after the current
    // first responder gave it up. Answers whether this object now has it.
    virtual bool becomeFirstResponder();
    // Gives the role up. Answers false when the object refuses to.
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;

    // The current first responder, if any.
    static std::shared_ptr<Responder> firstResponder();
    // Drops the first responder without asking it (process reset between tests).
    static void clearFirstResponder();

    // This object as a shared pointer of one of its classes (or interfaces),
    // for handing itself out as a delegate or target.
    template <class T>
    std::shared_ptr<T> sharedAs() {
        return std::dynamic_pointer_cast<T>(shared_from_this());
    }
    template <class T>
    std::shared_ptr<const T> sharedAs() const {
        return std::dynamic_pointer_cast<const T>(shared_from_this());
    }
    template <class T>
    std::weak_ptr<T> weakAs() {
        return sharedAs<T>();
    }

protected:
    Responder() = default;
};

}  // namespace clipora::platform
