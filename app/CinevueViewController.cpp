#include "app/CinevueViewController.h"

#include <algorithm>

#include "app/AboutViewController.h"
#include "app/AppConfig.h"
#include "app/ImageHelper.h"
#include "app/LimitedFetch.h"
#include "app/MailComposer.h"
#include "app/NeighbourServices.h"
#include "app/ReviewRequest.h"
#include "app/TextEscaping.h"
#include "app/Utility.h"
#include "app/WatchVideoViewController.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/MailComposeViewController.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Window.h"

namespace clipora {

using namespace platform;

namespace {

std::shared_ptr<UserDefaults> defaults() { return UserDefaults::standardUserDefaults(); }

std::optional<std::string> fetchText(const std::string& address, std::size_t limit) {
    auto url = URL::fromString(address);
    if (!url) return std::nullopt;
    auto result = LimitedFetch::fetch(URLRequest(*url), limit);
    if (!result.body || result.error) return std::nullopt;
    return Text::fromUTF8(*result.body);
}

std::shared_ptr<BarButtonItem> spinnerItem(int tag) {
    auto spinner = std::make_shared<ActivityIndicatorView>(ActivityIndicatorView::StyleWhite);
    spinner->startAnimating();
    auto item = std::make_shared<BarButtonItem>(spinner);
    item->setStyle(BarButtonItem::StylePlain);
    item->setTag(tag);
    return item;
}

std::string resourceText(const char* name, const char* type) {
    auto path = Bundle::mainBundle()->pathForResource(name, type);
    if (!path) return std::string();
    auto bytes = FileManager::contentsOfFile(*path);
    return bytes ? Text::fromUTF8(*bytes).value_or(std::string()) : std::string();
}

}  // namespace

CinevueViewController::CinevueViewController() = default;

CinevueViewController::~CinevueViewController() {
    if (observing_) NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
    if (downloader_) downloader_->setDelegate({});
    if (webView_) webView_->setDelegate({});
}

std::shared_ptr<CinevueViewController> CinevueViewController::self() { return sharedAs<CinevueViewController>(); }

// --- View -------------------------------------------------------------------------

void CinevueViewController::loadView() {
    // What the interface file holds: the page above a toolbar.
    ViewController::loadView();
    auto root = view();
    const Rect bounds = root->bounds();
    const float h = Toolbar::kHeight;
    webView_ = std::make_shared<WebView>(Rect(0, 0, bounds.size.width, bounds.size.height - h));
    webView_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    webView_->setScalesPageToFit(true);
    webView_->setDelegate(weakAs<WebViewDelegate>());
    toolbar_ = std::make_shared<Toolbar>(Rect(0, bounds.size.height - h, bounds.size.width, h));
    toolbar_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleTopMargin);
    root->addSubview(webView_);
    root->addSubview(toolbar_);

    auto me = self();
    auto titled = [](const char* title) { return std::make_shared<BarButtonItem>(title, BarButtonItem::StylePlain); };
    backButton_ = titled("Back");
    backButton_->setTargetAction(me, &CinevueViewController::back);
    forwardButton_ = titled("Forward");
    forwardButton_->setTargetAction(me, &CinevueViewController::forward);
    refreshButton_ = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemRefresh);
    std::weak_ptr<CinevueViewController> weak = me;
    refreshButton_->setAction([weak](const std::shared_ptr<BarButtonItem>& sender) {
        if (auto s = weak.lock()) s->refresh(sender);
    });
    homeButton_ = titled("Home");
    homeButton_->setTargetAction(me, &CinevueViewController::home);
    addButton_ = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemAdd);
    addButton_->setTargetAction(me, &CinevueViewController::add);
    bookmarkButton_ = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemBookmarks);
    bookmarkButton_->setTitle("Videos");
    bookmarkButton_->setTargetAction(me, &CinevueViewController::bookmark);
    settingButton_ = titled("About");
    settingButton_->setTag(kSettingTag);
    settingButton_->setTargetAction(me, &CinevueViewController::setting);
    spaceForDownloadActivity_ = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemFlexibleSpace);
    spaceForPercentDownload_ = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemFlexibleSpace);
    spaceForPercentDownload_->setTag(kPercentSpaceTag);
    toolbar_->setItems({backButton_, forwardButton_, refreshButton_, homeButton_, addButton_, bookmarkButton_,
                        spaceForDownloadActivity_, spaceForPercentDownload_, settingButton_});
}

void CinevueViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    toolbar_->setTintColor(Utility::getColor("003366"));

    // The store's own content tells a store this version wrote from one it
    // cannot use: the first is kept whatever "DeleteYet" says (the flag is
    // lost with damaged preferences, and is not yet set when the first
    // session's store is read at the second launch); the other, left by an
    // earlier format or damaged, is moved aside rather than deleted. The
    // flag still records that this version has started.
    siteList_ = VideoSite::restoreSiteList(VideoSite::siteListPath());
    if (siteList_.empty()) siteList_ = {VideoSite::defaultSite()};
    if (auto store = defaults(); !store->boolForKey(kDeleteYetKey)) store->setBool(true, kDeleteYetKey);

    auto me = self();
    stopButton_ = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemStop);
    stopButton_->setStyle(BarButtonItem::StylePlain);
    stopButton_->setTag(3);
    std::weak_ptr<CinevueViewController> weak = me;
    stopButton_->setAction([weak](const std::shared_ptr<BarButtonItem>& sender) {
        if (auto s = weak.lock()) s->refresh(sender);
    });
    activityItem_ = spinnerItem(kActivityTag);
    activityItemDownload_ = spinnerItem(kDownloadActivityTag);
    percentDownload_ = std::make_shared<BarButtonItem>("0%", BarButtonItem::StylePlain);
    percentDownload_->setTag(kPercentTag);

    auto site = currentSite();
    if (auto start = URL::fromString(site->lastURL().value_or(site->url().value_or(std::string())))) openURL(*start);
    if (!site->pendingDownloadList()->empty()) {
        // An interrupted download starts again.
        auto video = site->pendingDownloadList()->front();
        site->pendingDownloadList()->clear();
        beganDownloadingVideo(video);
    }
    addButton_->setEnabled(false);
    refreshBackForward();

    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(
        Application::kWillTerminateNotification,
        [weak](const Notification&) {
            if (auto s = weak.lock()) s->applicationWillTerminate();
        },
        this);
    center.addObserver(
        Application::kDidEnterBackgroundNotification,
        [weak](const Notification&) {
            if (auto s = weak.lock()) s->applicationWillEnterBackground();
        },
        this);
    observing_ = true;
}

void CinevueViewController::viewWillDisappear(bool animated) {
    ViewController::viewWillDisappear(animated);
    if (auto window = view()->window()) window->makeKeyWindow();
}

void CinevueViewController::viewDidUnload() {
    ViewController::viewDidUnload();
    if (webView_) webView_->setDelegate({});
    webView_ = nullptr;
    toolbar_ = nullptr;
}

void CinevueViewController::didReceiveMemoryWarning() {
    ViewController::didReceiveMemoryWarning();
    webViewController_ = nullptr;
}

// --- Toolbar ------------------------------------------------------------------------

void CinevueViewController::back() { webView_->goBack(); }

void CinevueViewController::forward() { webView_->goForward(); }

void CinevueViewController::refresh(const std::shared_ptr<BarButtonItem>& sender) {
    if (sender == refreshButton_)
        webView_->reload();
    else
        webView_->stopLoading();
}

void CinevueViewController::home() {
    if (auto url = URL::fromString(currentSite()->url().value_or(std::string()))) openURL(*url);
}

void CinevueViewController::add() {
    if (!addActionSheet_) {
        addActionSheet_ =
            std::make_shared<ActionSheet>("", weakAs<ActionSheetDelegate>(), std::string("Do Nothing"), std::nullopt,
                                          std::vector<std::string>{"Watch Video", "Bookmark Video", "Download Video",
                                                                   "Tweet Video", "Post to Wall", "Share via Email"});
        addActionSheet_->setActionSheetStyle(ActionSheet::StyleBlackTranslucent);
    }
    if (addActionSheet_->isVisible())
        addActionSheet_->dismissWithClickedButtonIndexAnimated(-1, true);
    else
        addActionSheet_->showInView(view());
}

void CinevueViewController::bookmark() {
    auto site = currentSite();
    if (!listNavController_) {
        auto list = std::make_shared<VideoListViewController>(TableView::StylePlain);
        list->setBookmarkList(site->bookmarkList());
        list->setDownloadList(site->downloadList());
        list->setPendingDownloadList(site->pendingDownloadList());
        list->setDelegate(weakAs<VideoListDelegate>());
        listNavController_ = std::make_shared<NavigationController>();
        listNavController_->initWithRootViewController(list);
    }
    presentModalViewControllerAnimated(listNavController_, true);
}

void CinevueViewController::setting() {
    auto about = std::make_shared<AboutViewController>();
    auto nav = std::make_shared<NavigationController>();
    nav->initWithRootViewController(about);
    presentModalViewControllerAnimated(nav, true);
}

void CinevueViewController::openURL(const platform::URL& url) { openRequest(URLRequest(url)); }

void CinevueViewController::openRequest(const URLRequest& request) {
    view();
    webView_->loadRequest(request);
}

std::optional<platform::URL> CinevueViewController::URL() const {
    if (loadingURL_) return loadingURL_;
    return webView_ ? webView_->mainDocumentURL() : std::nullopt;
}

std::string CinevueViewController::pageAddress() const {
    auto page = webView_ ? webView_->mainDocumentURL() : std::nullopt;
    return page ? page->absoluteString() : std::string();
}

void CinevueViewController::refreshBackForward() {
    if (!webView_) return;
    backButton_->setEnabled(webView_->canGoBack());
    forwardButton_->setEnabled(webView_->canGoForward());
}

void CinevueViewController::replaceItemWithTagWithItem(int tag, const std::shared_ptr<BarButtonItem>& item) {
    if (!toolbar_ || !item) return;
    auto items = toolbar_->items();
    for (auto& existing : items)
        if (existing && existing->tag() == tag) {
            existing = item;
            toolbar_->setItemsAnimated(std::move(items), false);
            return;
        }
}

// --- Router and page events -------------------------------------------------------------

std::string CinevueViewController::mobileAddress(const std::string& address) {
    // Only the host's leading "www." label changes: a path or query that
    // holds "www" is left alone.
    const auto scheme = address.find("://");
    const std::size_t host = scheme == std::string::npos ? 0 : scheme + 3;
    if (Text::equalsCaseInsensitive(
            std::string_view(address).substr(host, std::min<std::size_t>(4, address.size() - host)), "www."))
        return address.substr(0, host) + "m." + address.substr(host + 4);
    return address;
}

void CinevueViewController::openAfterDelay(const std::string& address) {
    std::weak_ptr<CinevueViewController> weak = self();
    RunLoop::main()->performAfterDelay(0.1, [weak, address] {
        auto s = weak.lock();
        auto url = URL::fromString(address);
        if (s && url) s->openURL(*url);
    });
}

bool CinevueViewController::webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<WebView>& webView,
                                                                            const std::shared_ptr<URLRequest>& request,
                                                                            WebViewNavigationType) {
    const AppConfig& config = AppConfig::current();
    auto site = currentSite();
    const std::string u = request->url().absoluteString();
    if (Text::contains(u, config.videoServiceDomain) && Text::contains(u, "=http")) {
        if (isYouTubeVideoURL_) return true;
        isYouTubeVideoURL_ = true;
        const std::string target = u.substr(*Text::find(u, "=http") + 1);
        openAfterDelay(mobileAddress(Text::percentUnescape(target).value_or(target)));
        refreshBackForward();
        return false;
    }
    // Any request outside the first rule ends an unwrapped link's load.
    isYouTubeVideoURL_ = false;
    // The login page, whatever its scheme: back to the site's own address.
    const platform::URL& url = request->url();
    if (Text::equalsCaseInsensitive(url.host(), config.siteMobileHost) && url.path() == "/login.php" &&
        u != site->url().value_or(std::string())) {
        openAfterDelay(site->url().value_or(std::string()));
        refreshBackForward();
        return false;
    }
    if (Text::contains(u, ".mp4")) {
        playVideo(currentVideo_);
        return false;
    }
    const std::string current = webView ? pageAddress() : std::string();
    if (Text::contains(u, config.siteWebHost + "/common/blank.html") && site->urlWithVideo() &&
        Text::contains(current, *site->urlWithVideo())) {
        playVideo(currentVideo_);
        return false;
    }
    loadingURL_ = request->url();
    refreshBackForward();
    return true;
}

void CinevueViewController::webViewDidStartLoad(const std::shared_ptr<WebView>&) {
    startSpinnerForRequest();
    refreshBackForward();
}

void CinevueViewController::webViewDidFinishLoad(const std::shared_ptr<WebView>& webView) {
    loadingURL_.reset();
    stopSpinnerForRequest();
    refreshBackForward();
    auto site = currentSite();
    const std::string page = pageAddress();
    if (site->urlWithVideo() && Text::contains(page, *site->urlWithVideo())) {
        addButton_->setEnabled(true);
        currentVideo_ = getVideoWithURL(page);
    } else {
        addButton_->setEnabled(false);
    }
    modifyOpenNewWindowLinks(webView);
}

void CinevueViewController::webViewDidFailLoadWithError(const std::shared_ptr<WebView>& webView, const Error& error) {
    loadingURL_.reset();
    webViewDidFinishLoad(webView);
    if (error.code() == Error::kURLErrorNotConnectedToInternet) displayAlertMessage(kNoConnection);
}

void CinevueViewController::modifyOpenNewWindowLinks(const std::shared_ptr<WebView>& webView) {
    if (!webView) return;
    webView->stringByEvaluatingJavaScriptFromString(resourceText("ModifyLinkTargets", "js"));
    webView->stringByEvaluatingJavaScriptFromString("Quorbel_ModifyLinkTargets()");
}

void CinevueViewController::addCSS(const std::shared_ptr<WebView>& webView) {
    if (!webView) return;
    const std::string css = resourceText("MyCSS", "css");
    webView->stringByEvaluatingJavaScriptFromString(
        "function Quorbel_AddCSS() { var style = document.createElement('style'); "
        "document.getElementsByTagName('head')[0].appendChild(style); "
        "var sheet = document.styleSheets[document.styleSheets.length - 1]; sheet.insertRule('" +
        Text::replaceAll(Text::replaceAll(css, "\\", "\\\\"), "'", "\\'") + "', 0); }");
    webView->stringByEvaluatingJavaScriptFromString("Quorbel_AddCSS()");
}

// --- Video detection -------------------------------------------------------------------

std::string CinevueViewController::filterString(std::string_view text) {
    static const std::pair<const char*, const char*> kEscapes[] = {
        {"\\u00253A", ":"}, {"\\u00252F", "/"}, {"\\u002525", "%"},  {"\\u00252B", "+"}, {"\\u00252D", "-"},
        {"\\u00252E", "."}, {"\\u00253B", ";"}, {"\\u002540", "@"},  {"\\u00255F", "_"}, {"\\u00253F", "?"},
        {"\\u00252C", ","}, {"\\u002526", "&"}, {"\\u002527", "'"},  {"\\u00255B", "["}, {"\\u00255D", "]"},
        {"\\u002528", "("}, {"\\u002529", ")"}, {"\\u002522", "\""}, {"\\u002524", "$"}, {"\\u00257B", "{"},
        {"\\u00257D", "}"}, {"\\u00253D", "="}, {"\\u002523", "#"}};
    std::string out(text);
    for (const auto& [escape, character] : kEscapes) out = Text::replaceAll(out, escape, character);
    return out;
}

std::optional<std::string> CinevueViewController::getStringFromStartWith(std::string_view text, std::string_view key) {
    auto value = WatchVideoViewController::getStringFromStartWith(text, key);
    return value ? std::optional<std::string>(filterString(*value)) : std::nullopt;
}

std::shared_ptr<Video> CinevueViewController::getVideoWithURL(const std::string& address) {
    auto page = fetchText(address, kMaxPageBytes);
    if (!page) return nullptr;
    auto at = Text::find(*page, "video_owner_name");
    if (!at) return nullptr;
    const std::string_view rest = std::string_view(*page).substr(*at);
    auto video = std::make_shared<Video>();
    video->setOwnerName(getStringFromStartWith(rest, "video_owner_name"));
    video->setTitle(getStringFromStartWith(rest, "video_title"));
    video->setThumbnailLink(getStringFromStartWith(rest, "thumb_url"));
    video->setIsLocal(false);
    video->setUrl(getStringFromStartWith(rest, "video_src"));
    auto high = getStringFromStartWith(rest, "highqual_src");
    if (defaults()->boolForKey(AboutViewController::kHDVideoKey) && high) video->setUrl(high);
    return video;
}

std::optional<std::string> CinevueViewController::getVideoFilename(const std::string& address) {
    const auto slash = address.rfind('/');
    const std::string last = slash == std::string::npos ? address : address.substr(slash + 1);
    auto mp4 = Text::find(last, "mp4");
    if (!mp4) return std::nullopt;
    std::optional<std::string> name = last.substr(0, *mp4 + 3);
    // The name becomes a file in Documents: nothing but a plain name.
    if (!VideoSite::documentsPathForFileName(name)) return std::nullopt;
    return name;
}

bool CinevueViewController::isDuplicateVideo(const VideoList& list, const std::string& url) {
    return std::any_of(list.begin(), list.end(), [&](const auto& v) { return v && v->url() == url; });
}

// --- Playing and bookmarking ----------------------------------------------------------------

void CinevueViewController::playVideo(const std::shared_ptr<Video>& video) {
    if (!video || !video->url()) return;
    std::optional<platform::URL> url;
    if (video->isLocal()) {
        if (auto path = VideoSite::documentsPathForFileName(video->url())) url = platform::URL::fileURLWithPath(*path);
    } else {
        url = platform::URL::fromString(*video->url());
    }
    if (!url || url->scheme().empty()) return;
    std::weak_ptr<CinevueViewController> weak = self();
    auto& center = NotificationCenter::defaultCenter();
    center.removeObserver(this, MoviePlayerController::kPlaybackDidFinishNotification);
    if (MoviePlayerViewController::isAvailable()) {
        mViewPlayer_ = std::make_shared<MoviePlayerViewController>(*url);
        mViewPlayer_->setModalTransitionStyle(ModalTransitionStyleCrossDissolve);
        setModalTransitionStyle(ModalTransitionStyleCrossDissolve);
        presentModalViewControllerAnimated(mViewPlayer_, true);
        center.addObserver(
            MoviePlayerController::kPlaybackDidFinishNotification, mViewPlayer_->moviePlayer().get(),
            [weak](const Notification&) {
                if (auto s = weak.lock()) s->movieDidExitFullscreen();
            },
            this);
        return;
    }
    mMPPlayer_ = std::make_shared<MoviePlayerController>(*url);
    mMPPlayer_->play();
    center.addObserver(
        MoviePlayerController::kPlaybackDidFinishNotification, mMPPlayer_.get(),
        [weak](const Notification&) {
            if (auto s = weak.lock()) s->moviePlayerDidFinish();
        },
        this);
}

void CinevueViewController::movieDidExitFullscreen() {
    NotificationCenter::defaultCenter().removeObserver(this, MoviePlayerController::kPlaybackDidFinishNotification);
    auto player = std::move(mViewPlayer_);
    if (player) {
        player->moviePlayer()->pause();
        player->moviePlayer()->stop();
    }
    dismissModalViewControllerAnimated(true);
    if (player && player->isViewLoaded()) player->view()->removeFromSuperview();
    if (ReviewRequest::shouldAskForReview()) ReviewRequest::askForReview();
}

void CinevueViewController::moviePlayerDidFinish() {
    NotificationCenter::defaultCenter().removeObserver(this, MoviePlayerController::kPlaybackDidFinishNotification);
    auto player = std::move(mMPPlayer_);
    if (player) {
        player->pause();
        player->stop();
    }
    if (ReviewRequest::shouldAskForReview()) ReviewRequest::askForReview();
}

std::shared_ptr<Image> CinevueViewController::thumbnailFor(const std::optional<std::string>& link) {
    if (!link) return nullptr;
    auto url = platform::URL::fromString(*link);
    if (!url) return nullptr;
    auto result = LimitedFetch::fetch(URLRequest(*url), kMaxThumbnailBytes);
    if (!result.body || result.error) return nullptr;
    return ImageHelper::imageFillSize(Image::imageWithData(*result.body), Size{75, 75});
}

void CinevueViewController::bookmarkVideo(const std::shared_ptr<Video>& video) {
    if (!video) return;
    auto site = currentSite();
    const std::string page = pageAddress();
    if (isDuplicateVideo(*site->bookmarkList(), page)) {
        displayAlertMessage(kAlreadyBookmarked);
        return;
    }
    auto mark = std::make_shared<Video>();
    mark->setTitle(video->title());
    mark->setOwnerName(video->ownerName());
    mark->setThumbnailLink(video->thumbnailLink());
    mark->setUrl(page);
    mark->setImage(thumbnailFor(video->thumbnailLink()));
    mark->setIsLocal(false);
    site->bookmarkList()->push_back(mark);
    if (ReviewRequest::shouldAskForReview()) ReviewRequest::askForReview();
}

// --- Downloads ----------------------------------------------------------------------------

void CinevueViewController::beganDownloadingVideo(const std::shared_ptr<Video>& video) {
    if (!video) return;
    if (!downloadQueue_) downloadQueue_ = std::make_shared<OperationQueue>();
    auto site = currentSite();
    if (!site->pendingDownloadList()->empty() || preparingDownload_) {
        displayAlertMessage(kBusyDownloading);
        return;
    }
    startSpinnerForDownload();
    preparingDownload_ = true;
    // The worker only fetches the thumbnail; the lists stay on the main
    // thread, where the prepared video is handed back.
    auto prepared = std::make_shared<Video>();
    prepared->setTitle(video->title());
    prepared->setOwnerName(video->ownerName());
    prepared->setThumbnailLink(video->thumbnailLink());
    prepared->setUrl(video->url());
    prepared->setIsLocal(true);
    std::weak_ptr<CinevueViewController> weak = self();
    downloadQueue_->addOperationWithBlock([weak, prepared] {
        prepared->setImage(thumbnailFor(prepared->thumbnailLink()));
        Thread::performOnMainThread(
            [weak, prepared] {
                if (auto s = weak.lock()) s->downloadPrepared(prepared);
            },
            false);
    });
}

void CinevueViewController::downloadPrepared(const std::shared_ptr<Video>& prepared) {
    if (!preparingDownload_) return;  // cancelled meanwhile
    preparingDownload_ = false;
    auto site = currentSite();
    auto refuse = [&](const char* message) {
        stopSpinnerForDownload();
        displayAlertMessage(message);
    };
    const std::string source = prepared->url().value_or(std::string());
    auto fileName = getVideoFilename(source);
    if (!fileName) return refuse(kDownloadFailed);
    if (isDuplicateVideo(*site->pendingDownloadList(), source) || isDuplicateVideo(*site->downloadList(), *fileName))
        return refuse(kAlreadyDownloaded);
    site->pendingDownloadList()->push_back(prepared);
    refreshList();
    startDownloadingVideoFile(prepared);
}

void CinevueViewController::startDownloadingVideoFile(const std::shared_ptr<Video>& video) {
    if (!downloader_) {
        downloader_ = std::make_shared<Downloader>();
        downloader_->setDelegate(weakAs<DownloaderDelegate>());
    }
    auto fileName = getVideoFilename(video->url().value_or(std::string()));
    auto path = VideoSite::documentsPathForFileName(fileName);
    downloader_->startDownload(video, path.value_or(std::string()));
}

void CinevueViewController::downloaderPercentCompletedPercent(const std::shared_ptr<Downloader>&,
                                                              const std::string& text) {
    percentDownload_->setTitle(Text::format("%@mb", text));
}

void CinevueViewController::downloaderDidFinishVideoFile(const std::shared_ptr<Downloader>&,
                                                         const std::shared_ptr<Video>& video, const std::string& path) {
    if (!video) return;
    video->setUrl(getVideoFilename(video->url().value_or(std::string())));
    if (FileManager::fileExists(path))
        doneDownloadingVideo(video);
    else
        failDownloadingVideo(video);
}

void CinevueViewController::downloaderDidFailVideoError(const std::shared_ptr<Downloader>&,
                                                        const std::shared_ptr<Video>& video, const Error&) {
    failDownloadingVideo(video);
}

void CinevueViewController::refreshList() {
    if (!listNavController_) return;
    if (auto list = std::dynamic_pointer_cast<VideoListViewController>(listNavController_->topViewController()))
        list->refreshTableView();
}

void CinevueViewController::doneDownloadingVideo(const std::shared_ptr<Video>& video) {
    auto site = currentSite();
    std::erase(*site->pendingDownloadList(), video);
    site->downloadList()->push_back(video);
    refreshList();
    stopSpinnerForDownload();
    if (ReviewRequest::shouldAskForReview()) ReviewRequest::askForReview();
}

void CinevueViewController::failDownloadingVideo(const std::shared_ptr<Video>& video) {
    std::erase(*currentSite()->pendingDownloadList(), video);
    refreshList();
    stopSpinnerForDownload();
    displayAlertMessage(kDownloadFailed);
}

void CinevueViewController::cancelDownloadVideo(const std::shared_ptr<VideoListViewController>&,
                                                const std::shared_ptr<Video>&) {
    if (downloader_) downloader_->cancelDownload();
    if (downloadQueue_) downloadQueue_->cancelAllOperations();
    preparingDownload_ = false;
    stopSpinnerForDownload();
}

void CinevueViewController::didSelectVideoVideo(const std::shared_ptr<VideoListViewController>&,
                                                const std::shared_ptr<Video>& video) {
    dismissModalViewControllerAnimated(true);
    if (!video) return;
    if (video->isLocal()) {
        std::weak_ptr<CinevueViewController> weak = self();
        RunLoop::main()->performAfterDelay(0.5, [weak, video] {
            if (auto s = weak.lock()) s->playVideo(video);
        });
    } else if (auto url = platform::URL::fromString(video->url().value_or(std::string()))) {
        openURL(*url);
    }
}

// --- Sheet, mail and other operations ---------------------------------------------------------

void CinevueViewController::actionSheetClickedButtonAtIndex(const std::shared_ptr<ActionSheet>& sheet, int index) {
    if (!sheet || !currentVideo_ || index == sheet->cancelButtonIndex()) return;
    const int choice = index - sheet->firstOtherButtonIndex();
    switch (choice) {
    case 0: playVideo(currentVideo_); break;
    case 1: bookmarkVideo(currentVideo_); break;
    case 2: beganDownloadingVideo(currentVideo_); break;
    case 3:
        if (auto page = webView_->mainDocumentURL()) NeighbourServices::shareURLTitle(*page, kShareComment);
        break;
    case 5: emailVideoLinkUrl(currentVideo_, pageAddress()); break;
    default: break;
    }
}

std::string CinevueViewController::emailBodyForVideo(const Video& video, const std::string& pageURL) {
    // The title, picture and page addresses come from the network: every
    // value is escaped before it goes into the HTML.
    const AppConfig& config = AppConfig::current();
    const std::string page = TextEscaping::html(pageURL);
    const std::string store = TextEscaping::html(config.storeLink);
    const Value* name = Bundle::mainBundle()->objectForInfoDictionaryKey("CFBundleName");
    return "<html><body bgcolor=\"#FFFFFF\"><p>" + TextEscaping::html(video.title().value_or(std::string())) +
           "<br><img style=\"float:left;margin-right:5px;\" width=\"72\" height=\"72\" src=\"" +
           TextEscaping::html(video.thumbnailLink().value_or(std::string())) + "\"><a href=\"" + page + "\">" + page +
           "</a><br><br>Share from: <a href=\"" + store + "\"><img style=\"float:left;\" src=\"" +
           TextEscaping::html(config.iconURL) + "\"></a><a href=\"" + store + "\">" +
           TextEscaping::html(name && name->isString() ? *name->string() : std::string()) +
           "</a> - Watch, Bookmark, Download, and Share Facebook videos on your iPad/iPhone/iPod "
           "Touch!</p></body></html>";
}

void CinevueViewController::emailVideoLinkUrl(const std::shared_ptr<Video>& video, const std::string& pageURL) {
    if (!video) return;
    sendEmailWithBodyIsHtmlTo("Check out this video on Facebook!", emailBodyForVideo(*video, pageURL), true, {});
}

void CinevueViewController::sendEmailWithBodyIsHtmlTo(const std::string& subject, const std::string& body, bool isHTML,
                                                      const std::vector<std::string>& recipients) {
    MailComposer::presentFrom(self(), weakAs<MailComposeViewControllerDelegate>(), subject, body, isHTML, recipients,
                              "Alert");
}

void CinevueViewController::mailComposeControllerDidFinishWithResultError(
    const std::shared_ptr<MailComposeViewController>& controller, MailComposeResult, const std::optional<Error>&) {
    dismissModalViewControllerAnimated(true);
    if (controller) controller->setMailComposeDelegate({});
}

void CinevueViewController::displayAlertMessage(const std::string& text) {
    auto alert = std::make_shared<AlertView>("Alert", text, std::weak_ptr<AlertViewDelegate>(), std::string("OK"));
    alert->show();
}

void CinevueViewController::showURLWithTitle(const std::string& address, const std::string& title) {
    if (!webViewController_) webViewController_ = std::make_shared<WebViewController>();
    webViewController_->setUrl(address);
    webViewController_->setDisplayTitle(title);
    presentModalViewControllerAnimated(webViewController_, true);
}

void CinevueViewController::handleIfYouTubeURL(const std::string& address) {
    if (!Text::contains(address, AppConfig::current().videoServiceDomain)) return;
    auto at = Text::find(address, "=http");
    if (!at) return;
    const std::string target = address.substr(*at + 1);
    if (auto url = platform::URL::fromString(Text::percentUnescape(target).value_or(target))) openURL(*url);
}

void CinevueViewController::tweetVideoLinkMessage(const std::string& link, const std::string& message) {
    std::weak_ptr<CinevueViewController> weak = self();
    // The shortener blocks: it runs on a thread of its own.
    Thread::detach([weak, link, message] {
        const std::string shortLink = Utility::getBitlyShortURL(link).value_or(link);
        Thread::performOnMainThread(
            [weak, shortLink, message] {
                if (auto s = weak.lock())
                    s->showURLWithTitle(AboutViewController::microblogStatusAddress(shortLink, message),
                                        "Share Video on Twitter");
            },
            false);
    });
}

void CinevueViewController::validateFilesAndURL() {
    for (const auto& site : siteList_) {
        std::erase_if(*site->downloadList(), [](const auto& video) {
            auto path = video ? VideoSite::documentsPathForFileName(video->url()) : std::nullopt;
            return !path || !FileManager::fileExists(*path);
        });
        std::erase_if(*site->bookmarkList(), [](const auto& video) { return !video || !video->url(); });
    }
}

void CinevueViewController::saveAllData() {
    auto site = currentSite();
    if (!site) return;
    const std::string page = pageAddress();
    site->setLastURL(page.empty() ? site->url() : std::optional<std::string>(page));
    if (!site->pendingDownloadList()->empty() && downloadQueue_) downloadQueue_->cancelAllOperations();
    VideoSite::saveSiteList(siteList_, VideoSite::siteListPath());
}

void CinevueViewController::applicationWillEnterBackground() { saveAllData(); }

void CinevueViewController::applicationWillTerminate() { saveAllData(); }

}  // namespace clipora
