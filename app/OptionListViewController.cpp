#include "app/OptionListViewController.h"

#include <algorithm>

#include "app/AlbumCell.h"
#include "app/AppConfig.h"
#include "app/CinevueAppDelegate.h"
#include "app/NeighbourServices.h"
#include "app/QRBCustomNavViewController.h"
#include "app/SettingViewController.h"
#include "app/TextEscaping.h"
#include "app/Utility.h"
#include "app/WatchVideoViewController.h"
#include "app/WebViewController.h"
#include "net/engine/VideoDownloader.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/PhotoAlbum.h"
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

bool isPlainWord(const std::string& text) {
    if (text.empty()) return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

}  // namespace

OptionListViewController::~OptionListViewController() {
    if (observing_) NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

std::shared_ptr<OptionListViewController> OptionListViewController::self() {
    return sharedAs<OptionListViewController>();
}

std::shared_ptr<CinevueAppDelegate> OptionListViewController::appDelegate() const { return CinevueAppDelegate::shared(); }

std::string OptionListViewController::downloadPathForVideo(const Video& video) {
    // The id comes from the network: only a plain word may name a file;
    // anything else ("/", "..", empty) is replaced by its digest.
    const std::string id = video.videoID().value_or(std::string());
    const std::string name = isPlainWord(id) ? id : Digest::hex(Digest::sha1(id));
    return FileManager::cachesDirectory() + "/" + name + ".mp4";
}

// --- View --------------------------------------------------------------------------

void OptionListViewController::loadView() {
    ViewController::loadView();
    auto root = view();
    const Rect bounds = root->bounds();
    tableView_ = std::make_shared<TableView>(
        Rect(0, 0, bounds.size.width, bounds.size.height - kBottomBarHeight), TableView::StylePlain);
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

    if (auto delegate = appDelegate()) {
        if (auto button = delegate->fbButton()) {
            button->removeTargetForControlEvents(delegate.get(), Control::EventTouchUpInside);
            button->addTargetActionForControlEvents(delegate, &CinevueAppDelegate::fbButtonClick,
                                                    Control::EventTouchUpInside);
            const float width = view()->bounds().size.width;
            if (delegate->isConnectToFacebook()) button->setFrame(Rect(width - 91, 7, 81, 29));
            else button->setFrame(Rect(width - 82, 7, 72, 29));
            bottomBar_->addSubview(button);
        }
    }
    if (!infoButton_->superview()) {
        infoButton_->addTargetActionForControlEvents(self(), &OptionListViewController::info, Control::EventTouchUpInside);
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
        center.addObserver(Application::kWillTerminateNotification, application,
                           [weak](const Notification&) {
                               if (auto s = weak.lock()) s->applicationWillTerminate();
                           },
                           this);
        center.addObserver(Application::kWillEnterForegroundNotification, application,
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
    return section == 0 ? static_cast<int>(options_.size()) : static_cast<int>(downloadList_.size());
}

std::optional<std::string> OptionListViewController::tableViewTitleForHeaderInSection(const std::shared_ptr<TableView>&,
                                                                                     int section) {
    if (section == 0) return std::string("Facebook");
    return std::string(downloadList_.empty() ? "Download - Videos will be save to Photo Album when done."
                                             : "Downloading...");
}

std::optional<std::string> OptionListViewController::tableViewTitleForFooterInSection(const std::shared_ptr<TableView>&,
                                                                                     int section) {
    if (section == 1 && !downloadList_.empty())
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
    auto cell = std::dynamic_pointer_cast<AlbumCell>(tableView->dequeueReusableCellWithIdentifier(AlbumCell::kReuseIdentifier));
    if (!cell) cell = AlbumCell::create();
    if (row >= downloadList_.size()) return cell;
    const auto& entry = downloadList_[row];
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
    if (row >= downloadList_.size()) return;
    auto entry = downloadList_[row];
    if (entry->operation) entry->operation->cancel();
    downloadList_.erase(downloadList_.begin() + static_cast<std::ptrdiff_t>(row));
    tableView->deleteRowsAtIndexPathsWithRowAnimation(
        {indexPath}, downloadList_.empty() ? TableView::RowAnimationNone : TableView::RowAnimationFade);
    tableView->reloadData();
}

void OptionListViewController::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<TableView>& tableView,
                                                                const IndexPath& indexPath) {
    tableView->deselectRowAtIndexPathAnimated(indexPath, true);
    auto delegate = appDelegate();
    if (indexPath.section == 0) {
        if (delegate && delegate->canAppContinue()) pushControllerForSelectedIndex(indexPath.row);
        else if (delegate) delegate->login();
        return;
    }
    const auto row = static_cast<std::size_t>(indexPath.row);
    if (row >= downloadList_.size()) return;
    auto entry = downloadList_[row];
    const bool stopped = !entry->operation || entry->operation->isCancelled() || entry->status == kStatusFailed;
    if (stopped) {
        // A restart: the standard source into a fresh file.
        entry->status = kStatusDownloading;
        entry->progress = 0;
        entry->path = downloadPathForVideo(*entry->video);
        FileManager::removeItem(entry->path);
        const auto source = entry->video->src();
        if (!source || !startDownload(entry, *source)) entry->status = kStatusFailed;
    } else {
        entry->operation->cancel();
        entry->status = kStatusCancelled;
    }
    reloadTable();
}

// --- Screens -----------------------------------------------------------------------

void OptionListViewController::showVideosWithOptionFor(const std::shared_ptr<Option>& option, const std::string& uid) {
    if (!viewVideoController_) {
        viewVideoController_ = std::make_shared<WatchVideoViewController>();
        viewVideoController_->setParent(self());
    }
    auto nav = navigationController();
    if (!nav) return;
    // Already on screen (a second tap before the first push finished): only
    // the option changes.
    const bool shown = std::find(nav->viewControllers().begin(), nav->viewControllers().end(),
                                 viewVideoController_) != nav->viewControllers().end();
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

bool OptionListViewController::settingsViewControllerButtonTappedForKey(const std::shared_ptr<STAppSettingsViewController>&,
                                                                        const std::optional<std::string>& key) {
    if (key == "shareFacebook") {
        if (auto delegate = appDelegate()) delegate->shareAppOnFacebook();
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
    const std::string name = TextEscaping::html(Bundle::mainBundle()->infoString("CFBundleName").value_or(std::string()));
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
    if (!video) return false;
    const std::string path = downloadPathForVideo(*video);
    for (const auto& entry : downloadList_) {
        if (entry->path == path) {
            // Two downloads of one video would write into one file.
            Log::format("Already in the download list: %@", video->title().value_or(std::string()));
            return false;
        }
    }
    std::optional<std::string> source = video->src();
    if (UserDefaults::standardUserDefaults()->boolForKey(CinevueAppDelegate::kDownloadHDKey) && video->srcHD())
        source = video->srcHD();

    auto entry = std::make_shared<DownloadRow>();
    entry->video = video;
    entry->status = kStatusDownloading;
    entry->path = path;
    // Whatever an earlier run left at the path is not part of this download.
    FileManager::removeItem(path);
    if (!source || !startDownload(entry, *source)) entry->status = kStatusFailed;
    downloadList_.push_back(entry);
    reloadTable();
    return true;
}

bool OptionListViewController::startDownload(const std::shared_ptr<DownloadRow>& entry, const std::string& source) {
    auto delegate = appDelegate();
    auto engine = delegate ? delegate->videoDownloader() : nullptr;
    if (!engine) return false;
    auto operation = engine->downloadVideoToFile(source, entry->path);
    if (!operation) return false;
    operation->setFreezable(true);
    entry->operation = operation;

    std::weak_ptr<OptionListViewController> weakSelf = self();
    std::weak_ptr<BKNetworkOperation> weakOperation = operation;
    std::weak_ptr<DownloadRow> weakRow = entry;
    const std::string path = entry->path;
    operation->onCompletionOnError(
        [weakSelf, path](const std::shared_ptr<BKNetworkOperation>& completed) {
            DispatchQueue::main()->async([weakSelf, completed, path] {
                if (auto s = weakSelf.lock()) s->downloadFinishedOnMain(completed, path);
            });
        },
        [weakSelf, weakOperation](const Error&) {
            auto s = weakSelf.lock();
            auto op = weakOperation.lock();
            if (s && op) s->downloadFailed(op);
        });
    operation->onDownloadProgressChanged([weakRow](double progress) {
        if (auto row = weakRow.lock()) row->progress = progress;
    });
    return true;
}

std::shared_ptr<OptionListViewController::DownloadRow> OptionListViewController::rowForOperation(
    const std::shared_ptr<BKNetworkOperation>& operation) const {
    for (const auto& entry : downloadList_)
        if (operation && entry->operation == operation) return entry;
    return nullptr;
}

void OptionListViewController::downloadFailed(const std::shared_ptr<BKNetworkOperation>& operation) {
    auto entry = rowForOperation(operation);
    if (!entry) return;
    operation->cancel();
    entry->status = kStatusFailed;
    reloadTable();
}

void OptionListViewController::downloadFinishedOnMain(const std::shared_ptr<BKNetworkOperation>& operation,
                                                      const std::string& path) {
    auto entry = rowForOperation(operation);
    const URL fileURL = URL::fileURLWithPath(path);
    if (!PhotoAlbum::videoAtPathIsCompatibleWithSavedPhotosAlbum(fileURL)) {
        // Not a movie the album takes (an error page, a damaged file): the
        // row shows the failure so the user can try again.
        FileManager::removeItem(path);
        if (entry) {
            if (entry->operation) entry->operation->cancel();
            entry->status = kStatusFailed;
            reloadTable();
        }
        return;
    }
    std::weak_ptr<OptionListViewController> weakSelf = self();
    PhotoAlbum::writeVideoAtPathToSavedPhotosAlbum(
        fileURL, [weakSelf, entry, path](const std::optional<URL>&, const std::optional<Error>& error) {
            if (auto s = weakSelf.lock()) s->photoAlbumSaveCompletion(entry, path, error);
        });
}

void OptionListViewController::photoAlbumSaveCompletion(const std::shared_ptr<DownloadRow>& entry,
                                                        const std::string& path, const std::optional<Error>& error) {
    if (!entry || std::find(downloadList_.begin(), downloadList_.end(), entry) == downloadList_.end()) return;
    if (error) {
        if (entry->operation) entry->operation->cancel();
        entry->status = kStatusFailed;
        reloadTable();
        return;
    }
    removeRow(entry);
    FileManager::removeItem(path);
    reloadTable();
}

void OptionListViewController::removeRow(const std::shared_ptr<DownloadRow>& entry) {
    downloadList_.erase(std::remove(downloadList_.begin(), downloadList_.end(), entry), downloadList_.end());
}

// --- Life cycle --------------------------------------------------------------------

void OptionListViewController::saveDownloadList() {
    Value::Array rows;
    for (const auto& entry : downloadList_) {
        Value::Dictionary row;
        if (entry->video) row.emplace("video", Value(std::static_pointer_cast<Object>(entry->video)));
        row.emplace("status", Value(entry->status));
        row.emplace("path", Value(entry->path));
        rows.emplace_back(std::move(row));
    }
    Utility::saveFileToDiskKeyPath(Value(std::move(rows)), kDownloadListKey,
                                   FileManager::documentsDirectory() + "/" + kDownloadListKey);
}

void OptionListViewController::applicationWillTerminate() { saveDownloadList(); }

void OptionListViewController::applicationWillEnterForeground() { reloadTable(); }

}  // namespace clipora
