#include "share/Sharers/SXTextMessage.h"

#include "platform/foundation/Text.h"
#include "platform/media/MessageComposeViewController.h"
#include "share/Core/SX.h"
#include "share/UI/SXComposerContainer.h"

namespace clipora {

bool SXTextMessage::canShare() const { return platform::MessageComposeViewController::canSendText(); }

bool SXTextMessage::send() {
    setQuiet(true);
    if (!validateItem()) return false;
    return sendText();
}

std::string SXTextMessage::messageBody() const {
    if (auto body = item()->customValueForKey("body"); body && body->isString()) return *body->string();
    // A text message is plain text: no markup between text and link.
    std::vector<std::string> parts;
    if (item()->text()) parts.push_back(*item()->text());
    if (item()->URL()) parts.push_back(item()->displayURLString());
    return platform::Text::join(parts, "\n\n");
}

bool SXTextMessage::sendText() {
    auto keep = self();
    auto composer = platform::MessageComposeViewController::create();
    if (!composer) {
        sendDidFailWithError(std::nullopt);
        return true;
    }
    composer->setMessageComposeDelegate(sharedAs<platform::MessageComposeViewControllerDelegate>());
    auto body = messageBody();
    item()->setCustomValueForKey(platform::Value(body), "body");
    composer->setBody(body);
    SX::currentHelper()->showViewController(SXComposerContainer::withComposer(composer));
    return true;
}

void SXTextMessage::messageComposeViewControllerDidFinishWithResult(
    const std::shared_ptr<platform::MessageComposeViewController>&, platform::MessageComposeResult result) {
    auto keep = self();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    switch (result) {
    case platform::MessageComposeResultFailed: sendDidFailWithError(std::nullopt); break;
    case platform::MessageComposeResultSent: sendDidFinish(); break;
    case platform::MessageComposeResultCancelled: sendDidCancel(); break;
    }
}

}  // namespace clipora
