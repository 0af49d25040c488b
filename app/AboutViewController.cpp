#include "app/AboutViewController.h"

#include "app/AppConfig.h"
#include "app/MailComposer.h"
#include "app/NeighbourServices.h"
#include "app/OpenLink.h"
#include "app/TextEscaping.h"
#include "app/Utility.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/MailComposeViewController.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/NavigationController.h"

namespace clipora {

using namespace platform;

namespace {

std::string bundleString(std::string_view key) {
    const Value* value = Bundle::mainBundle()->objectForInfoDictionaryKey(key);
    return value && value->isString() ? *value->string() : std::string();
}

// The buttons' captions, by tag (what the interface file would show).
const char* const kButtonTitles[] = {"",           "Website",  "Rate this app", "Share this app", "FAQs",
                                     "Videos",     "Fan Page", "Follow us",     "Feedback",       "Uplonix 2",
                                     "Newsletter", "Quorbel",  "News",          "More apps",      "Even more apps"};

}  // namespace

void AboutViewController::loadView() {
    ViewController::loadView();
    auto root = view();
    const Rect bounds = root->bounds();
    scrollView_ = std::make_shared<ScrollView>(bounds);
    scrollView_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    root->addSubview(scrollView_);
    icon_ = std::make_shared<ImageView>(Rect(20, 20, 57, 57));
    icon_->setImage(Image::imageNamed("videoThumnail.png"));
    appName_ = std::make_shared<Label>(Rect(90, 20, 210, 21));
    switchHDVideo_ = std::make_shared<Switch>(Rect(200, 90, 79, 27));
    std::weak_ptr<AboutViewController> weak = sharedAs<AboutViewController>();
    switchHDVideo_->addActionForControlEvents(
        [weak](const std::shared_ptr<Control>&) {
            if (auto self = weak.lock()) self->onSwitchChanged();
        },
        Control::EventValueChanged);
    for (auto view : std::initializer_list<std::shared_ptr<View>>{icon_, appName_, switchHDVideo_})
        scrollView_->addSubview(view);
    float y = 140;
    for (int tag = 1; tag <= 14; ++tag) {
        auto button = std::make_shared<Button>(Rect(20, y, 280, 44));
        button->setTag(tag);
        button->setTitleForState(kButtonTitles[tag], Control::StateNormal);
        button->addActionForControlEvents(
            [weak](const std::shared_ptr<Control>& sender) {
                if (auto self = weak.lock()) self->buttonClick(std::dynamic_pointer_cast<Button>(sender));
            },
            Control::EventTouchUpInside);
        scrollView_->addSubview(button);
        buttons_.push_back(button);
        y += 60;
    }
    uplonixButton_ = buttons_[8];  // tag 9
    uplonixLabel_ = std::make_shared<Label>(Rect(20, y, 280, 21));
    scrollView_->addSubview(uplonixLabel_);
}

std::shared_ptr<Button> AboutViewController::buttonWithTag(int tag) const {
    for (const auto& button : buttons_)
        if (button->tag() == tag) return button;
    return nullptr;
}

void AboutViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    appName_->setText(Text::format("Version %@", bundleString("CFBundleVersion")));
    uplonixLabel_->setText("Uplonix 2");
    uplonixButton_->setImageForState(Image::imageNamed("Uplonix_60x60.png"), Control::StateNormal);
    auto doneItem = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemDone);
    doneItem->setTargetAction(sharedAs<AboutViewController>(), &AboutViewController::done);
    navigationItem()->setRightBarButtonItem(doneItem);
    setTitle(Text::format("About %@", bundleString("CFBundleDisplayName")));
    scrollView_->setContentSize(Size{320, 1140});
    switchHDVideo_->setOn(UserDefaults::standardUserDefaults()->boolForKey(kHDVideoKey));
}

void AboutViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->navigationBar()->setTintColor(Utility::getColor("333333"));
}

void AboutViewController::viewDidUnload() {
    ViewController::viewDidUnload();
    appName_ = nullptr;
    icon_ = nullptr;
    scrollView_ = nullptr;
    switchHDVideo_ = nullptr;
    uplonixButton_ = nullptr;
    uplonixLabel_ = nullptr;
    buttons_.clear();
}

void AboutViewController::done() {
    if (auto presenter = presentingViewController())
        presenter->dismissModalViewControllerAnimated(true);
    else if (auto nav = navigationController())
        nav->dismissModalViewControllerAnimated(true);
}

void AboutViewController::onSwitchChanged() {
    UserDefaults::standardUserDefaults()->setBool(switchHDVideo_->isOn(), kHDVideoKey);
}

void AboutViewController::buttonClick(const std::shared_ptr<Button>& button) {
    const AppConfig& config = AppConfig::current();
    const std::string name = bundleString("CFBundleName");
    const std::string site = config.makerSiteURL;
    shareSheet_ = std::make_shared<ActionSheet>(
        "How do you want to share?", weakAs<ActionSheetDelegate>(), std::string("Cancel"), std::nullopt,
        std::vector<std::string>{"Post on Facebook Wall", "Tweet on Twitter", "Email Friends"});
    auto open = [](const std::string& link) { OpenLink::shareOpenLink()->openLinkShareLink(link); };
    switch (button ? button->tag() : 0) {
    case 1: showURLWithTitle(site + "/clipora", name); break;
    case 2: open(config.reviewLink()); break;
    case 3: shareSheet_->showInView(view()); break;
    case 4: showURLWithTitle(site + "/clipora/faq", Text::format("%@ FAQs", name)); break;
    case 5: open(config.makerVideoChannelURL); break;
    case 6: openFacebookFanPageUrl(Text::format("%@ Facebook Fan Page", name), config.makerFanPageURL); break;
    case 7:
        openTwitterAppForFollowingUserTitleUrl(
            config.makerMicroblogAccount, Text::format("%@ Twitter Page", name),
            "https://" + config.microblogWebHost + "/" + config.makerMicroblogAccount);
        break;
    case 8:
        sendEmailWithBodyIsHtmlTo(
            Text::format("%@ Feedback", name),
            Text::format("\n\n\n\nHere is my information:\nDevice Type: %@\n\rApp Version: %@\n\riOS Version: %@",
                         Utility::getDeviceType(), bundleString("CFBundleVersion"),
                         Device::currentDevice()->systemVersion()),
            false, {config.makerSupportEmail});
        break;
    case 9: open(config.otherProductLinks.at(0)); break;
    case 13: open(config.otherProductLinks.at(1)); break;
    case 14: open(config.otherProductLinks.at(2)); break;
    case 10: showURLWithTitle(site + "/subscribe", "Subscribe to Quorbel"); break;
    case 11: showURLWithTitle(site, "Quorbel"); break;
    case 12: showURLWithTitle(config.newsPageURL, "Clipora News"); break;
    default: showURLWithTitle("", ""); break;
    }
}

void AboutViewController::showURLWithTitle(const std::string& address, const std::string&) {
    if (!webViewController_) webViewController_ = std::make_shared<IKWebController>();
    if (auto nav = navigationController()) nav->pushViewControllerAnimated(webViewController_, true);
    webViewController_->setToolbarTintColor(Utility::getColor("333333"));
    if (auto url = URL::fromString(address)) webViewController_->openURL(*url);
}

void AboutViewController::openFacebookFanPageUrl(const std::string& title, const std::string& address) {
    auto app = Application::sharedApplication();
    auto profile = URL::fromString("fb://profile/" + AppConfig::current().makerFanPageID);
    if (profile && app->canOpenURL(*profile)) {
        app->openURL(*profile);
        return;
    }
    showURLWithTitle(address, title);
}

void AboutViewController::openTwitterAppForFollowingUserTitleUrl(const std::string& user, const std::string& title,
                                                                 const std::string& address) {
    const std::string webPage = "https://" + AppConfig::current().microblogWebHost + "/" + user;
    const std::vector<std::string> links = {Text::format("tweetie://user?screen_name=%@", user),
                                            Text::format("x-birdfeed://user?screen_name=%@", user),
                                            Text::format("twit:///user?screen_name=%@", user),
                                            Text::format("icebird://user?screen_name=%@", user),
                                            Text::format("fluttr://user/%@", user),
                                            "simplytweet:?link=" + webPage,
                                            Text::format("tweetings:///user?screen_name=%@", user),
                                            Text::format("echofon:///user_timeline?%@", user)};
    auto app = Application::sharedApplication();
    for (const auto& link : links) {
        auto url = URL::fromString(link);
        if (url && app->canOpenURL(*url)) {
            app->openURL(*url);
            return;
        }
    }
    showURLWithTitle(address, title);
}

void AboutViewController::sendEmailWithBodyIsHtmlTo(const std::string& subject, const std::string& body, bool isHTML,
                                                    const std::vector<std::string>& recipients) {
    MailComposer::presentFrom(sharedAs<AboutViewController>(), weakAs<MailComposeViewControllerDelegate>(), subject,
                              body, isHTML, recipients, "Notice");
}

void AboutViewController::mailComposeControllerDidFinishWithResultError(
    const std::shared_ptr<MailComposeViewController>& controller, MailComposeResult, const std::optional<Error>&) {
    dismissModalViewControllerAnimated(true);
    if (controller) controller->setMailComposeDelegate({});
}

std::string AboutViewController::microblogStatusAddress(const std::string& link, const std::string& message) {
    return "https://" + AppConfig::current().microblogWebHost +
           Text::format("/home?status=%@+%@", Text::percentEscape(message), Text::percentEscape(link));
}

void AboutViewController::tweetVideoLinkMessage(const std::string& link, const std::string& message) {
    std::weak_ptr<AboutViewController> weak = sharedAs<AboutViewController>();
    // The shortener blocks: it runs on a thread of its own.
    Thread::detach([weak, link, message] {
        const std::string shortLink = Utility::getBitlyShortURL(link).value_or(link);
        Thread::performOnMainThread(
            [weak, shortLink, message] {
                if (auto self = weak.lock())
                    self->showURLWithTitle(microblogStatusAddress(shortLink, message), "Share Video on Twitter");
            },
            false);
    });
}

std::string AboutViewController::shareEmailBody() {
    const AppConfig& config = AppConfig::current();
    const std::string store = TextEscaping::html(config.storeLink);
    return "<html><body bgcolor=\"#FFFFFF\"><p><a href=\"" + store +
           "\"><img style=\"float:left;margin-right:5px;\" src=\"" + TextEscaping::html(config.iconURL) +
           "\"></a><a href=\"" + store + "\">" + TextEscaping::html(bundleString("CFBundleName")) +
           "</a> - Watch, Bookmark, Download, and Share Facebook videos right from your iPad/iPhone/iPod Touch. Check "
           "it out!</p></body></html>";
}

void AboutViewController::actionSheetClickedButtonAtIndex(const std::shared_ptr<ActionSheet>& sheet, int index) {
    if (!sheet) return;
    const int first = sheet->firstOtherButtonIndex();
    const AppConfig& config = AppConfig::current();
    if (index == first + 1) {
        if (auto url = URL::fromString(config.storeLink))
            NeighbourServices::shareURLTitle(*url, std::string(kShareTweetText) + config.productHashtag + "!");
    } else if (index == first + 2) {
        sendEmailWithBodyIsHtmlTo("Check out this cool Facebook Video app!", shareEmailBody(), true, {});
    }
    sheet->setDelegate({});
}

}  // namespace clipora
