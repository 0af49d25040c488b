#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/VideoListDelegate.h"
#include "app/VideoSite.h"
#include "platform/foundation/Error.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/TableViewController.h"

namespace clipora {

// The browser's three lists of the current site in one table: the download
// under way ("Downloading..."), the bookmarks and the finished downloads. It
// edits the very lists the site record holds, so every delete and move
// changes the site store. Downloaded rows carry a button that copies the
// file into the photo album. Presented modally in a navigation controller.
//
// A downloaded entry's `url` names its file in Documents; files are removed
// or saved only when that name is one plain path component, so no entry can
// reach the Documents folder itself or anything outside it.
class VideoListViewController : public platform::TableViewController {
public:
    enum Section : int { SectionPending = 0, SectionBookmarks = 1, SectionDownloads = 2 };
    static constexpr const char* kCellIdentifier = "VideoListCell";
    static constexpr float kRowHeight = 75;

    explicit VideoListViewController(platform::TableView::Style style = platform::TableView::StylePlain);

    const std::shared_ptr<VideoList>& bookmarkList() const { return bookmarkList_; }
    void setBookmarkList(std::shared_ptr<VideoList> list) { bookmarkList_ = videoListOrEmpty(std::move(list)); }
    const std::shared_ptr<VideoList>& downloadList() const { return downloadList_; }
    void setDownloadList(std::shared_ptr<VideoList> list) { downloadList_ = videoListOrEmpty(std::move(list)); }
    const std::shared_ptr<VideoList>& pendingDownloadList() const { return pendingDownloadList_; }
    void setPendingDownloadList(std::shared_ptr<VideoList> list) {
        pendingDownloadList_ = videoListOrEmpty(std::move(list));
    }
    std::shared_ptr<VideoListDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VideoListDelegate> delegate) { delegate_ = std::move(delegate); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void refreshTableView();
    void done();
    // The accessory button of a downloaded row: finds the row the button
    // sits in and saves that video to the photo album.
    void saveEvent(const std::shared_ptr<platform::Control>& sender);
    // Copies the downloaded video of that row into the photo album.
    void saveVideoAtIndexPath(const platform::IndexPath& indexPath);
    void videoDidFinishSavingWithErrorContextInfo(const std::string& path, const std::optional<platform::Error>& error);
    bool shouldAutorotateToInterfaceOrientation(int) override { return true; }

    // --- Table ---
    int numberOfSectionsInTableView(const std::shared_ptr<platform::TableView>&) override { return 3; }
    int tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>& tableView, int section) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(const std::shared_ptr<platform::TableView>& tableView,
                                                                int section) override;
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    std::optional<float> tableViewHeightForRowAtIndexPath(const std::shared_ptr<platform::TableView>&,
                                                          const platform::IndexPath&) override {
        return kRowHeight;
    }
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                          const platform::IndexPath& indexPath) override;
    bool tableViewCanMoveRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                        const platform::IndexPath& indexPath) override;
    void tableViewCommitEditingStyleForRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                                      platform::TableViewCell::EditingStyle style,
                                                      const platform::IndexPath& indexPath) override;
    platform::IndexPath tableViewTargetIndexPathForMoveFromRowAtIndexPathToProposedIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& from,
        const platform::IndexPath& proposed) override;
    void tableViewMoveRowAtIndexPathToIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                                const platform::IndexPath& from,
                                                const platform::IndexPath& to) override;

private:
    // The list a section shows (null for another section).
    const std::shared_ptr<VideoList>& listForSection(int section) const;
    std::shared_ptr<Video> videoAt(const platform::IndexPath& indexPath) const;
    void showAlert(const std::string& message);

    std::shared_ptr<VideoList> bookmarkList_ = std::make_shared<VideoList>();
    std::shared_ptr<VideoList> downloadList_ = std::make_shared<VideoList>();
    std::shared_ptr<VideoList> pendingDownloadList_ = std::make_shared<VideoList>();
    std::weak_ptr<VideoListDelegate> delegate_;
};

}  // namespace clipora
