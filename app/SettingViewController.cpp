#include "app/SettingViewController.h"

#include "app/AppConfig.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/InterfaceOrientation.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/WebView.h"
#include "social/sdk/FBHosts.h"

namespace clipora {

using namespace platform;

namespace {

bool isPad() {
    auto device = Device::currentDevice();
    return device->answersUserInterfaceIdiom() && device->userInterfaceIdiom() == Device::UserInterfaceIdiomPad;
}

bool openFirst(const std::string& address) {
    auto url = URL::fromString(address);
    auto app = Application::sharedApplication();
    return url && app->canOpenURL(*url) && app->openURL(*url);
}

}  // namespace

SettingViewController::SettingViewController() : opener_(std::make_shared<OpenLink>()) {}

std::shared_ptr<STAppSettingsViewController> SettingViewController::makeChildPane() {
    return std::make_shared<SettingViewController>();
}

void SettingViewController::viewDidLoad() {
    STAppSettingsViewController::viewDidLoad();
    setTitle("Settings");
}

void SettingViewController::viewWillAppear(bool animated) {
    STAppSettingsViewController::viewWillAppear(animated);
    if (!tableView()) return;
    auto background = std::make_shared<ImageView>(tableView()->bounds());
    background->setImage(Image::imageWithContentsOfFile(settingsReader()->pathForImageNamed("background.png")));
    tableView()->setBackgroundView(background);
}

bool SettingViewController::shouldAutorotateToInterfaceOrientation(int orientation) {
    return orientation == InterfaceOrientationPortrait || orientation == InterfaceOrientationLandscapeRight;
}

void SettingViewController::didRotateFromInterfaceOrientation(int) {
    if (tableView()) tableView()->reloadData();
}

std::shared_ptr<View> SettingViewController::tableViewViewForHeaderInSection(const std::shared_ptr<TableView>&,
                                                                             int section) {
    auto title = settingsReader()->titleForSection(section);
    if (!title || title->empty()) return nullptr;
    auto label = std::make_shared<Label>(Rect(0, 0, view()->bounds().size.width, 44));
    label->setText(Text::format("   %@", *title));
    label->setTextColor(Color::whiteColor());
    label->setFont(Font::boldSystemFontOfSize(16));
    label->setBackgroundColor(Color::clearColor());
    return label;
}

std::optional<float> SettingViewController::tableViewHeightForRowAtIndexPath(
    const std::shared_ptr<TableView>& tableView, const IndexPath& indexPath) {
    auto specifier = settingsReader()->specifierForIndexPath(indexPath.section, indexPath.row);
    const auto type = specifier ? specifier->type() : std::nullopt;
    if (type == kFacebookLike) return 120.0f;
    if (type == kOtherApp) return 60.0f;
    return STAppSettingsViewController::tableViewHeightForRowAtIndexPath(tableView, indexPath);
}

std::string SettingViewController::likeWidgetHTML(const std::string& fanPageName, float cellWidth) {
    const std::string web = FBHosts::current().web;
    const std::string width = Text::format("%i", static_cast<int>(cellWidth - 20));
    const std::string src = "http://" + web + "/plugins/like.php?href=" + Text::percentEscape(web) + "%2F" +
                            Text::percentEscape(fanPageName) +
                            "&amp;send=false&amp;layout=standard&amp;width=" + width +
                            "&amp;show_faces=true&amp;action=like&amp;colorscheme=light&amp;font&amp;height=100";
    const std::string frame =
        "<iframe src=\"" + src +
        "\" scrolling=\"no\" frameborder=\"0\" style=\"border:none; overflow:hidden; width:" + width +
        "px; height:100px;\" allowTransparency=\"true\"></iframe>";
    return Text::format("<HTML><BODY>%@</BODY></HTML>", frame);
}

std::shared_ptr<TableViewCell> SettingViewController::likeCell(const std::shared_ptr<TableView>& tableView,
                                                               const STSpecifier& specifier) {
    auto cell = tableView->dequeueReusableCellWithIdentifier(kFacebookLike);
    if (!cell) {
        cell = std::make_shared<TableViewCell>(TableViewCell::CellStyleDefault, kFacebookLike);
        cell->setFrame(Rect(0, 0, tableView->bounds().size.width, 120));
    }
    cell->setClipsToBounds(true);
    const float width = cell->frame().size.width;
    const float margin = isPad() ? 100 : 20;
    const Rect frame(margin / 2, 10, width - margin, 100);
    auto webView = std::dynamic_pointer_cast<WebView>(cell->viewWithTag(kLikeWebViewTag));
    if (!webView) {
        webView = std::make_shared<WebView>(frame);
        webView->setTag(kLikeWebViewTag);
        webView->layer()->setCornerRadius(10);
        webView->layer()->setMasksToBounds(true);
        cell->addSubview(webView);
    }
    webView->setFrame(frame);
    webView->loadHTMLStringBaseURL(likeWidgetHTML(specifier.title(), width), std::nullopt);
    return cell;
}

std::shared_ptr<TableViewCell> SettingViewController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<TableView>& tableView, const IndexPath& indexPath) {
    auto specifier = settingsReader()->specifierForIndexPath(indexPath.section, indexPath.row);
    const std::string type = specifier ? specifier->type().value_or(std::string()) : std::string();
    if (type == kFacebookLike) return likeCell(tableView, *specifier);
    const bool ours = type == kOtherApp || type == kOpenCustomURL || type == kFollowFacebook || type == kFollowTwitter;
    if (!ours) return STAppSettingsViewController::tableViewCellForRowAtIndexPath(tableView, indexPath);

    auto cell = tableView->dequeueReusableCellWithIdentifier(type);
    if (!cell)
        cell = std::make_shared<TableViewCell>(
            type == kOtherApp ? TableViewCell::CellStyleSubtitle : TableViewCell::CellStyleDefault, type);
    cell->setAccessoryType(TableViewCell::AccessoryDisclosureIndicator);
    cell->textLabel()->setText(specifier->title());
    std::optional<std::string> icon;
    if (type == kOtherApp) {
        cell->detailTextLabel()->setText(specifier->footerText());
        if (auto value = specifier->defaultValue(); value && value->string()) icon = *value->string();
    } else if (type == kFollowFacebook) {
        icon = "facebook.png";
    } else if (type == kFollowTwitter) {
        icon = "twitter.png";
    }
    cell->imageView()->setImage(icon ? Image::imageWithContentsOfFile(settingsReader()->pathForImageNamed(*icon))
                                     : nullptr);
    return cell;
}

void SettingViewController::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<TableView>& tableView,
                                                             const IndexPath& indexPath) {
    auto specifier = settingsReader()->specifierForIndexPath(indexPath.section, indexPath.row);
    const std::string type = specifier ? specifier->type().value_or(std::string()) : std::string();
    if (type == kFacebookLike) return;  // the widget takes its own taps
    if (type == kOtherApp || type == kOpenCustomURL) return openLinkShareLink(specifier->file());
    if (type == kFollowFacebook) return openFacebookFanPage(specifier->file().value_or(std::string()));
    if (type == kFollowTwitter) return openTwitterAppForFollowingUser(specifier->file().value_or(std::string()));
    STAppSettingsViewController::tableViewDidSelectRowAtIndexPath(tableView, indexPath);
}

void SettingViewController::openLinkShareLink(const std::optional<std::string>& link) {
    opener_->openLinkShareLink(link);
}

void SettingViewController::openFacebookFanPage(const std::string& pageId) {
    const std::string id = Text::percentEscape(pageId);
    if (openFirst("fb://page/" + id)) return;
    if (auto web = URL::fromString("https://" + FBHosts::current().web + "/apps/application.php?id=" + id))
        Application::sharedApplication()->openURL(*web);
}

void SettingViewController::openTwitterAppForFollowingUser(const std::string& screenName) {
    const std::string name = Text::percentEscape(screenName);
    const AppConfig& config = AppConfig::current();
    const std::string profile = "http://" + config.microblogWebHost + "/" + name;
    for (const std::string& address : {"tweetbot://<screenname>/follow/" + name, "tweetie://user?screen_name=" + name,
                                       "x-birdfeed://user?screen_name=" + name, "twit:///user?screen_name=" + name,
                                       "icebird://user?screen_name=" + name, "fluttr://user/" + name,
                                       "simplytweet:?link=" + Text::percentEscape(profile),
                                       "tweetings:///user?screen_name=" + name, "echofon:///user_timeline?" + name})
        if (openFirst(address)) return;
    if (auto mobile = URL::fromString("http://" + config.microblogMobileHost + "/" + name))
        Application::sharedApplication()->openURL(*mobile);
}

}  // namespace clipora
