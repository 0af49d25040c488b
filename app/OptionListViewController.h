#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ApplicationServices.h"
#include "app/DownloadList.h"
#include "app/Option.h"
#include "app/settings/STSettingsDelegate.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TableViewDataSource.h"
#include "platform/uikit/TableViewDelegate.h"
#include "platform/uikit/ViewController.h"
#include "social/graph/Video.h"
#include "social/sdk/Facebook.h"

namespace clipora {

class WatchVideoViewController;
class WebViewController;

// The first screen: the five video sources of the signed-in user and the
// download list (a DownloadList, the videos on their way into the photo
// album). Choosing a source opens the video list screen, which adds to the
// download list. The login button sits in the bottom bar.
//
// The application delegate that makes this screen hands it the session,
// the download list and the application's services; it passes them on to
// the video list screen it makes.
class OptionListViewController : public platform::ViewController,
                                 public platform::TableViewDataSource,
                                 public platform::TableViewDelegate,
                                 public STSettingsDelegate {
public:
    static constexpr const char* kStatusDownloading = DownloadList::kStatusDownloading;
    static constexpr const char* kStatusCancelled = DownloadList::kStatusCancelled;
    static constexpr const char* kStatusFailed = DownloadList::kStatusFailed;
    static constexpr const char* kDownloadListKey = DownloadList::kArchiveKey;
    static constexpr float kBottomBarHeight = 44;

    using DownloadRow = DownloadList::Row;

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
    // The rows of the download list (none before the list is handed over).
    const std::vector<std::shared_ptr<DownloadRow>>& downloadList() const;
    const std::shared_ptr<DownloadList>& downloads() const { return downloads_; }
    const std::shared_ptr<Facebook>& session() const { return session_; }
    // The wiring, done by whoever makes the screen (the application
    // delegate at launch): the table follows the download list's changes.
    void setDownloads(std::shared_ptr<DownloadList> downloads);
    void setSession(std::shared_ptr<Facebook> session) { session_ = std::move(session); }
    void setServices(std::weak_ptr<ApplicationServices> services) { services_ = std::move(services); }
    const std::shared_ptr<WebViewController>& webPageController() const { return webPageController_; }

    // DownloadList::downloadVideo on the screen's list: whether a download
    // started (a new row, or a stopped row of the video started again).
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
    static std::string downloadPathForVideo(const Video& video) { return DownloadList::downloadPathForVideo(video); }

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
    std::shared_ptr<OptionListViewController> self();
    void reloadTable();

    std::shared_ptr<platform::TableView> tableView_;
    std::vector<std::shared_ptr<Option>> options_;
    std::int32_t type_ = 0;
    std::shared_ptr<WatchVideoViewController> viewVideoController_;
    std::shared_ptr<platform::ImageView> bottomBar_;
    std::shared_ptr<platform::Button> infoButton_;
    std::shared_ptr<DownloadList> downloads_;
    std::shared_ptr<Facebook> session_;
    std::weak_ptr<ApplicationServices> services_;
    bool deletingRow_ = false;
    std::shared_ptr<WebViewController> webPageController_;
    bool observing_ = false;
};

}  // namespace clipora
