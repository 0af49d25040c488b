#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/IKWebController.h"
#include "platform/media/MailComposeViewControllerDelegate.h"
#include "platform/uikit/ActionSheet.h"
#include "platform/uikit/ActionSheetDelegate.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/Switch.h"
#include "platform/uikit/ViewController.h"

namespace clipora {

// The browser family's about and settings screen: the version, the HD
// switch ("HDVideoKey", read by the browser's video detection) and buttons
// (tags 1 to 14) that open the maker's pages, the review page, other
// products, a feedback e-mail and a share sheet for the application.
class AboutViewController : public platform::ViewController,
                            public platform::ActionSheetDelegate,
                            public platform::MailComposeViewControllerDelegate {
public:
    static constexpr const char* kHDVideoKey = "HDVideoKey";
    static constexpr const char* kShareTweetText =
        "Watch, Bookmark, Download, and Share Facebook videos right from your iPad/iPhone/iPod Touch. Check out ";

    AboutViewController() = default;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidUnload() override;
    void done();

    const std::shared_ptr<platform::Label>& appName() const { return appName_; }
    const std::shared_ptr<platform::Switch>& switchHDVideo() const { return switchHDVideo_; }
    const std::shared_ptr<platform::Button>& uplonixButton() const { return uplonixButton_; }
    const std::shared_ptr<platform::Label>& uplonixLabel() const { return uplonixLabel_; }
    const std::shared_ptr<platform::ScrollView>& scrollView() const { return scrollView_; }
    const std::shared_ptr<IKWebController>& webViewController() const { return webViewController_; }
    // The button with that tag (1 to 14).
    std::shared_ptr<platform::Button> buttonWithTag(int tag) const;

    void onSwitchChanged();
    void buttonClick(const std::shared_ptr<platform::Button>& button);
    void showURLWithTitle(const std::string& address, const std::string& title);
    void openFacebookFanPageUrl(const std::string& title, const std::string& address);
    void openTwitterAppForFollowingUserTitleUrl(const std::string& user, const std::string& title,
                                                const std::string& address);
    void sendEmailWithBodyIsHtmlTo(const std::string& subject, const std::string& body, bool isHTML,
                                   const std::vector<std::string>& recipients);
    // Shortens the link on a worker thread, then shows the microblog's status
    // page for the message and link.
    void tweetVideoLinkMessage(const std::string& link, const std::string& message);
    // The microblog's web status page for a message and a link.
    static std::string microblogStatusAddress(const std::string& link, const std::string& message);
    // The share e-mail's HTML body (values escaped).
    static std::string shareEmailBody();

    void actionSheetClickedButtonAtIndex(const std::shared_ptr<platform::ActionSheet>& sheet, int index) override;
    void mailComposeControllerDidFinishWithResultError(
        const std::shared_ptr<platform::MailComposeViewController>& controller, platform::MailComposeResult result,
        const std::optional<platform::Error>& error) override;
    bool shouldAutorotateToInterfaceOrientation(int) override { return true; }

private:
    std::shared_ptr<platform::Label> appName_;
    std::shared_ptr<platform::ImageView> icon_;
    std::shared_ptr<platform::ScrollView> scrollView_;
    std::shared_ptr<platform::Switch> switchHDVideo_;
    std::shared_ptr<platform::Button> uplonixButton_;
    std::shared_ptr<platform::Label> uplonixLabel_;
    std::shared_ptr<IKWebController> webViewController_;
    std::vector<std::shared_ptr<platform::Button>> buttons_;
    std::shared_ptr<platform::ActionSheet> shareSheet_;
};

}  // namespace clipora
