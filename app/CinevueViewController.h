#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Downloader.h"
#include "app/DownloaderDelegate.h"
#include "app/VideoListDelegate.h"
#include "app/VideoListViewController.h"
#include "app/VideoSite.h"
#include "app/WebViewController.h"
#include "platform/foundation/Notification.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/media/MailComposeViewControllerDelegate.h"
#include "platform/media/MoviePlayerController.h"
#include "platform/media/MoviePlayerViewController.h"
#include "platform/uikit/ActionSheet.h"
#include "platform/uikit/ActionSheetDelegate.h"
#include "platform/uikit/AlertViewDelegate.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/Toolbar.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/WebView.h"
#include "platform/uikit/WebViewDelegate.h"

namespace clipora {

// A full-screen browser of the network's mobile site that recognises video
// pages (their address holds the site's video marker) and reads the video's
// owner, title, thumbnail and sources out of the page. Its add button offers
// to watch, bookmark, download (into Documents, one at a time), tweet or
// e-mail the video; bookmarks, downloads and the download under way live in
// the site store and show in the saved videos screen.
//
// Everything runs on the main thread except the thumbnail of a download,
// fetched on the download queue: the lists are only read and changed on the
// main thread.
class CinevueViewController : public platform::ViewController,
                              public platform::ActionSheetDelegate,
                              public platform::AlertViewDelegate,
                              public platform::WebViewDelegate,
                              public VideoListDelegate,
                              public platform::MailComposeViewControllerDelegate,
                              public DownloaderDelegate {
public:
    static constexpr const char* kDeleteYetKey = "DeleteYet";
    static constexpr const char* kShareComment = "Check out this cool video!";
    static constexpr const char* kAlreadyBookmarked = "You already bookmarked this video!";
    static constexpr const char* kAlreadyDownloaded = "You already downloaded this video!";
    static constexpr const char* kDownloadFailed = "Failed to download video.";
    static constexpr const char* kBusyDownloading =
        "Currently downloading a video. Please wait until it is done to start another one.";
    static constexpr const char* kNoConnection =
        "You don't have an internet connection. Please get connected and try again!";
    static constexpr int kSettingTag = 10;
    static constexpr int kActivityTag = 4;
    static constexpr int kDownloadActivityTag = 6;
    static constexpr int kPercentSpaceTag = 7;
    static constexpr int kPercentTag = 8;
    // The largest page read for video detection and the largest thumbnail.
    static constexpr std::size_t kMaxPageBytes = 4 * 1024 * 1024;
    static constexpr std::size_t kMaxThumbnailBytes = 5 * 1024 * 1024;

    CinevueViewController();
    ~CinevueViewController() override;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;
    void viewDidUnload() override;
    void didReceiveMemoryWarning() override;
    bool shouldAutorotateToInterfaceOrientation(int) override { return true; }

    // --- State ---
    const std::vector<std::shared_ptr<VideoSite>>& siteList() const { return siteList_; }
    std::shared_ptr<VideoSite> currentSite() const { return siteList_.empty() ? nullptr : siteList_.front(); }
    const std::shared_ptr<platform::WebView>& webView() const { return webView_; }
    const std::shared_ptr<platform::Toolbar>& toolbar() const { return toolbar_; }
    const std::shared_ptr<platform::BarButtonItem>& addButton() const { return addButton_; }
    const std::shared_ptr<platform::BarButtonItem>& percentDownload() const { return percentDownload_; }
    const std::shared_ptr<Video>& currentVideo() const { return currentVideo_; }
    const std::shared_ptr<platform::NavigationController>& listNavController() const { return listNavController_; }
    bool isYouTubeVideoURL() const { return isYouTubeVideoURL_; }
    bool isPreparingDownload() const { return preparingDownload_; }

    // --- Toolbar actions ---
    void back();
    void forward();
    void refresh(const std::shared_ptr<platform::BarButtonItem>& sender);
    void home();
    void add();
    void bookmark();
    void setting();

    void openURL(const platform::URL& url);
    void openRequest(const platform::URLRequest& request);
    std::optional<platform::URL> URL() const;

    // --- Videos ---
    void playVideo(const std::shared_ptr<Video>& video);
    void bookmarkVideo(const std::shared_ptr<Video>& video);
    void beganDownloadingVideo(const std::shared_ptr<Video>& video);
    void startDownloadingVideoFile(const std::shared_ptr<Video>& video);
    void doneDownloadingVideo(const std::shared_ptr<Video>& video);
    void failDownloadingVideo(const std::shared_ptr<Video>& video);
    std::shared_ptr<Video> getVideoWithURL(const std::string& address);
    static std::optional<std::string> getStringFromStartWith(std::string_view text, std::string_view key);
    static std::string filterString(std::string_view text);
    // The text after the last "/", cut just after its first "mp4"; nothing
    // when there is no "mp4" or what is left is not a plain file name.
    static std::optional<std::string> getVideoFilename(const std::string& address);
    static bool isDuplicateVideo(const VideoList& list, const std::string& url);
    // The router's rewrite of an unwrapped video-service link: only a
    // leading "www." host label becomes "m.".
    static std::string mobileAddress(const std::string& address);

    // --- Toolbar items ---
    void replaceItemWithTagWithItem(int tag, const std::shared_ptr<platform::BarButtonItem>& item);
    void startSpinnerForRequest() { replaceItemWithTagWithItem(kSettingTag, activityItem_); }
    void stopSpinnerForRequest() { replaceItemWithTagWithItem(kActivityTag, settingButton_); }
    void startSpinnerForDownload() { replaceItemWithTagWithItem(kPercentSpaceTag, percentDownload_); }
    void stopSpinnerForDownload() { replaceItemWithTagWithItem(kPercentTag, spaceForPercentDownload_); }

    // --- Sharing and other operations ---
    void emailVideoLinkUrl(const std::shared_ptr<Video>& video, const std::string& pageURL);
    static std::string emailBodyForVideo(const Video& video, const std::string& pageURL);
    void sendEmailWithBodyIsHtmlTo(const std::string& subject, const std::string& body, bool isHTML,
                                   const std::vector<std::string>& recipients);
    void displayAlertMessage(const std::string& text);
    void showURLWithTitle(const std::string& address, const std::string& title);
    void modifyOpenNewWindowLinks(const std::shared_ptr<platform::WebView>& webView);
    void addCSS(const std::shared_ptr<platform::WebView>& webView);
    void handleIfYouTubeURL(const std::string& address);
    void tweetVideoLinkMessage(const std::string& link, const std::string& message);
    void validateFilesAndURL();
    void saveAllData();
    void applicationWillEnterBackground();
    void applicationWillTerminate();

    // --- Delegates ---
    void downloaderDidFinishVideoFile(const std::shared_ptr<Downloader>& downloader,
                                      const std::shared_ptr<Video>& video, const std::string& path) override;
    void downloaderDidFailVideoError(const std::shared_ptr<Downloader>& downloader, const std::shared_ptr<Video>& video,
                                     const platform::Error& error) override;
    void downloaderPercentCompletedPercent(const std::shared_ptr<Downloader>& downloader,
                                           const std::string& text) override;
    void didSelectVideoVideo(const std::shared_ptr<VideoListViewController>& list,
                             const std::shared_ptr<Video>& video) override;
    void cancelDownloadVideo(const std::shared_ptr<VideoListViewController>& list,
                             const std::shared_ptr<Video>& video) override;
    bool webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<platform::WebView>& webView,
                                                         const std::shared_ptr<platform::URLRequest>& request,
                                                         platform::WebViewNavigationType type) override;
    void webViewDidStartLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void webViewDidFinishLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void webViewDidFailLoadWithError(const std::shared_ptr<platform::WebView>& webView,
                                     const platform::Error& error) override;
    void actionSheetClickedButtonAtIndex(const std::shared_ptr<platform::ActionSheet>& sheet, int index) override;
    void mailComposeControllerDidFinishWithResultError(
        const std::shared_ptr<platform::MailComposeViewController>& controller, platform::MailComposeResult result,
        const std::optional<platform::Error>& error) override;

private:
    std::shared_ptr<CinevueViewController> self();
    void refreshBackForward();
    void openAfterDelay(const std::string& address);
    std::string pageAddress() const;
    // The download's thumbnail, made on the queue's worker.
    static std::shared_ptr<platform::Image> thumbnailFor(const std::optional<std::string>& link);
    // Back on the main thread with the prepared video: the checks and the
    // append happen here, where the lists live.
    void downloadPrepared(const std::shared_ptr<Video>& prepared);
    void movieDidExitFullscreen();
    void moviePlayerDidFinish();
    void refreshList();

    std::vector<std::shared_ptr<VideoSite>> siteList_;
    std::shared_ptr<platform::WebView> webView_;
    std::shared_ptr<platform::Toolbar> toolbar_;
    std::shared_ptr<platform::BarButtonItem> backButton_, forwardButton_, refreshButton_, homeButton_, addButton_,
        bookmarkButton_, settingButton_, stopButton_, activityItem_, activityItemDownload_, spaceForDownloadActivity_,
        spaceForPercentDownload_, percentDownload_;
    std::shared_ptr<WebViewController> webViewController_;
    std::optional<platform::URL> loadingURL_;
    std::shared_ptr<platform::ActionSheet> addActionSheet_;
    std::shared_ptr<platform::OperationQueue> downloadQueue_;
    std::shared_ptr<Downloader> downloader_;
    std::shared_ptr<Video> currentVideo_;
    bool isYouTubeVideoURL_ = false;
    bool preparingDownload_ = false;
    std::shared_ptr<platform::NavigationController> listNavController_;
    std::shared_ptr<platform::MoviePlayerViewController> mViewPlayer_;
    std::shared_ptr<platform::MoviePlayerController> mMPPlayer_;
    bool observing_ = false;
};

}  // namespace clipora
