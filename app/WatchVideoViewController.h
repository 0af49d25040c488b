#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AlbumCell.h"
#include "app/ApplicationServices.h"
#include "app/DownloadList.h"
#include "app/Option.h"
#include "app/QRBBaseViewController.h"
#include "platform/foundation/Notification.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/media/MailComposeViewController.h"
#include "platform/media/MailComposeViewControllerDelegate.h"
#include "platform/media/MoviePlayerController.h"
#include "platform/media/MoviePlayerViewController.h"
#include "platform/uikit/ActionSheet.h"
#include "platform/uikit/ActionSheetDelegate.h"
#include "platform/uikit/AlertViewDelegate.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/WebViewDelegate.h"
#include "social/graph/GetVideo.h"
#include "social/graph/GetVideoDelegate.h"
#include "social/graph/StreamPublish.h"
#include "social/graph/StreamPublishDelegate.h"
#include "social/graph/Video.h"
#include "social/sdk/Facebook.h"

namespace clipora {

// The videos of one menu option, newest first, with thumbnails loaded in the
// background. For a video it offers: download into the photo album (into
// the download list), playback of the standard or HD source, a microblog post, a
// wall post and an e-mail. After a playback it may ask for a rating and logs
// the event "Watch Video". Pull-to-refresh fetches the list again; a failed
// fetch ends the pull as well, so the next pull works.
//
// The one screen serves every option: the list it shows always belongs to
// the option in its title and to the session it was fetched with. Another
// option or another session starts from an empty list, so a failed fetch
// never leaves someone else's list on screen; the same option again skips
// the fetch only when its list was fetched, successfully, in this session.
class WatchVideoViewController : public QRBBaseViewController,
                                 public GetVideoDelegate,
                                 public StreamPublishDelegate,
                                 public platform::AlertViewDelegate,
                                 public platform::ActionSheetDelegate,
                                 public platform::MailComposeViewControllerDelegate,
                                 public platform::WebViewDelegate {
public:
    static constexpr const char* kShareComment = "Check out this cool video!";
    static constexpr const char* kRetrieveFailedMessage =
        "Can't retrieve video. Please check your connection or make sure you are logged in.";
    static constexpr const char* kAlreadyDownloadingMessage =
        "This video is already downloading. You can follow it in the download list.";
    static constexpr float kThumbnailSide = 57;
    // The largest thumbnail read.
    static constexpr std::size_t kMaxThumbnailBytes = 5 * 1024 * 1024;

    WatchVideoViewController();
    ~WatchVideoViewController() override;

    const std::vector<std::shared_ptr<Video>>& videoList() const { return videoList_; }
    void setVideoList(std::vector<std::shared_ptr<Video>> list) { videoList_ = std::move(list); }
    const std::shared_ptr<Option>& videoOption() const { return videoOption_; }
    // A new option: shown in the title, the HUD shows and its list is fetched.
    // The same option again: nothing, unless its last fetch failed or the
    // session changed since (a new sign-in), which fetch it again.
    void setVideoOption(const std::shared_ptr<Option>& option);
    const std::string& fbUID() const { return fbUID_; }
    void setFbUID(std::string uid) { fbUID_ = std::move(uid); }
    int selectedIndex() const { return selectedIndex_; }
    const std::shared_ptr<platform::OperationQueue>& operationQueue();
    // The wiring, handed over by the screen that makes this one: the
    // session the lists and posts go through, the download list "Download
    // Video" adds to, and the application's services (the login).
    const std::shared_ptr<Facebook>& session() const { return session_; }
    void setSession(std::shared_ptr<Facebook> session) { session_ = std::move(session); }
    std::shared_ptr<DownloadList> downloads() const { return downloads_.lock(); }
    void setDownloads(std::weak_ptr<DownloadList> downloads) { downloads_ = std::move(downloads); }
    void setServices(std::weak_ptr<ApplicationServices> services) { services_ = std::move(services); }
    const std::shared_ptr<GetVideo>& query() const { return query_; }

    void retrieveVideos();
    void reloadTableViewDataSource() override;
    void doneLoadingTableViewData() override;
    void finishGetVideoVideos(const std::shared_ptr<GetVideo>& getVideo,
                              const std::optional<std::vector<std::shared_ptr<Video>>>& videos) override;
    void finishStreamPublish(const std::shared_ptr<StreamPublish>& streamPublish) override;

    void showOptionForVideo(const std::shared_ptr<Video>& video);
    void didSelectObjectAtIndexPath(const std::shared_ptr<Video>& video, const platform::IndexPath& indexPath);
    void actionSheetClickedButtonAtIndex(const std::shared_ptr<platform::ActionSheet>& sheet, int index) override;

    void playVideo(const std::optional<std::string>& source);
    void movieDidExitFullscreen(const platform::Notification& notification);
    void moviePlayerDidFinish(const platform::Notification& notification);
    void askAfterPlay();

    void emailVideoLink(const std::shared_ptr<Video>& video);
    // The e-mail's HTML body for a video (every value escaped).
    static std::string emailBodyForVideo(const Video& video);
    void sendEmailWithBodyIsHtmlTo(const std::string& subject, const std::string& body, bool isHTML,
                                   const std::vector<std::string>& recipients);
    void mailComposeControllerDidFinishWithResultError(
        const std::shared_ptr<platform::MailComposeViewController>& controller, platform::MailComposeResult result,
        const std::optional<platform::Error>& error) override;

    // --- Duration scrape ---
    static std::optional<std::string> getVideoURL(const std::string& videoID);
    static std::optional<std::string> getStringFromStartWith(std::string_view text, std::string_view key);
    static long long getDurationOfVideo(std::string_view page);
    void webViewDidFinishLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void finishGetVideoDuration(long long seconds);

    // The network's public page of a video.
    static std::string pageAddressForVideo(const Video& video);

    void home();

    bool shouldAutorotateToInterfaceOrientation(int orientation) override;
    void didReceiveMemoryWarning() override;

    // --- Table ---
    int numberOfSectionsInTableView(const std::shared_ptr<platform::TableView>& tableView) override;
    int tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>& tableView, int section) override;
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    std::optional<float> tableViewHeightForRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                                          const platform::IndexPath& indexPath) override;
    void tableViewWillDisplayCellForRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                                   const std::shared_ptr<platform::TableViewCell>& cell,
                                                   const platform::IndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                          const platform::IndexPath& indexPath) override;

private:
    std::shared_ptr<WatchVideoViewController> self();
    std::shared_ptr<Video> selectedVideo() const;
    // The token of the session the queries go out with (none: signed out).
    std::optional<std::string> sessionToken() const;
    void endPull();
    void finishRetrievingAlbumCover(const std::shared_ptr<AlbumCell>& cell, const std::shared_ptr<Video>& video,
                                    const std::shared_ptr<platform::Image>& image,
                                    const AlbumCell::RowNumber& rowNumber);

    std::vector<std::shared_ptr<Video>> videoList_;
    std::shared_ptr<Option> videoOption_;
    std::string fbUID_;
    // The session videoList_ belongs to, the one the query under way was
    // started in, and whether the list is the answer of the last query.
    std::optional<std::string> listToken_;
    std::optional<std::string> queryToken_;
    bool listIsCurrent_ = false;
    int selectedIndex_ = 0;
    std::shared_ptr<GetVideo> query_;
    std::shared_ptr<platform::MoviePlayerViewController> fullScreenPlayer_;
    std::shared_ptr<platform::MoviePlayerController> plainPlayer_;
    std::shared_ptr<platform::OperationQueue> operationQueue_;
    std::shared_ptr<Facebook> session_;
    std::weak_ptr<DownloadList> downloads_;
    std::weak_ptr<ApplicationServices> services_;
};

}  // namespace clipora
