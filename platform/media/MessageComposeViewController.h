#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/media/MessageComposeViewControllerDelegate.h"
#include "platform/uikit/ViewController.h"

namespace clipora::platform {

// The text-message composer: holds its message until a command ends it
// (send, cancel, fail); sent messages go to a process-wide record. The
// delegate is told the result once.
class MessageComposeViewController : public ViewController {
public:
    struct Message {
        std::vector<std::string> recipients;
        std::string body;
    };

    // Whether the device can send text messages (settable; true by default).
    static bool canSendText();
    static void setCanSendText(bool can);
    // A new composer, or null when text messages cannot be sent.
    static std::shared_ptr<MessageComposeViewController> create();

    MessageComposeViewController();
    ~MessageComposeViewController() override;

    std::weak_ptr<MessageComposeViewControllerDelegate> messageComposeDelegate() const { return delegate_; }
    void setMessageComposeDelegate(std::weak_ptr<MessageComposeViewControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    const std::string& body() const { return message_.body; }
    void setBody(std::string body) { message_.body = std::move(body); }
    const std::vector<std::string>& recipients() const { return message_.recipients; }
    void setRecipients(std::vector<std::string> recipients) { message_.recipients = std::move(recipients); }
    const Message& message() const { return message_; }

    // --- The user's choices (each ends the composer; later ones do nothing) ---
    void send();
    void cancel();
    void fail();
    bool isFinished() const { return result_.has_value(); }
    std::optional<MessageComposeResult> result() const { return result_; }

    // --- Process-wide record ---
    static std::vector<Message> sentMessages();
    static void clearSentMessages();
    // Composers made with create() and not yet ended, oldest first.
    static std::vector<std::shared_ptr<MessageComposeViewController>> openComposers();

    std::string description() const override;

private:
    void finish(MessageComposeResult result);

    std::weak_ptr<MessageComposeViewControllerDelegate> delegate_;
    Message message_;
    std::optional<MessageComposeResult> result_;
};

}  // namespace clipora::platform
