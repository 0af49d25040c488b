#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/OptionListViewController.h"
#include "app/Utility.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/UUID.h"
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
    // The files in Caches that belong to the video with this id.
    static std::vector<std::string> filesOfVideo(const std::string& id) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(FileManager::cachesDirectory()))
            if (entry.path().filename().string().find(id + ".mp4") != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }
    static standin::StandinKnob slowBodyKnob() {
        standin::StandinKnob knob;
        knob.bodyDelay = std::chrono::seconds(30);  // the head at once, the body never (the stop ends it)
        return knob;
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
    EXPECT_EQ(shot.sections[1].header,
              std::optional<std::string>("Download - Videos will be save to Photo Album when done."));
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
    ASSERT_TRUE(
        pumpUntil([&] { return menu()->downloadList().front()->status == OptionListViewController::kStatusFailed; }));
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

TEST_F(RootMenuTest, CancelledDeletedAndFailedDownloadsLeaveNoFileBehind) {
    storeSignIn();
    launch();
    server->setKnob("/files/videos/400031.mp4", slowBodyKnob());
    server->setKnob("/files/videos/400041.mp4", slowBodyKnob());
    standin::StandinKnob cut;
    cut.truncateAfter = 1000;
    server->setKnob("/files/videos/400101.mp4", cut);
    ASSERT_TRUE(menu()->downloadVideo(video("400031", "Garden")));
    ASSERT_TRUE(menu()->downloadVideo(video("400041", "Party")));
    ASSERT_TRUE(menu()->downloadVideo(video("400101", "Trailer")));
    // The two slow ones have their (empty) files open.
    ASSERT_TRUE(pumpUntil([&] { return !filesOfVideo("400031").empty() && !filesOfVideo("400041").empty(); }, 10));

    ASSERT_TRUE(ScreenReader::read().table->tapRowAtIndexPath(IndexPath{1, 0}));  // cancel
    EXPECT_EQ(menu()->downloadList().front()->status, OptionListViewController::kStatusCancelled);
    auto table = menu()->tableView();
    table->dataSource()->tableViewCommitEditingStyleForRowAtIndexPath(table, TableViewCell::EditingStyleDelete,
                                                                      IndexPath{1, 1});  // delete
    ASSERT_TRUE(pumpUntil(
        [&] { return menu()->downloadList().back()->status == OptionListViewController::kStatusFailed; }, 10));
    ASSERT_EQ(menu()->downloadList().size(), 2u);

    for (const std::string id : {"400031", "400041", "400101"}) {
        EXPECT_TRUE(pumpUntil([&] { return filesOfVideo(id).empty(); })) << id << ": " << filesOfVideo(id).front();
    }
    EXPECT_EQ(rowTexts().back(), "Trailer | Failed to download! Try again?");
}

TEST_F(RootMenuTest, ALaunchRemovesTheDownloadFilesOfAKilledRunAndNothingElse) {
    const std::string caches = FileManager::cachesDirectory();
    const std::string uuid = UUID::newUUIDString();
    const std::vector<std::string> leftByAKilledRun = {
        "400031.mp4",
        "."
        "400031.mp4." +
            uuid + ".download",
        "0123456789abcdef0123456789abcdef01234567.mp4",
        ".400041.mp4." + std::string("01234567-89ab-cdef-0123-456789ABCDEF") + ".download"};
    const std::vector<std::string> others = {"notes.txt",
                                             "400031.mp4.txt",
                                             ".400031.mp4.download",
                                             "a b.mp4",
                                             ".mp4",
                                             "x.mp4." + uuid + ".download",
                                             ".x.mp4." + uuid + ".partial",
                                             "BKNetworkCache/400031.mp4"};
    for (const auto& name : leftByAKilledRun) FileManager::writeData(caches + "/" + name, Data(10, 'v'));
    for (const auto& name : others) {
        std::filesystem::create_directories(std::filesystem::path(caches + "/" + name).parent_path());
        FileManager::writeData(caches + "/" + name, Data(10, 'k'));
    }
    std::filesystem::create_directories(caches + "/folder.mp4");

    launch();
    for (const auto& name : leftByAKilledRun) EXPECT_FALSE(FileManager::fileExists(caches + "/" + name)) << name;
    for (const auto& name : others) EXPECT_TRUE(FileManager::fileExists(caches + "/" + name)) << name;
    EXPECT_TRUE(FileManager::fileExists(caches + "/folder.mp4"));
}

}  // namespace
