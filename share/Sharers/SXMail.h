#pragma once

#include "platform/media/MailComposeViewControllerDelegate.h"
#include "share/Core/SXStrings.h"
#include "share/Sharers/SXLocalAction.h"

namespace clipora {

// Mails the item: the composer gets the title as subject, an HTML body
// (the item's text and link, HTML-escaped, or the item's own "body"), the
// file and the picture as attachments.
class SXMail : public SXLocalAction, public platform::MailComposeViewControllerDelegate {
public:
    std::string sharerTitle() const override { return localizedShareString("Email"); }
    std::string sharerId() const override { return "SXMail"; }
    bool canShareURL() const override { return true; }
    bool canShareText() const override { return true; }
    bool canShareImage() const override { return true; }
    bool canShareFile() const override { return true; }
    bool canShare() const override;

    bool send() override;
    bool sendMail();
    // The body for the item ("body" when the item has one).
    std::string mailBody() const;
    void mailComposeControllerDidFinishWithResultError(
        const std::shared_ptr<platform::MailComposeViewController>& controller, platform::MailComposeResult result,
        const std::optional<platform::Error>& error) override;
};

}  // namespace clipora
