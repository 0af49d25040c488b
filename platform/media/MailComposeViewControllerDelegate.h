#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/Error.h"

namespace clipora::platform {

class MailComposeViewController;

enum MailComposeResult : int {
    MailComposeResultCancelled = 0,
    MailComposeResultSaved = 1,
    MailComposeResultSent = 2,
    MailComposeResultFailed = 3,
};

// Told, once, how a mail composer ended. The delegate dismisses it.
class MailComposeViewControllerDelegate {
public:
    virtual ~MailComposeViewControllerDelegate() = default;
    virtual void mailComposeControllerDidFinishWithResultError(
        const std::shared_ptr<MailComposeViewController>& controller, MailComposeResult result,
        const std::optional<Error>& error) {
        (void)controller;
        (void)result;
        (void)error;
    }
};

}  // namespace clipora::platform
