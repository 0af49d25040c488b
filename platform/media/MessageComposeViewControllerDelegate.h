#pragma once

#include <memory>

namespace clipora::platform {

class MessageComposeViewController;

enum MessageComposeResult : int {
    MessageComposeResultCancelled = 0,
    MessageComposeResultSent = 1,
    MessageComposeResultFailed = 2,
};

// Told, once, how a text-message composer ended. The delegate dismisses it.
class MessageComposeViewControllerDelegate {
public:
    virtual ~MessageComposeViewControllerDelegate() = default;
    virtual void messageComposeViewControllerDidFinishWithResult(
        const std::shared_ptr<MessageComposeViewController>& controller, MessageComposeResult result) {
        (void)controller;
        (void)result;
    }
};

}  // namespace clipora::platform
