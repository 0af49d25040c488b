#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/media/MailComposeViewControllerDelegate.h"
#include "platform/uikit/ViewController.h"

namespace clipora {

// Presents the platform's mail composer from a screen, or tells the user
// that mail is not set up (an alert with the screen's own title and "OK").
class MailComposer {
public:
    static constexpr const char* kNotSetUpMessage = "Unable to send email because it is not set up!";

    MailComposer() = delete;

    // Answers whether a composer was presented.
    static bool presentFrom(const std::shared_ptr<platform::ViewController>& screen,
                            std::weak_ptr<platform::MailComposeViewControllerDelegate> delegate,
                            const std::string& subject, const std::string& body, bool isHTML,
                            const std::vector<std::string>& recipients, const std::string& alertTitle);
};

}  // namespace clipora
