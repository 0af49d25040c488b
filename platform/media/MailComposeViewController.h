#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/media/MailComposeViewControllerDelegate.h"
#include "platform/uikit/ViewController.h"

namespace clipora::platform {

// The mail composer. Nothing leaves the machine: the composed message is held
// until a command ends it (send, save, cancel, fail: the user's taps, played
// by tests and the device program); a sent message goes to the process-wide
// record of sent mail. The delegate is told the result once.
class MailComposeViewController : public ViewController {
public:
    struct Attachment {
        Data data;
        std::string mimeType;
        std::string fileName;
    };
    struct Message {
        std::string subject;
        std::vector<std::string> toRecipients;
        std::vector<std::string> ccRecipients;
        std::vector<std::string> bccRecipients;
        std::string body;
        bool isHTML = false;
        std::vector<Attachment> attachments;
    };

    // Whether mail is set up on the device (settable; true by default).
    static bool canSendMail();
    static void setCanSendMail(bool can);
    // A new composer, or null when mail cannot be sent (as the platform gives
    // none then).
    static std::shared_ptr<MailComposeViewController> create();

    MailComposeViewController();
    ~MailComposeViewController() override;

    std::weak_ptr<MailComposeViewControllerDelegate> mailComposeDelegate() const { return delegate_; }
    void setMailComposeDelegate(std::weak_ptr<MailComposeViewControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    void setSubject(std::string subject) { message_.subject = std::move(subject); }
    void setToRecipients(std::vector<std::string> recipients) { message_.toRecipients = std::move(recipients); }
    void setCcRecipients(std::vector<std::string> recipients) { message_.ccRecipients = std::move(recipients); }
    void setBccRecipients(std::vector<std::string> recipients) { message_.bccRecipients = std::move(recipients); }
    void setMessageBodyIsHTML(std::string body, bool isHTML);
    void addAttachmentDataMimeTypeFileName(Data data, std::string mimeType, std::string fileName);
    const Message& message() const { return message_; }

    // --- The user's choices (each ends the composer; later ones do nothing) ---
    void send();
    void save();
    void cancel();
    void fail(const Error& error);
    bool isFinished() const { return result_.has_value(); }
    std::optional<MailComposeResult> result() const { return result_; }

    // --- Process-wide record ---
    static std::vector<Message> sentMessages();
    static void clearSentMessages();
    // Composers made with create() and not yet ended, oldest first.
    static std::vector<std::shared_ptr<MailComposeViewController>> openComposers();

    void viewDidLoad() override;
    std::string description() const override;

private:
    void finish(MailComposeResult result, const std::optional<Error>& error);

    std::weak_ptr<MailComposeViewControllerDelegate> delegate_;
    Message message_;
    std::optional<MailComposeResult> result_;
};

}  // namespace clipora::platform
