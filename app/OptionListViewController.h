#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Option.h"
#include "app/settings/STSettingsDelegate.h"
#include "net/engine/BKNetworkOperation.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TableViewDataSource.h"
#include "platform/uikit/TableViewDelegate.h"
#include "platform/uikit/ViewController.h"
#include "social/graph/Video.h"

namespace clipora {

class CinevueAppDelegate;
class WatchVideoViewController;
class WebViewController;

// The first screen: the five video sources of the signed-in user and the
// download list, the videos on their way into the photo album. Choosing a
// source opens the video list screen, which hands videos back to
// downloadVideo(). The login button sits in the bottom bar. The download list
// is archived to Documents/DownloadList when the application terminates.
//
// Each video is downloaded at most once at a time, into a file of its own in
// Caches whose name is the video id when that is a plain word, else a digest
// of it. Download failures are recorded when they happen (not when a row is
// drawn); a finished file the album refuses marks its row failed and is
// removed.
class OptionListViewController : public platform::ViewController,
                                 public platform::TableViewDataSource,
                                 public platform::TableViewDelegate,
                                 public STSettingsDelegate {
public:
    static constexpr const char* kStatusDownloading = "Downloading...";
    static constexpr const char* kStatusCancelled = "Cancelled...";
    static constexpr const char* kStatusFailed = "Failed to download! Try again?";
    static constexpr const char* kDownloadListKey = "DownloadList";
    static constexpr float kBottomBarHeight = 44;

    // One row of the download list.
    struct DownloadRow {
        std::shared_ptr<Video> video;
        std::shared_ptr<BKNetworkOperation> operation;
        std::string status;
        std::string path;
        // Fraction received, 0 to 1 (for the device program's display).
        double progress = 0;
    };

    OptionListViewController() = default;
    ~OptionListViewController() override;

    const std::shared_ptr<platform::TableView>& tableView() const { return tableView_; }
    const std::shared_ptr<platform::ImageView>& bottomBar() const { return bottomBar_; }
    // The bottom bar's info button, which opens the settings.
    const std::shared_ptr<platform::Button>& infoButton() const { return infoButton_; }
    std::int32_t type() const { return type_; }
    void setType(std::int32_t type) { type_ = type; }
    const std::shared_ptr<WatchVideoViewController>& viewVideoController() const { return viewVideoController_; }
    const std::vector<std::shared_ptr<Option>>& options() const { return options_; }
    const std::vector<std::shared_ptr<DownloadRow>>& downloadList() const { return downloadList_; }
    const std::shared_ptr<WebViewController>& webPageController() const { return webPageController_; }

    // Starts a download of the video (HD when "downloadHD" is on and the
    // video has an HD source) and adds its row. A video already in the list
    // is not downloaded a second time: answers false.
    bool downloadVideo(const std::shared_ptr<Video>& video);
    void showVideosWithOptionFor(const std::shared_ptr<Option>& option, const std::string& uid);
    void pushControllerForSelectedIndex(int index);
    void selectTheFirstRow();
    void showURLWithTitle(const std::string& address, const std::string& title);
    // The settings action: the settings screen, presented modally in the
    // application's navigation controller, with this screen as its delegate.
    void info();
    // --- The settings screen's delegate ---
    // Its buttons: "shareFacebook" and "shareTwitter".
    bool settingsViewControllerButtonTappedForKey(const std::shared_ptr<STAppSettingsViewController>& sender,
                                                  const std::optional<std::string>& key) override;
    void settingsViewControllerDidEnd(const std::shared_ptr<STAppSettingsViewController>& sender) override;
    // The recommendation mail's HTML body.
    std::optional<std::string> mailComposeBody() override;
    void home();
    void saveDownloadList();
    void applicationWillTerminate();
    void applicationWillEnterForeground();

    // The file a video is downloaded into: Caches/<name>.mp4.
    static std::string downloadPathForVideo(const Video& video);

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;

    // --- Table ---
    int numberOfSectionsInTableView(const std::shared_ptr<platform::TableView>& tableView) override;
    int tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>& tableView, int section) override;
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(const std::shared_ptr<platform::TableView>& tableView,
                                                                int section) override;
    std::optional<std::string> tableViewTitleForFooterInSection(const std::shared_ptr<platform::TableView>& tableView,
                                                                int section) override;
    std::optional<float> tableViewHeightForRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                                          const platform::IndexPath& indexPath) override;
    bool tableViewCanEditRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                        const platform::IndexPath& indexPath) override;
    void tableViewCommitEditingStyleForRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                                      platform::TableViewCell::EditingStyle style,
                                                      const platform::IndexPath& indexPath) override;
    platform::TableViewCell::EditingStyle tableViewEditingStyleForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                          const platform::IndexPath& indexPath) override;

private:
    std::shared_ptr<CinevueAppDelegate> appDelegate() const;
    std::shared_ptr<OptionListViewController> self();
    // Starts the engine's download of `source` for the row and attaches the
    // blocks; false when there is no engine or no source.
    bool startDownload(const std::shared_ptr<DownloadRow>& row, const std::string& source);
    std::shared_ptr<DownloadRow> rowForOperation(const std::shared_ptr<BKNetworkOperation>& operation) const;
    void downloadFinishedOnMain(const std::shared_ptr<BKNetworkOperation>& operation, const std::string& path);
    void downloadFailed(const std::shared_ptr<BKNetworkOperation>& operation);
    void photoAlbumSaveCompletion(const std::shared_ptr<DownloadRow>& row, const std::string& path,
                                  const std::optional<platform::Error>& error);
    void removeRow(const std::shared_ptr<DownloadRow>& row);
    void reloadTable();

    std::shared_ptr<platform::TableView> tableView_;
    std::vector<std::shared_ptr<Option>> options_;
    std::int32_t type_ = 0;
    std::shared_ptr<WatchVideoViewController> viewVideoController_;
    std::shared_ptr<platform::ImageView> bottomBar_;
    std::shared_ptr<platform::Button> infoButton_;
    std::vector<std::shared_ptr<DownloadRow>> downloadList_;
    std::shared_ptr<WebViewController> webPageController_;
    bool observing_ = false;
};

}  // namespace clipora
