#include <gtest/gtest.h>

#include <string>

#include "app/OptionListViewController.h"
#include "app/Utility.h"
#include "platform/foundation/FileManager.h"
#include "platform/media/PhotoAlbum.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/ScreenReader.h"
#include "tests/app/StandinAppTest.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class RootMenuTest : public test::StandinAppTest {
protected:
    std::shared_ptr<Video> video(const std::string& id, const std::string& title) {
        auto v = std::make_shared<Video>();
        v->setVideoID(id);
        v->setTitle(title);
        v->setSrc(server->baseURL(standin::StandinHost::Graph) + "files/videos/" + id + ".mp4");
        v->setSrcHD(server->baseURL(standin::StandinHost::Graph) + "files/videos/" + id + "_hd.mp4");
        return v;
    }
    std::vector<std::string> rowTexts() {
        std::vector<std::string> texts;
        for (const auto& row : ScreenReader::read().rows()) texts.push_back(row.text + " | " + row.detail);
        return texts;
    }
};

TEST_F(RootMenuTest, SignedOutTapStartsTheLoginInsteadOfOpeningAList) {
    launch();
    auto shot = ScreenReader::read();
    EXPECT_EQ(shot.title, "Movara");
    ASSERT_EQ(shot.rows().size(), 5u);
    EXPECT_EQ(shot.rows()[2].text, "My Friends Videos");
    EXPECT_EQ(shot.sections[1].header, std::optional<std::string>("Download - Videos will be save to Photo Album when done."));
    ASSERT_TRUE(shot.table->tapRowAtIndexPath(shot.rows()[2].indexPath));
    EXPECT_EQ(delegate->navController()->viewControllers().size(), 1u);
    auto opened = Application::sharedApplication()->openedURLs();
    ASSERT_FALSE(opened.empty());
    EXPECT_NE(opened.back().absoluteString().find("/dialog/oauth"), std::string::npos);
}

TEST_F(RootMenuTest, ADownloadLandsInTheAlbumAndLeavesCaches) {
    storeSignIn();
    launch();
    auto v = video("400021", "Friends at the lake");
    ASSERT_TRUE(menu()->downloadVideo(v));
    const std::string path = menu()->downloadList().front()->path;
    EXPECT_EQ(path, FileManager::cachesDirectory() + "/400021.mp4");
    EXPECT_FALSE(menu()->downloadVideo(v));  // one download per video at a time
    EXPECT_EQ(menu()->downloadList().size(), 1u);
    EXPECT_EQ(ScreenReader::read().sections[1].header, std::optional<std::string>("Downloading..."));

    ASSERT_TRUE(pumpUntil([&] { return menu()->downloadList().empty(); }, 10));
    EXPECT_EQ(PhotoAlbum::savedFiles().size(), 1u);
    EXPECT_FALSE(FileManager::fileExists(path));
    EXPECT_EQ(ScreenReader::read().rows().size(), 5u);
}

TEST_F(RootMenuTest, NetworkIdsNeverNameFilesOutsideCaches) {
    for (const std::string id : {"../../Documents/x", "", "a/b", "400021"}) {
        Video v;
        v.setVideoID(id);
        const std::string path = OptionListViewController::downloadPathForVideo(v);
        EXPECT_EQ(path.rfind(FileManager::cachesDirectory() + "/", 0), 0u) << id;
        EXPECT_EQ(path.find('/', FileManager::cachesDirectory().size() + 1), std::string::npos) << id;
        EXPECT_NE(path, FileManager::cachesDirectory() + "/.mp4") << id;
    }
}

TEST_F(RootMenuTest, AFailureShowsAtOnceAndATapRestartsTheStandardSource) {
    storeSignIn();
    launch();
    UserDefaults::standardUserDefaults()->setBool(true, CinevueAppDelegate::kDownloadHDKey);
    server->setKnob("/files/*", statusKnob(500, 1));
    ASSERT_TRUE(menu()->downloadVideo(video("400022", "Birthday")));
    ASSERT_TRUE(pumpUntil([&] { return menu()->downloadList().front()->status == OptionListViewController::kStatusFailed; }));
    EXPECT_EQ(server->requestsTo("/files/videos/400022_hd.mp4").size(), 1u);  // HD first
    EXPECT_EQ(rowTexts().back(), "Birthday | Failed to download! Try again?");

    ASSERT_TRUE(ScreenReader::read().table->tapRowAtIndexPath(IndexPath{1, 0}));
    EXPECT_EQ(menu()->downloadList().front()->status, OptionListViewController::kStatusDownloading);
    ASSERT_TRUE(pumpUntil([&] { return menu()->downloadList().empty(); }, 10));
    EXPECT_EQ(server->requestsTo("/files/videos/400022.mp4").size(), 1u);  // the restart: standard
}

TEST_F(RootMenuTest, TheDownloadListIsArchivedAtTermination) {
    storeSignIn();
    launch();
    server->setKnob("/files/*", holdKnob());
    ASSERT_TRUE(menu()->downloadVideo(video("400023", "Road trip")));
    ASSERT_TRUE(menu()->downloadVideo(video("400024", "Concert")));
    // A tap cancels the second.
    ASSERT_TRUE(ScreenReader::read().table->tapRowAtIndexPath(IndexPath{1, 1}));
    Application::sharedApplication()->terminate();
    server->releaseHeld();

    auto archived = Utility::loadFileFromDiskPath(OptionListViewController::kDownloadListKey,
                                                  FileManager::documentsDirectory() + "/DownloadList");
    ASSERT_TRUE(archived && archived->array());
    ASSERT_EQ(archived->array()->size(), 2u);
    const auto& first = *archived->array()->at(0).dictionary();
    EXPECT_EQ(*first.at("status").string(), "Downloading...");
    EXPECT_EQ(*first.at("path").string(), FileManager::cachesDirectory() + "/400023.mp4");
    EXPECT_FALSE(first.contains("operation"));
    auto saved = first.at("video").objectAs<Video>();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->title(), std::optional<std::string>("Road trip"));
    EXPECT_EQ(*archived->array()->at(1).dictionary()->at("status").string(), "Cancelled...");
}

}  // namespace
