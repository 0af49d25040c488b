#include "app/OptionListViewController.h"

#include <algorithm>

#include "app/AlbumCell.h"
#include "app/AppConfig.h"
#include "app/NeighbourServices.h"
#include "app/QRBCustomNavViewController.h"
#include "app/SettingViewController.h"
#include "app/TextEscaping.h"
#include "app/WatchVideoViewController.h"
#include "app/WebViewController.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationController.h"

namespace clipora {

using namespace platform;

namespace {

constexpr const char* kRecommendationTitle =
    "Watch, bookmark, download and share Facebook Videos(even Flash videos) on iOS! Check it out now! #movara";

}  // namespace

OptionListViewController::~OptionListViewController() {
    if (observing_) NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

std::shared_ptr<OptionListViewController> OptionListViewController::self() {
    return sharedAs<OptionListViewController>();
}

const std::vector<std::shared_ptr<OptionListViewController::DownloadRow>>& OptionListViewController::downloadList()
    const {
    static const std::vector<std::shared_ptr<DownloadRow>> none;
    return downloads_ ? downloads_->rows() : none;
}

void OptionListViewController::setDownloads(std::shared_ptr<DownloadList> downloads) {
    if (downloads_) downloads_->setChangeHandler(nullptr);
    downloads_ = std::move(downloads);
    if (!downloads_) return;
    std::weak_ptr<OptionListViewController> weak = self();
    downloads_->setChangeHandler([weak] {
        if (auto s = weak.lock(); s && !s->deletingRow_) s->reloadTable();
    });
    reloadTable();
}

// --- View --------------------------------------------------------------------------

void OptionListViewController::loadView() {
    ViewController::loadView();
    auto root = view();
    const Rect bounds = root->bounds();
    tableView_ = std::make_shared<TableView>(Rect(0, 0, bounds.size.width, bounds.size.height - kBottomBarHeight),
                                             TableView::StylePlain);
    tableView_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    tableView_->setDataSource(weakAs<TableViewDataSource>());
    tableView_->setDelegate(weakAs<TableViewDelegate>());
    root->addSubview(tableView_);
    bottomBar_ = std::make_shared<ImageView>(
        Rect(0, bounds.size.height - kBottomBarHeight, bounds.size.width, kBottomBarHeight));
    bottomBar_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleTopMargin);
    bottomBar_->setUserInteractionEnabled(true);
    root->addSubview(bottomBar_);
    infoButton_ = Button::buttonWithType(Button::ButtonTypeInfoLight);
    infoButton_->setFrame(Rect(10, 11, 22, 22));
    infoButton_->setTitleForState("Settings", Control::StateNormal);
}

void OptionListViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    setTitle("Movara");
    const bool pad = Device::currentDevice()->userInterfaceIdiom() == Device::UserInterfaceIdiomPad;
    if (auto background = Image::imageNamed(Text::format("Default%@.png", pad ? "@2x" : "")))
        view()->setBackgroundColor(Color::colorWithPatternImage(background));

    if (auto services = services_.lock()) {
        if (auto button = services->fbButton()) {
            button->removeTargetForControlEvents(services.get(), Control::EventTouchUpInside);
            button->addTargetActionForControlEvents(services, &ApplicationServices::fbButtonClick,
                                                    Control::EventTouchUpInside);
            const float width = view()->bounds().size.width;
            if (services->isConnectToFacebook())
                button->setFrame(Rect(width - 91, 7, 81, 29));
            else
                button->setFrame(Rect(width - 82, 7, 72, 29));
            bottomBar_->addSubview(button);
        }
    }
    if (!infoButton_->superview()) {
        infoButton_->addTargetActionForControlEvents(self(), &OptionListViewController::info,
                                                     Control::EventTouchUpInside);
        bottomBar_->addSubview(infoButton_);
    }

    type_ = 0;
    options_ = {Option::initForWhoMediaType("My", 0, type_), Option::initForWhoMediaType("My Tagged", 1, type_),
                Option::initForWhoMediaType("My Friends", 2, type_), Option::initForWhoMediaType("My Pages", 3, type_),
                Option::initForWhoMediaType("My Groups", 4, type_)};

    if (!observing_) {
        observing_ = true;
        std::weak_ptr<OptionListViewController> weak = self();
        auto& center = NotificationCenter::defaultCenter();
        const Object* application = Application::sharedApplication().get();
        center.addObserver(
            Application::kWillTerminateNotification, application,
            [weak](const Notification&) {
                if (auto s = weak.lock()) s->applicationWillTerminate();
            },
            this);
        center.addObserver(
            Application::kWillEnterForegroundNotification, application,
            [weak](const Notification&) {
                if (auto s = weak.lock()) s->applicationWillEnterForeground();
            },
            this);
    }
    // The list lives as long as the controller, across view reloads.
}

void OptionListViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) {
        nav->navigationBar()->setTintColor(Color::blueColor());
        nav->setNavigationBarHidden(false);
    }
}

bool OptionListViewController::shouldAutorotateToInterfaceOrientation(int) { return true; }

void OptionListViewController::reloadTable() {
    if (tableView_) tableView_->reloadData();
}

// --- Table -------------------------------------------------------------------------

int OptionListViewController::numberOfSectionsInTableView(const std::shared_ptr<TableView>&) { return 2; }

int OptionListViewController::tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int section) {
    return section == 0 ? static_cast<int>(options_.size()) : static_cast<int>(downloadList().size());
}

std::optional<std::string> OptionListViewController::tableViewTitleForHeaderInSection(const std::shared_ptr<TableView>&,
                                                                                      int section) {
    if (section == 0) return std::string("Facebook");
    return std::string(downloadList().empty() ? "Download - Videos will be save to Photo Album when done."
                                              : "Downloading...");
}

std::optional<std::string> OptionListViewController::tableViewTitleForFooterInSection(const std::shared_ptr<TableView>&,
                                                                                      int section) {
    if (section == 1 && !downloadList().empty())
        return std::string("Note: Videos will still be downloading even if you exit Movara.");
    return std::nullopt;
}

std::optional<float> OptionListViewController::tableViewHeightForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                                                const IndexPath& indexPath) {
    return indexPath.section == 0 ? 44.0f : 75.0f;
}

std::shared_ptr<TableViewCell> OptionListViewController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<TableView>& tableView, const IndexPath& indexPath) {
    const auto row = static_cast<std::size_t>(indexPath.row);
    if (indexPath.section == 0) {
        auto cell = tableView->dequeueReusableCellWithIdentifier("OptionListCell");
        if (!cell) cell = std::make_shared<TableViewCell>(TableViewCell::CellStyleDefault, "OptionListCell");
        if (row < options_.size()) cell->textLabel()->setText(options_[row]->name());
        return cell;
    }
    auto cell =
        std::dynamic_pointer_cast<AlbumCell>(tableView->dequeueReusableCellWithIdentifier(AlbumCell::kReuseIdentifier));
    if (!cell) cell = AlbumCell::create();
    if (row >= downloadList().size()) return cell;
    const auto& entry = downloadList()[row];
    cell->textLabel()->setText(entry->video ? entry->video->title().value_or(std::string()) : std::string());
    cell->detailTextLabel()->setText(entry->status);
    cell->detailTextLabel()->setBackgroundColor(Color::clearColor());
    auto image = entry->video ? entry->video->image() : nullptr;
    cell->imageView()->setImage(image ? image : Image::imageNamed(AlbumCell::kPlaceholderImage));
    cell->imageView()->setClipsToBounds(true);
    cell->imageView()->layer()->setCornerRadius(5);
    return cell;
}

bool OptionListViewController::tableViewCanEditRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                              const IndexPath& indexPath) {
    return indexPath.section == 1;
}

TableViewCell::EditingStyle OptionListViewController::tableViewEditingStyleForRowAtIndexPath(
    const std::shared_ptr<TableView>&, const IndexPath& indexPath) {
    return indexPath.section == 1 ? TableViewCell::EditingStyleDelete : TableViewCell::EditingStyleNone;
}

void OptionListViewController::tableViewCommitEditingStyleForRowAtIndexPath(const std::shared_ptr<TableView>& tableView,
                                                                            TableViewCell::EditingStyle style,
                                                                            const IndexPath& indexPath) {
    if (indexPath.section != 1 || style != TableViewCell::EditingStyleDelete) return;
    const auto row = static_cast<std::size_t>(indexPath.row);
    if (!downloads_ || row >= downloadList().size()) return;
    // The table is not redrawn from the list's news here: the row goes with
    // its animation first.
    deletingRow_ = true;
    downloads_->deleteRow(row);
    deletingRow_ = false;
    tableView->deleteRowsAtIndexPathsWithRowAnimation(
        {indexPath}, downloadList().empty() ? TableView::RowAnimationNone : TableView::RowAnimationFade);
    tableView->reloadData();
}

void OptionListViewController::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<TableView>& tableView,
                                                                const IndexPath& indexPath) {
    tableView->deselectRowAtIndexPathAnimated(indexPath, true);
    auto services = services_.lock();
    if (indexPath.section == 0) {
        if (services && services->canAppContinue())
            pushControllerForSelectedIndex(indexPath.row);
        else if (services)
            services->login();
        return;
    }
    if (downloads_) downloads_->restartOrCancelRow(static_cast<std::size_t>(indexPath.row));
}

// --- Screens -----------------------------------------------------------------------

void OptionListViewController::showVideosWithOptionFor(const std::shared_ptr<Option>& option, const std::string& uid) {
    if (!viewVideoController_) {
        viewVideoController_ = std::make_shared<WatchVideoViewController>();
    }
    viewVideoController_->setSession(session_);
    viewVideoController_->setDownloads(downloads_);
    viewVideoController_->setServices(services_);
    auto nav = navigationController();
    if (!nav) return;
    // Already on screen (a second tap before the first push finished): only
    // the option changes.
    const bool shown = std::find(nav->viewControllers().begin(), nav->viewControllers().end(), viewVideoController_) !=
                       nav->viewControllers().end();
    viewVideoController_->setHidesBottomBarWhenPushed(true);
    viewVideoController_->setFbUID(uid);
    viewVideoController_->setVideoOption(option);
    if (!shown) nav->pushViewControllerAnimated(viewVideoController_, true);
}

void OptionListViewController::pushControllerForSelectedIndex(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= options_.size()) return;
    showVideosWithOptionFor(options_[static_cast<std::size_t>(index)], "me()");
}

void OptionListViewController::selectTheFirstRow() {
    auto device = Device::currentDevice();
    if (!device->answersUserInterfaceIdiom() || device->userInterfaceIdiom() != Device::UserInterfaceIdiomPad) return;
    if (!tableView_) return;
    const IndexPath first{0, 0};
    tableView_->selectRowAtIndexPathAnimatedScrollPosition(first, true, TableView::ScrollPositionNone);
    tableViewDidSelectRowAtIndexPath(tableView_, first);
}

void OptionListViewController::showURLWithTitle(const std::string& address, const std::string& title) {
    if (!webPageController_) webPageController_ = std::make_shared<WebViewController>();
    webPageController_->setUrl(address);
    webPageController_->setDisplayTitle(title);
    if (webPageController_->presentingViewController()) {
        // Still on screen: show the new page in it.
        webPageController_->setTitle(title);
        webPageController_->openURL("about:blank");
        webPageController_->openURL(address);
        return;
    }
    presentModalViewControllerAnimated(webPageController_, true);
}

void OptionListViewController::info() {
    auto settings = std::make_shared<SettingViewController>();
    settings->setDelegate(weakAs<STSettingsDelegate>());
    settings->setShowCreditsFooter(false);
    settings->setShowDoneButton(true);
    auto nav = std::make_shared<QRBCustomNavViewController>();
    nav->initWithRootViewController(settings);
    presentModalViewControllerAnimated(nav, true);
}

bool OptionListViewController::settingsViewControllerButtonTappedForKey(
    const std::shared_ptr<STAppSettingsViewController>&, const std::optional<std::string>& key) {
    if (key == "shareFacebook") {
        if (auto services = services_.lock()) services->shareAppOnFacebook();
    } else if (key == "shareTwitter") {
        if (auto url = URL::fromString(AppConfig::current().storeLink))
            NeighbourServices::shareURLTitle(*url, kRecommendationTitle);
    }
    return true;
}

void OptionListViewController::settingsViewControllerDidEnd(const std::shared_ptr<STAppSettingsViewController>&) {
    dismissModalViewControllerAnimated(true);
}

std::optional<std::string> OptionListViewController::mailComposeBody() {
    const AppConfig& config = AppConfig::current();
    const std::string store = TextEscaping::html(config.storeLink);
    const std::string name =
        TextEscaping::html(Bundle::mainBundle()->infoString("CFBundleName").value_or(std::string()));
    return "<html><body bgcolor=\"#FFFFFF\"><div><p><a href=\"" + store +
           "\"><img style=\"float:left; margin-right:5px;\" src=\"" + TextEscaping::html(config.iconURL) +
           "\"></a><a href=\"" + store + "\">" + name +
           "</a> - Watch, bookmark, download and share Facebook Videos(even Flash videos) on your iPad/iPhone/iPod! "
           "Check it out now! Check it out!</p></div><br></body></html>";
}

void OptionListViewController::home() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

// --- Downloads ---------------------------------------------------------------------

bool OptionListViewController::downloadVideo(const std::shared_ptr<Video>& video) {
    if (!downloads_) return false;
    const auto start = downloads_->downloadVideo(video);
    return start == DownloadList::DownloadStart::Started || start == DownloadList::DownloadStart::Restarted;
}

// --- Life cycle --------------------------------------------------------------------

void OptionListViewController::saveDownloadList() {
    if (downloads_) downloads_->save();
}

void OptionListViewController::applicationWillTerminate() { saveDownloadList(); }

void OptionListViewController::applicationWillEnterForeground() { reloadTable(); }

}  // namespace clipora
