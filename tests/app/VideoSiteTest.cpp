#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/Utility.h"
#include "app/VideoSite.h"
#include "platform/foundation/FileManager.h"
#include "platform/uikit/Bitmap.h"
#include "tests/app/AppTest.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

std::shared_ptr<Video> video(const std::string& title, const std::string& url, bool local) {
    auto v = std::make_shared<Video>();
    v->setTitle(title);
    v->setOwnerName(std::string("Robin Standin"));
    v->setUrl(url);
    v->setIsLocal(local);
    return v;
}

class VideoSiteTest : public test::AppTest {};

TEST_F(VideoSiteTest, TheStoreReadsBackWhatWasWritten) {
    auto site = VideoSite::defaultSite();
    site->setLastURL(std::nullopt);
    site->bookmarkList()->push_back(video("First", "https://www.social.test/video/video.php?v=1", false));
    site->bookmarkList()->push_back(video("Second", "https://www.social.test/video/video.php?v=2", false));
    auto withPicture = video("Third", "https://www.social.test/video/video.php?v=3", false);
    auto bitmap = Bitmap::make(75, 75);
    bitmap->fill({1, 2, 3, 255});
    withPicture->setImage(Image::imageWithBitmap(bitmap));
    site->bookmarkList()->push_back(withPicture);
    site->downloadList()->push_back(video("Done", "400021.mp4", true));
    site->pendingDownloadList()->push_back(video("Pending", "https://graph.social.test/files/videos/1.mp4", true));

    const std::string path = VideoSite::siteListPath();
    ASSERT_TRUE(VideoSite::saveSiteList({site}, path));
    auto sites = VideoSite::loadSiteList(path);
    ASSERT_EQ(sites.size(), 1u);
    const auto& back = sites[0];
    EXPECT_EQ(back->name(), site->name());
    EXPECT_EQ(back->url(), site->url());
    EXPECT_FALSE(back->lastURL());
    EXPECT_EQ(back->urlWithVideo(), std::optional<std::string>("social.test/video/video.php"));
    ASSERT_EQ(back->bookmarkList()->size(), 3u);
    EXPECT_EQ(back->bookmarkList()->at(0)->title(), std::optional<std::string>("First"));
    EXPECT_EQ(back->bookmarkList()->at(2)->title(), std::optional<std::string>("Third"));
    ASSERT_TRUE(back->bookmarkList()->at(2)->image());
    EXPECT_EQ(back->bookmarkList()->at(2)->image()->bitmap()->pixel(5, 5), (Bitmap::Pixel{1, 2, 3, 255}));
    ASSERT_EQ(back->downloadList()->size(), 1u);
    EXPECT_TRUE(back->downloadList()->at(0)->isLocal());
    ASSERT_EQ(back->pendingDownloadList()->size(), 1u);
}

TEST_F(VideoSiteTest, TheDefaultSiteSignsInOverHTTPS) {
    auto site = VideoSite::defaultSite();
    EXPECT_EQ(site->name(), std::optional<std::string>("Facebook"));
    EXPECT_EQ(site->url(),
              std::optional<std::string>(
                  "https://web.social.test/login.php?next=https%3A%2F%2Fwww.social.test%2Fhome.php%3Fsk%3Dvideo"));
    EXPECT_EQ(site->lastURL(), site->url());
    EXPECT_TRUE(site->bookmarkList()->empty());
}

TEST_F(VideoSiteTest, ADamagedStoreIsNeverTrusted) {
    const std::string path = VideoSite::siteListPath();
    EXPECT_TRUE(VideoSite::loadSiteList(path).empty());  // no store yet
    ASSERT_TRUE(VideoSite::saveSiteList({VideoSite::defaultSite()}, path));
    auto bytes = *FileManager::contentsOfFile(path);
    bytes.resize(bytes.size() / 2);
    ASSERT_TRUE(FileManager::writeData(path, bytes));
    EXPECT_TRUE(VideoSite::loadSiteList(path).empty());
    // An archive of something else under the key.
    ASSERT_TRUE(Utility::saveFileToDiskKeyPath(Value::makeArray({Value("not a site")}), "SiteList", path));
    EXPECT_TRUE(VideoSite::loadSiteList(path).empty());
}

TEST_F(VideoSiteTest, OnlyPlainFileNamesAddressDocuments) {
    EXPECT_EQ(VideoSite::documentsPathForFileName(std::string("400021.mp4")),
              std::optional<std::string>(FileManager::documentsDirectory() + "/400021.mp4"));
    for (const char* bad : {"", ".", "..", "../x.mp4", "a/b.mp4", "/etc/passwd"})
        EXPECT_FALSE(VideoSite::documentsPathForFileName(std::string(bad))) << bad;
    EXPECT_FALSE(VideoSite::documentsPathForFileName(std::nullopt));
}

}  // namespace
