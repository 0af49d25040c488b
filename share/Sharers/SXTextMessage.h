#pragma once

#include "platform/media/MessageComposeViewControllerDelegate.h"
#include "share/Sharers/SXLocalAction.h"

namespace clipora {

// Sends the item's text and link as a text message (plain text, joined by a
// blank line), or the item's own "body".
class SXTextMessage : public SXLocalAction, public platform::MessageComposeViewControllerDelegate {
public:
    std::string sharerTitle() const override { return "SMS"; }
    std::string sharerId() const override { return "SXTextMessage"; }
    bool canShareURL() const override { return true; }
    bool canShareText() const override { return true; }
    bool canShare() const override;

    bool send() override;
    bool sendText();
    std::string messageBody() const;
    void messageComposeViewControllerDidFinishWithResult(
        const std::shared_ptr<platform::MessageComposeViewController>& controller,
        platform::MessageComposeResult result) override;
};

}  // namespace clipora
