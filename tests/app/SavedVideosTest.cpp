#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/VideoListViewController.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "platform/media/PhotoAlbum.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/Window.h"
#include "tests/app/AppTest.h"
#include "tools/standin/StandinMedia.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class Owner : public VideoListDelegate {
public:
    void didSelectVideoVideo(const std::shared_ptr<VideoListViewController>&,
                             const std::shared_ptr<Video>& video) override {
        selected.push_back(video);
    }
    void cancelDownloadVideo(const std::shared_ptr<VideoListViewController>&,
                             const std::shared_ptr<Video>& video) override {
        cancelled.push_back(video);
    }
    std::vector<std::shared_ptr<Video>> selected;
    std::vector<std::shared_ptr<Video>> cancelled;
};

class SavedVideosTest : public test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        site = VideoSite::defaultSite();
        site->pendingDownloadList()->push_back(video("Coming", "https://graph.social.test/files/videos/9.mp4"));
        for (const char* title : {"B1", "B2", "B3"})
            site->bookmarkList()->push_back(
                video(title, std::string("https://www.social.test/video/video.php?v=") + title));
        for (const char* name : {"one.mp4", "two.mp4"}) {
            site->downloadList()->push_back(video(name, name));
            FileManager::writeData(FileManager::documentsDirectory() + "/" + name,
                                   Text::toData(standin::StandinMedia::mp4(name, 64, 16, 16)));
        }
        list = std::make_shared<VideoListViewController>();
        list->setBookmarkList(site->bookmarkList());
        list->setDownloadList(site->downloadList());
        list->setPendingDownloadList(site->pendingDownloadList());
        list->setDelegate(owner);
        nav = std::make_shared<NavigationController>();
        nav->initWithRootViewController(list);
        nav->view();
        list->tableView()->setFrame(Rect(0, 0, 320, 2000));  // every row on screen
        list->viewWillAppear(false);
    }
    static std::shared_ptr<Video> video(const std::string& title, const std::string& url) {
        auto v = std::make_shared<Video>();
        v->setTitle(title);
        v->setOwnerName(std::string("Robin Standin"));
        v->setUrl(url);
        return v;
    }
    std::vector<std::string> titles(const VideoList& videos) {
        std::vector<std::string> out;
        for (const auto& v : videos) out.push_back(v->title().value_or(""));
        return out;
    }
    std::shared_ptr<TableView> table() { return list->tableView(); }

    std::shared_ptr<VideoSite> site;
    std::shared_ptr<Owner> owner = std::make_shared<Owner>();
    std::shared_ptr<VideoListViewController> list;
    std::shared_ptr<NavigationController> nav;
};

TEST_F(SavedVideosTest, ThreeSectionsOfTheSiteLists) {
    EXPECT_EQ(list->title(), "Videos");
    ASSERT_EQ(table()->numberOfSections(), 3);
    EXPECT_EQ(table()->headerTitleForSection(0), std::optional<std::string>("Downloading..."));
    EXPECT_EQ(table()->headerTitleForSection(1), std::optional<std::string>("Bookmarked Videos"));
    EXPECT_EQ(table()->headerTitleForSection(2), std::optional<std::string>("Downloaded Videos"));
    EXPECT_EQ(table()->numberOfRowsInSection(1), 3);
    auto cell = table()->cellForRowAtIndexPath({2, 0});
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->textLabel()->text(), "one.mp4");
    EXPECT_EQ(cell->detailTextLabel()->text(), "Posted by: Robin Standin");
    EXPECT_TRUE(cell->accessoryView());
    EXPECT_FALSE(table()->cellForRowAtIndexPath({1, 0})->accessoryView());

    // Bookmarks and downloads go to the delegate; the pending row does not.
    EXPECT_TRUE(table()->tapRowAtIndexPath({1, 1}));
    table()->tapRowAtIndexPath({0, 0});
    ASSERT_EQ(owner->selected.size(), 1u);
    EXPECT_EQ(owner->selected[0]->title(), std::optional<std::string>("B2"));
}

TEST_F(SavedVideosTest, RowsMoveWithinTheirOwnSection) {
    table()->setEditing(true);
    EXPECT_TRUE(table()->dragRowFromIndexPathToIndexPath({1, 0}, {1, 2}));
    EXPECT_EQ(titles(*site->bookmarkList()), (std::vector<std::string>{"B2", "B3", "B1"}));
    // Dragged into another section: downward stays at its section's end,
    // upward at its start.
    table()->dragRowFromIndexPathToIndexPath({1, 0}, {2, 1});
    EXPECT_EQ(titles(*site->bookmarkList()), (std::vector<std::string>{"B3", "B1", "B2"}));
    table()->dragRowFromIndexPathToIndexPath({2, 1}, {0, 0});
    EXPECT_EQ(titles(*site->downloadList()), (std::vector<std::string>{"two.mp4", "one.mp4"}));
    EXPECT_FALSE(table()->dragRowFromIndexPathToIndexPath({0, 0}, {0, 0}));  // the pending row stays put
}

TEST_F(SavedVideosTest, DeletingNeverReachesOutsideDocuments) {
    table()->setEditing(true);
    // A download's file goes with its row.
    ASSERT_TRUE(table()->tapDeleteAtIndexPath({2, 0}));
    EXPECT_FALSE(FileManager::fileExists(FileManager::documentsDirectory() + "/one.mp4"));
    EXPECT_EQ(titles(*site->downloadList()), (std::vector<std::string>{"two.mp4"}));

    // Entries whose name is not one plain component are only dropped.
    const std::string outside = home().string() + "/keep.txt";
    ASSERT_TRUE(FileManager::writeData(outside, Text::toData("keep")));
    for (const char* bad : {"..", ".", "", "../keep.txt"}) {
        site->downloadList()->insert(site->downloadList()->begin(), video(bad, bad));
        list->refreshTableView();
        ASSERT_TRUE(table()->tapDeleteAtIndexPath({2, 0})) << bad;
        EXPECT_TRUE(FileManager::isDirectory(FileManager::documentsDirectory())) << bad;
        EXPECT_TRUE(FileManager::fileExists(FileManager::documentsDirectory() + "/two.mp4")) << bad;
        EXPECT_TRUE(FileManager::fileExists(outside)) << bad;
    }
    EXPECT_EQ(site->downloadList()->size(), 1u);

    // The last bookmark goes without animation, others fade.
    table()->tapDeleteAtIndexPath({1, 0});
    EXPECT_EQ(table()->lastRowAnimation(), std::optional<TableView::RowAnimation>(TableView::RowAnimationFade));
    table()->tapDeleteAtIndexPath({1, 0});
    table()->tapDeleteAtIndexPath({1, 0});
    EXPECT_EQ(table()->lastRowAnimation(), std::optional<TableView::RowAnimation>(TableView::RowAnimationNone));
    EXPECT_TRUE(site->bookmarkList()->empty());

    // The pending row cancels the transfer first.
    table()->tapDeleteAtIndexPath({0, 0});
    ASSERT_EQ(owner->cancelled.size(), 1u);
    EXPECT_EQ(owner->cancelled[0]->title(), std::optional<std::string>("Coming"));
    EXPECT_TRUE(site->pendingDownloadList()->empty());
}

TEST_F(SavedVideosTest, DownloadsCopyIntoThePhotoAlbum) {
    EXPECT_TRUE(table()->tapAccessoryAtIndexPath({2, 1}));
    ASSERT_TRUE(pumpUntil([] { return PhotoAlbum::savedFiles().size() == 1; }));
    EXPECT_FALSE(AlertRegistry::topAlert());

    // A file the album cannot take changes nothing.
    FileManager::writeData(FileManager::documentsDirectory() + "/one.mp4", Text::toData("<html>error</html>"));
    table()->tapAccessoryAtIndexPath({2, 0});
    auto alert = AlertRegistry::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "Video cannot be saved to Photo Album because it is not compatible!");
    AlertRegistry::pressButtonAtIndex(0);
    pumpPending();
    EXPECT_EQ(PhotoAlbum::savedFiles().size(), 1u);

    // A failing album is reported.
    PhotoAlbum::injectFailure(
        Error::withDescription("PhotoAlbumErrorDomain", PhotoAlbum::kErrorWriteFailed, "Disk full"));
    table()->tapAccessoryAtIndexPath({2, 1});
    ASSERT_TRUE(pumpUntil([] { return AlertRegistry::topAlert() != nullptr; }));
    EXPECT_EQ(AlertRegistry::topAlert()->message(), "Error while saving video: Disk full");
}

}  // namespace
