#include "app/MailComposer.h"

#include "platform/media/MailComposeViewController.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Device.h"

namespace clipora {

using namespace platform;

bool MailComposer::presentFrom(const std::shared_ptr<ViewController>& screen,
                               std::weak_ptr<MailComposeViewControllerDelegate> delegate, const std::string& subject,
                               const std::string& body, bool isHTML, const std::vector<std::string>& recipients,
                               const std::string& alertTitle) {
    auto composer = MailComposeViewController::canSendMail() ? MailComposeViewController::create() : nullptr;
    if (!composer || !screen) {
        auto alert = std::make_shared<AlertView>(alertTitle, kNotSetUpMessage, std::weak_ptr<AlertViewDelegate>(),
                                                 std::string("OK"));
        alert->show();
        return false;
    }
    composer->setMailComposeDelegate(std::move(delegate));
    composer->setSubject(subject);
    composer->setMessageBodyIsHTML(body, isHTML);
    composer->setToRecipients(recipients);
    if (Device::currentDevice()->userInterfaceIdiom() == Device::UserInterfaceIdiomPad)
        composer->setModalPresentationStyle(ViewController::ModalPresentationStylePageSheet);
    screen->presentModalViewControllerAnimated(composer, true);
    return true;
}

}  // namespace clipora
