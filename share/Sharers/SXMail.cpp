#include "share/Sharers/SXMail.h"

#include "platform/foundation/MarkupEscaping.h"
#include "platform/foundation/Text.h"
#include "platform/media/MailComposeViewController.h"
#include "platform/uikit/Image.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/UI/SXComposerContainer.h"

namespace clipora {

using platform::Text;

bool SXMail::canShare() const { return platform::MailComposeViewController::canSendMail(); }

bool SXMail::send() {
    setQuiet(true);
    if (!validateItem()) return false;
    return sendMail();
}

std::string SXMail::mailBody() const {
    if (auto body = item()->customValueForKey("body"); body && body->isString()) return *body->string();
    std::vector<std::string> parts;
    if (item()->text()) parts.push_back(platform::MarkupEscaping::escaped(*item()->text()));
    if (item()->URL()) parts.push_back(platform::MarkupEscaping::escaped(item()->displayURLString()));
    if (item()->data()) {
        parts.push_back(platform::MarkupEscaping::escaped(
            localizedShareFormat("Attached: %@", item()->title().value_or(item()->filename().value_or("")))));
    }
    auto body = Text::join(parts, "<br/><br/>");
    if (SXConfiguration::boolValue("sharedWithSignature")) {
        body += "<br/><br/>" + platform::MarkupEscaping::escaped(
                                   localizedShareFormat("Sent from %@", SXConfiguration::stringValue("appName")));
    }
    return body;
}

bool SXMail::sendMail() {
    auto keep = self();
    auto composer = platform::MailComposeViewController::create();
    if (!composer) {
        SX::currentHelper()->hideCurrentViewControllerAnimated(true);
        // No mail on this device: the share ends here, not in silence.
        sendDidFailWithError(std::nullopt);
        return true;
    }
    composer->setMailComposeDelegate(sharedAs<platform::MailComposeViewControllerDelegate>());
    auto body = mailBody();
    item()->setCustomValueForKey(platform::Value(body), "body");
    if (item()->data()) {
        composer->addAttachmentDataMimeTypeFileName(*item()->data(), item()->mimeType().value_or(""),
                                                    item()->filename().value_or(""));
    }
    if (item()->image()) {
        auto quality = item()->customValueForKey("jpgQuality");
        composer->addAttachmentDataMimeTypeFileName(
            item()->image()->jpegRepresentation(quality ? static_cast<float>(quality->doubleValue()) : 1.0f),
            "image/jpeg", "Image.jpg");
    }
    composer->setSubject(item()->title().value_or(""));
    composer->setMessageBodyIsHTML(body, true);
    SX::currentHelper()->showViewController(SXComposerContainer::withComposer(composer));
    return true;
}

void SXMail::mailComposeControllerDidFinishWithResultError(const std::shared_ptr<platform::MailComposeViewController>&,
                                                           platform::MailComposeResult result,
                                                           const std::optional<platform::Error>&) {
    auto keep = self();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    switch (result) {
    case platform::MailComposeResultCancelled: sendDidCancel(); break;
    case platform::MailComposeResultSaved:
    case platform::MailComposeResultSent: sendDidFinish(); break;
    case platform::MailComposeResultFailed: sendDidFailWithError(std::nullopt); break;
    }
}

}  // namespace clipora
