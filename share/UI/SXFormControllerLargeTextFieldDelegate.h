#pragma once

#include <memory>
#include <string>

namespace clipora {

class SXFormControllerLargeTextField;

// The owner of a large text form: told of a text to send and of Cancel,
// asked for the service's title (the send button says "Send to <title>").
class SXFormControllerLargeTextFieldDelegate {
public:
    virtual ~SXFormControllerLargeTextFieldDelegate() = default;
    virtual void sendForm(const std::shared_ptr<SXFormControllerLargeTextField>& form) = 0;
    virtual void sendDidCancel() = 0;
    virtual std::string sharerTitle() const = 0;
};

}  // namespace clipora
