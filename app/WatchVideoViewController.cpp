#include "app/WatchVideoViewController.h"

#include "app/AppConfig.h"
#include "app/LimitedFetch.h"
#include "app/MailComposer.h"
#include "app/NeighbourServices.h"
#include "app/ProgressHUD.h"
#include "app/ProportionalFill.h"
#include "app/ReviewRequest.h"
#include "app/TextEscaping.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/BlockOperation.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/WebView.h"
#include "social/sdk/FBHosts.h"

namespace clipora {

using namespace platform;

namespace {

constexpr const char* kDownload = "Download Video";
constexpr const char* kWatchStandard = "Watch Standard Video";
constexpr const char* kWatchHD = "Watch HD Video";
constexpr const char* kShareTwitter = "Share Video on Twitter";
constexpr const char* kShareFacebook = "Share Video on Facebook";
constexpr const char* kShareEmail = "Share via Email";
constexpr long long kLongestCellularVideo = 600;

std::string describeDate(const std::optional<Date>& date) { return date ? Value(*date).description() : std::string(); }

}  // namespace

WatchVideoViewController::WatchVideoViewController() : QRBBaseViewController(TableView::StylePlain, "", true) {}

WatchVideoViewController::~WatchVideoViewController() {
    if (query_) {
        query_->cancelRequest();
        query_->setDelegate({});
    }
    if (operationQueue_) operationQueue_->cancelAllOperations();
    NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

std::shared_ptr<WatchVideoViewController> WatchVideoViewController::self() {
    return sharedAs<WatchVideoViewController>();
}

const std::shared_ptr<OperationQueue>& WatchVideoViewController::operationQueue() {
    if (!operationQueue_) operationQueue_ = std::make_shared<OperationQueue>();
    return operationQueue_;
}

// --- The list --------------------------------------------------------------------

std::optional<std::string> WatchVideoViewController::sessionToken() const {
    return session_ ? session_->accessToken() : std::nullopt;
}

void WatchVideoViewController::setVideoOption(const std::shared_ptr<Option>& option) {
    const auto token = sessionToken();
    if (option == videoOption_ && listIsCurrent_ && listToken_ == token) return;
    if (option != videoOption_ || listToken_ != token) {
        // The list on screen is another option's or another session's: it
        // goes before the fetch, so neither the wait nor a failure shows it.
        videoList_.clear();
        listToken_ = token;
        listIsCurrent_ = false;
        if (tableView()) tableView()->reloadData();
    }
    videoOption_ = option;
    setTitle(option ? option->name() : std::string());
    ProgressHUD::showInViewStatusNetworkIndicatorPosYMaskType(view(), std::string("Retrieving..."), true, -1,
                                                              ProgressHUD::MaskTypeGradient);
    retrieveVideos();
}

void WatchVideoViewController::retrieveVideos() {
    if (!query_) {
        query_ = GetVideo::initWithDelegate(session_, weakAs<GetVideoDelegate>());
    }
    queryToken_ = sessionToken();
    query_->executeForWhoIsOldGen(fbUID_, videoOption_ ? videoOption_->forWho() : 0, false);
}

void WatchVideoViewController::reloadTableViewDataSource() {
    setReloading(true);
    retrieveVideos();
}

void WatchVideoViewController::endPull() {
    setReloading(false);
    if (refreshHeaderView() && tableView())
        refreshHeaderView()->prRefreshScrollViewDataSourceDidFinishedLoading(tableView());
}

void WatchVideoViewController::doneLoadingTableViewData() {
    ProgressHUD::dismiss();
    setReloading(false);
    if (tableView()) tableView()->reloadData();
    endPull();
}

void WatchVideoViewController::finishGetVideoVideos(const std::shared_ptr<GetVideo>& getVideo,
                                                    const std::optional<std::vector<std::shared_ptr<Video>>>& videos) {
    if (getVideo && getVideo->success()) {
        videoList_.clear();
        videoList_ = videos.value_or(std::vector<std::shared_ptr<Video>>{});
        listToken_ = queryToken_;
        listIsCurrent_ = true;
        doneLoadingTableViewData();
        return;
    }
    listIsCurrent_ = false;
    ProgressHUD::dismissWithErrorAfterDelay(std::string("Error"), 1.0);
    auto alert =
        std::make_shared<AlertView>("Error", kRetrieveFailedMessage, weakAs<AlertViewDelegate>(), std::string("OK"));
    alert->show();
    // The pull ends too, so the next one is not ignored.
    endPull();
}

// --- Table -----------------------------------------------------------------------

int WatchVideoViewController::numberOfSectionsInTableView(const std::shared_ptr<TableView>&) { return 1; }

int WatchVideoViewController::tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int) {
    const int rows = static_cast<int>(videoList_.size());
    if (emptyView()) emptyView()->setHidden(rows > 0);
    return rows;
}

std::optional<float> WatchVideoViewController::tableViewHeightForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                                                const IndexPath&) {
    return 75.0f;
}

std::shared_ptr<TableViewCell> WatchVideoViewController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<TableView>& tableView, const IndexPath& indexPath) {
    auto cell =
        std::dynamic_pointer_cast<AlbumCell>(tableView->dequeueReusableCellWithIdentifier(AlbumCell::kReuseIdentifier));
    if (!cell) cell = AlbumCell::create();
    cell->setRowNumber(std::make_shared<const int>(indexPath.row));
    const auto row = static_cast<std::size_t>(indexPath.row);
    if (row >= videoList_.size()) return cell;
    const auto& video = videoList_[row];
    cell->textLabel()->setText(video->title().value_or(std::string()));
    cell->detailTextLabel()->setText(
        Text::format("%@  %@", video->ownerName().value_or(std::string()), describeDate(video->updatedTime())));
    cell->imageView()->setImage(Image::imageNamed(AlbumCell::kPlaceholderImage));
    cell->imageView()->setClipsToBounds(true);
    cell->imageView()->layer()->setCornerRadius(5);
    return cell;
}

void WatchVideoViewController::tableViewWillDisplayCellForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                                         const std::shared_ptr<TableViewCell>& cell,
                                                                         const IndexPath& indexPath) {
    auto albumCell = std::dynamic_pointer_cast<AlbumCell>(cell);
    const auto row = static_cast<std::size_t>(indexPath.row);
    if (!albumCell || row >= videoList_.size()) return;
    auto video = videoList_[row];
    if (video->image()) {
        albumCell->imageView()->setImage(video->image());
        return;
    }
    if (!video->thumbnailLink()) return;
    auto number = std::make_shared<const int>(indexPath.row);
    albumCell->setRowNumber(number);
    const std::string link = *video->thumbnailLink();
    std::weak_ptr<WatchVideoViewController> weak = self();
    // retrieveAlbumCover: reads and crops off the main thread, hands the
    // result back without waiting.
    operationQueue()->addOperation(BlockOperation::create([weak, albumCell, video, number, link] {
        std::shared_ptr<Image> image;
        if (auto url = URL::fromString(link)) {
            auto result = LimitedFetch::fetch(URLRequest(*url), kMaxThumbnailBytes);
            if (result.body && result.statusCode() == 200)
                image = ProportionalFill::imageCroppedToFitSize(Image::imageWithData(*result.body),
                                                                Size{kThumbnailSide, kThumbnailSide});
        }
        Thread::performOnMainThread(
            [weak, albumCell, video, image, number] {
                if (auto s = weak.lock()) s->finishRetrievingAlbumCover(albumCell, video, image, number);
            },
            false);
    }));
}

void WatchVideoViewController::finishRetrievingAlbumCover(const std::shared_ptr<AlbumCell>& cell,
                                                          const std::shared_ptr<Video>& video,
                                                          const std::shared_ptr<Image>& image,
                                                          const AlbumCell::RowNumber& rowNumber) {
    video->setImage(image);
    if (cell->rowNumber() == rowNumber && video->image()) cell->imageView()->setImage(video->image());
}

void WatchVideoViewController::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<TableView>& tableView,
                                                                const IndexPath& indexPath) {
    tableView->deselectRowAtIndexPathAnimated(indexPath, true);
    selectedIndex_ = indexPath.row;
    if (auto video = selectedVideo()) showOptionForVideo(video);
}

void WatchVideoViewController::didSelectObjectAtIndexPath(const std::shared_ptr<Video>& video,
                                                          const IndexPath& indexPath) {
    selectedIndex_ = indexPath.row;
    showOptionForVideo(video);
}

std::shared_ptr<Video> WatchVideoViewController::selectedVideo() const {
    if (selectedIndex_ < 0 || static_cast<std::size_t>(selectedIndex_) >= videoList_.size()) return nullptr;
    return videoList_[static_cast<std::size_t>(selectedIndex_)];
}

// --- Choices ---------------------------------------------------------------------

void WatchVideoViewController::showOptionForVideo(const std::shared_ptr<Video>& video) {
    if (!video) return;
    std::vector<std::string> buttons;
    if (video->src() && video->srcHD() && *video->src() == *video->srcHD())
        buttons = {kDownload, kWatchStandard, kShareTwitter, kShareFacebook, kShareEmail};
    else
        buttons = {kDownload, kWatchStandard, kWatchHD, kShareTwitter, kShareFacebook, kShareEmail};
    auto sheet = std::make_shared<ActionSheet>("What do you want to do?", weakAs<ActionSheetDelegate>(),
                                               std::string("Nothing"), std::nullopt, buttons);
    if (Device::currentDevice()->userInterfaceIdiom() == Device::UserInterfaceIdiomPad && tableView()) {
        Rect from;
        if (auto cell = tableView()->cellForRowAtIndexPath(IndexPath{0, selectedIndex_})) from = cell->frame();
        sheet->showFromRectInViewAnimated(from, tableView(), true);
    } else {
        sheet->showInView(view());
    }
}

void WatchVideoViewController::actionSheetClickedButtonAtIndex(const std::shared_ptr<ActionSheet>& sheet, int index) {
    if (!sheet || index == sheet->cancelButtonIndex()) return;
    auto video = selectedVideo();
    if (!video) return;
    const std::string choice = sheet->buttonTitleAtIndex(index);
    const bool fiveButtons = sheet->numberOfButtons() == 6;
    if (choice == kDownload) {
        // A failed or cancelled row of the video starts again in the list;
        // one still running is not doubled, and the user is told why
        // nothing new appears.
        auto downloads = downloads_.lock();
        if (downloads && downloads->downloadVideo(video) == DownloadList::DownloadStart::AlreadyDownloading)
            std::make_shared<AlertView>("Notice", kAlreadyDownloadingMessage, std::weak_ptr<AlertViewDelegate>(),
                                        std::string("OK"))
                ->show();
    } else if (choice == kWatchStandard) {
        // With one source for both qualities the common source plays.
        playVideo(fiveButtons ? video->srcHD() : video->src());
    } else if (choice == kWatchHD) {
        playVideo(video->srcHD());
    } else if (choice == kShareTwitter) {
        if (auto url = URL::fromString(pageAddressForVideo(*video)))
            NeighbourServices::shareURLTitle(*url, kShareComment);
    } else if (choice == kShareFacebook) {
        ProgressHUD::showInViewStatusNetworkIndicatorPosYMaskType(view(), std::string("Sharing Video..."), true, -1,
                                                                  ProgressHUD::MaskTypeGradient);
        auto post = StreamPublish::initWithDelegate(session_, weakAs<StreamPublishDelegate>());
        post->postLinkWithComment(pageAddressForVideo(*video), std::string(kShareComment));
    } else if (choice == kShareEmail) {
        emailVideoLink(video);
    }
}

void WatchVideoViewController::finishStreamPublish(const std::shared_ptr<StreamPublish>& streamPublish) {
    // The HUD tells how the post went.
    if (streamPublish && streamPublish->success())
        ProgressHUD::dismissWithSuccessAfterDelay(std::nullopt, 0.5);
    else
        ProgressHUD::dismissWithErrorAfterDelay(std::string("Error"), 1.0);
}

std::string WatchVideoViewController::pageAddressForVideo(const Video& video) {
    return "https://" + FBHosts::current().web +
           "/video/video.php?v=" + Text::percentEscape(video.videoID().value_or(std::string()));
}

// --- Playback --------------------------------------------------------------------

void WatchVideoViewController::playVideo(const std::optional<std::string>& source) {
    if (!source) return;
    auto url = URL::fromString(*source);
    if (!url || url->scheme().empty()) return;
    std::weak_ptr<WatchVideoViewController> weak = self();
    auto& center = NotificationCenter::defaultCenter();
    if (MoviePlayerViewController::isAvailable()) {
        if (fullScreenPlayer_) center.removeObserver(this, MoviePlayerController::kPlaybackDidFinishNotification);
        fullScreenPlayer_ = std::make_shared<MoviePlayerViewController>(*url);
        fullScreenPlayer_->setModalTransitionStyle(ModalTransitionStyleCrossDissolve);
        setModalTransitionStyle(ModalTransitionStyleCrossDissolve);
        presentModalViewControllerAnimated(fullScreenPlayer_, true);
        center.addObserver(
            MoviePlayerController::kPlaybackDidFinishNotification, fullScreenPlayer_->moviePlayer().get(),
            [weak](const Notification& note) {
                if (auto s = weak.lock()) s->movieDidExitFullscreen(note);
            },
            this);
        return;
    }
    if (plainPlayer_) center.removeObserver(this, MoviePlayerController::kPlaybackDidFinishNotification);
    plainPlayer_ = std::make_shared<MoviePlayerController>(*url);
    plainPlayer_->play();
    center.addObserver(
        MoviePlayerController::kPlaybackDidFinishNotification, plainPlayer_.get(),
        [weak](const Notification& note) {
            if (auto s = weak.lock()) s->moviePlayerDidFinish(note);
        },
        this);
}

void WatchVideoViewController::movieDidExitFullscreen(const Notification&) {
    NotificationCenter::defaultCenter().removeObserver(this, MoviePlayerController::kPlaybackDidFinishNotification);
    auto player = std::move(fullScreenPlayer_);
    if (player) {
        player->moviePlayer()->pause();
        player->moviePlayer()->stop();
    }
    dismissModalViewControllerAnimated(true);
    if (player && player->isViewLoaded()) player->view()->removeFromSuperview();
    askAfterPlay();
}

void WatchVideoViewController::moviePlayerDidFinish(const Notification&) {
    NotificationCenter::defaultCenter().removeObserver(this, MoviePlayerController::kPlaybackDidFinishNotification);
    auto player = std::move(plainPlayer_);
    if (player) {
        player->pause();
        player->stop();
    }
    askAfterPlay();
}

void WatchVideoViewController::askAfterPlay() {
    if (ReviewRequest::shouldAskForReview()) ReviewRequest::askForReview();
    NeighbourServices::logEvent("Watch Video");
}

// --- E-mail ----------------------------------------------------------------------

std::string WatchVideoViewController::emailBodyForVideo(const Video& video) {
    // The title, thumbnail and page addresses come from the network: each is
    // escaped before it goes into the HTML.
    const std::string page = TextEscaping::html(pageAddressForVideo(video));
    return "<html><body bgcolor=\"#FFFFFF\"><div><p>" + TextEscaping::html(video.title().value_or(std::string())) +
           "<br><img style=\"float:left;\" \t\t\t\t\t  margin-right:5px;width: 72px; height: 72px;\" src=\"" +
           TextEscaping::html(video.thumbnailLink().value_or(std::string())) + "\"><br><br><a href=\"" + page + "\">" +
           page + "</a><br><br>Using \t\t\t\t\t  <a href=\"" + TextEscaping::html(AppConfig::current().storeLink) +
           "\">Uplonix for iPad/iPhone/iPod Touch</a> </p></div><br></body></html>";
}

void WatchVideoViewController::emailVideoLink(const std::shared_ptr<Video>& video) {
    if (!video) return;
    sendEmailWithBodyIsHtmlTo("Check out this video on Facebook!", emailBodyForVideo(*video), true, {});
}

void WatchVideoViewController::sendEmailWithBodyIsHtmlTo(const std::string& subject, const std::string& body,
                                                         bool isHTML, const std::vector<std::string>& recipients) {
    MailComposer::presentFrom(self(), weakAs<MailComposeViewControllerDelegate>(), subject, body, isHTML, recipients,
                              "Note");
}

void WatchVideoViewController::mailComposeControllerDidFinishWithResultError(
    const std::shared_ptr<MailComposeViewController>& controller, MailComposeResult, const std::optional<Error>&) {
    dismissModalViewControllerAnimated(true);
    if (controller) controller->setMailComposeDelegate({});
}

// --- Duration scrape -------------------------------------------------------------

std::optional<std::string> WatchVideoViewController::getStringFromStartWith(std::string_view text,
                                                                            std::string_view key) {
    auto at = Text::find(text, key);
    if (!at) return std::nullopt;
    const std::size_t from = *at + key.size() + 1;
    if (from > text.size()) return std::nullopt;
    const std::string_view rest = text.substr(from);
    auto open = Text::find(rest, "\"");
    auto close = Text::find(rest, "\");");
    if (!open || !close || *close <= *open) return std::nullopt;
    const std::string raw(rest.substr(*open + 1, *close - *open - 1));
    const std::string decoded = Text::percentUnescape(raw).value_or(std::string());
    return Text::replaceAll(decoded, "+", " ");
}

long long WatchVideoViewController::getDurationOfVideo(std::string_view page) {
    auto value = getStringFromStartWith(page, "video_seconds");
    return value ? Text::longLongValue(*value) : 0;
}

std::optional<std::string> WatchVideoViewController::getVideoURL(const std::string& videoID) {
    Video video;
    video.setVideoID(videoID);
    auto url = URL::fromString(pageAddressForVideo(video));
    if (!url) return std::nullopt;
    auto result = LimitedFetch::fetch(URLRequest(*url), kMaxThumbnailBytes);
    if (!result.body) return std::nullopt;
    auto page = Text::fromUTF8(*result.body);
    if (!page) return std::nullopt;
    auto source = Text::find(*page, "video_src");
    if (!source) return std::nullopt;
    const std::string rest = page->substr(*source);
    auto http = Text::find(rest, "http");
    auto extension = Text::find(rest, "mp4");
    if (!extension) extension = Text::find(rest, "m4v");
    if (!http || !extension || *extension < *http) return std::nullopt;
    std::string link = rest.substr(*http, *extension + 3 - *http);
    link = Text::replaceAll(link, "%3A", ":");
    return Text::replaceAll(link, "%2F", "/");
}

void WatchVideoViewController::webViewDidFinishLoad(const std::shared_ptr<WebView>& webView) {
    ProgressHUD::dismiss();
    if (!webView) return;
    finishGetVideoDuration(
        getDurationOfVideo(webView->stringByEvaluatingJavaScriptFromString("document.body.innerHTML")));
}

void WatchVideoViewController::finishGetVideoDuration(long long seconds) {
    if (seconds == 0) {
        if (auto services = services_.lock()) services->login();
    } else if (seconds < kLongestCellularVideo) {
        showOptionForVideo(selectedVideo());
    } else {
        auto alert = std::make_shared<AlertView>(
            "Info",
            "Uplonix is unable to play the selected video because it is longer than 10 mins and you are on a cellular "
            "network. Please connect to wifi or select a different video.",
            std::weak_ptr<AlertViewDelegate>(), std::string("OK"));
        alert->show();
    }
}

// --- Misc ------------------------------------------------------------------------

void WatchVideoViewController::home() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

bool WatchVideoViewController::shouldAutorotateToInterfaceOrientation(int orientation) {
    return orientation == InterfaceOrientationPortrait;
}

void WatchVideoViewController::didReceiveMemoryWarning() {
    QRBBaseViewController::didReceiveMemoryWarning();
    Log::format("%s [Line %d] Low memory.", "-[WatchVideoViewController didReceiveMemoryWarning]", __LINE__);
}

}  // namespace clipora
