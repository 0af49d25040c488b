#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AboutViewController.h"
#include "app/CinevueViewController.h"
#include "app/VideoListViewController.h"
#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/cfnetwork/HTTPCookieStorage.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/ActionSheet.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/AlertView.h"
#include "tests/app/StandinAppTest.h"

using namespace clipora;
using namespace clipora::platform;
using standin::StandinHost;

namespace {

class BrowserTest : public test::StandinAppTest {
protected:
    void SetUp() override {
        StandinAppTest::SetUp();
        auto login = *URL::fromString(server->baseURL(StandinHost::Login));
        auto storage = HTTPCookieStorage::sharedHTTPCookieStorage();
        for (const auto& value : server->signIn("100001"))
            storage->setCookie(HTTPCookie::cookieFromSetCookieValue(value, login));
    }
    void TearDown() override {
        browser.reset();
        StandinAppTest::TearDown();
    }
    void open() {
        browser = std::make_shared<CinevueViewController>();
        browser->view();
        ASSERT_TRUE(pageIs("home.php?sk=video"));
    }
    // Until the page is shown and the screen has handled its end (the
    // screen's last act is its link script).
    bool pageIs(const std::string& part) {
        const std::size_t before = browser->webView() ? browser->webView()->evaluatedScripts().size() : 0;
        return pumpUntil(
            [&] {
                auto web = browser->webView();
                auto page = web->mainDocumentURL();
                return !web->isLoading() && page && page->absoluteString().find(part) != std::string::npos &&
                       web->evaluatedScripts().size() > before &&
                       web->evaluatedScripts().back() == "Quorbel_ModifyLinkTargets()";
            },
            10);
    }
    void choose(const std::string& title) {
        browser->add();
        auto sheet = AlertRegistry::topActionSheet();
        ASSERT_TRUE(sheet);
        ASSERT_TRUE(sheet->pressButtonWithTitle(title));
    }
    std::string alertMessage() {
        auto alert = AlertRegistry::topAlert();
        if (!alert) return {};
        std::string message = alert->message();
        AlertRegistry::pressButtonAtIndex(0);
        return message;
    }
    // A new browser, as the next launch makes it, read from the stores on
    // disk, its first page shown.
    void relaunch(const std::string& page) {
        browser.reset();
        UserDefaults::resetStandardUserDefaults();
        browser = std::make_shared<CinevueViewController>();
        browser->view();
        ASSERT_TRUE(pageIs(page));
    }
    static std::vector<std::string> filesAsideOf(const std::string& path) {
        std::vector<std::string> found;
        const std::filesystem::path store(path);
        for (const auto& entry : std::filesystem::directory_iterator(store.parent_path()))
            if (entry.path().filename().string().starts_with(store.filename().string() + ".unreadable-"))
                found.push_back(entry.path().string());
        return found;
    }
    void openVideo(const std::string& vid) {
        browser->openURL(*URL::fromString(server->baseURL(StandinHost::Www) + "video/video.php?v=" + vid));
        ASSERT_TRUE(pageIs("v=" + vid));
        ASSERT_TRUE(browser->currentVideo());
    }

    std::shared_ptr<CinevueViewController> browser;
};

TEST_F(BrowserTest, AVideoPageIsRecognisedFromTheSignedInHome) {
    open();
    auto site = browser->currentSite();
    EXPECT_EQ(site->name(), std::optional<std::string>("Facebook"));
    EXPECT_FALSE(browser->addButton()->isEnabled());
    // Links that open a new window were made to open in the page.
    ASSERT_TRUE(pumpUntil([&] {
        auto all = browser->webView()->links();
        return !all.empty() &&
               std::none_of(all.begin(), all.end(), [](const auto& l) { return WebView::opensNewWindow(l); });
    }));
    auto links = browser->webView()->links();
    ASSERT_GE(links.size(), 2u);
    for (const auto& link : links) EXPECT_FALSE(WebView::opensNewWindow(link)) << link.href;
    ASSERT_TRUE(browser->webView()->tapLinkAtIndex(1));
    ASSERT_TRUE(pageIs("video/video.php"));
    EXPECT_TRUE(browser->addButton()->isEnabled());
    auto video = browser->currentVideo();
    ASSERT_TRUE(video);
    EXPECT_EQ(video->ownerName(), std::optional<std::string>("Robin Standin"));
    // The picture's address came with the page's own escapes.
    ASSERT_TRUE(video->thumbnailLink());
    EXPECT_EQ(video->thumbnailLink()->rfind(server->baseURL(StandinHost::Graph) + "files/thumbs/", 0), 0u);
    ASSERT_TRUE(video->url());
    EXPECT_NE(video->url()->find(".mp4"), std::string::npos);
    EXPECT_EQ(video->url()->find("_hd"), std::string::npos);

    // With the HD switch on, the high-quality source is taken.
    UserDefaults::standardUserDefaults()->setBool(true, AboutViewController::kHDVideoKey);
    browser->webView()->reload();
    ASSERT_TRUE(pumpUntil([&] { return browser->currentVideo() != video; }, 10));
    EXPECT_NE(browser->currentVideo()->url()->find("_hd.mp4"), std::string::npos);
}

TEST_F(BrowserTest, BookmarksAndDownloadsLandInTheSavedVideosScreen) {
    open();
    openVideo("400001");
    choose("Bookmark Video");
    auto site = browser->currentSite();
    ASSERT_EQ(site->bookmarkList()->size(), 1u);
    auto mark = site->bookmarkList()->front();
    EXPECT_EQ(mark->title(), std::optional<std::string>("Robin at the beach"));
    ASSERT_TRUE(mark->image());
    EXPECT_EQ(mark->image()->size().width, 75);
    choose("Bookmark Video");
    EXPECT_EQ(alertMessage(), CinevueViewController::kAlreadyBookmarked);

    choose("Download Video");
    ASSERT_TRUE(pumpUntil([&] { return site->downloadList()->size() == 1; }, 15));
    EXPECT_TRUE(site->pendingDownloadList()->empty());
    EXPECT_EQ(site->downloadList()->front()->url(), std::optional<std::string>("400001.mp4"));
    EXPECT_TRUE(site->downloadList()->front()->image());
    EXPECT_TRUE(FileManager::fileExists(FileManager::documentsDirectory() + "/400001.mp4"));
    EXPECT_NE(browser->percentDownload()->title().find("mb"), std::string::npos);
    choose("Download Video");
    ASSERT_TRUE(pumpUntil([] { return AlertRegistry::topAlert() != nullptr; }));
    EXPECT_EQ(alertMessage(), CinevueViewController::kAlreadyDownloaded);

    browser->bookmark();
    auto list = std::dynamic_pointer_cast<VideoListViewController>(browser->listNavController()->topViewController());
    ASSERT_TRUE(list);
    list->view();
    list->viewWillAppear(false);
    EXPECT_EQ(list->tableView()->numberOfRowsInSection(VideoListViewController::SectionBookmarks), 1);
    EXPECT_EQ(list->tableView()->numberOfRowsInSection(VideoListViewController::SectionDownloads), 1);

    // Saved, and read back by the next browser.
    browser->saveAllData();
    auto stored = VideoSite::loadSiteList(VideoSite::siteListPath());
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]->downloadList()->size(), 1u);
    EXPECT_NE(stored[0]->lastURL().value_or("").find("v=400001"), std::string::npos);
}

// The saved list is the user's: the first session's store is kept at the
// second launch and at every one after, also when the preferences that
// would say this version wrote it are damaged.
TEST_F(BrowserTest, TheSavedListSurvivesRelaunchesAndDamagedPreferences) {
    open();
    openVideo("400001");
    choose("Bookmark Video");
    choose("Download Video");
    auto site = browser->currentSite();
    ASSERT_TRUE(pumpUntil([&] { return site->downloadList()->size() == 1; }, 15));
    browser->saveAllData();

    auto expectListKept = [&](const char* when) {
        auto kept = browser->currentSite();
        ASSERT_EQ(kept->bookmarkList()->size(), 1u) << when;
        EXPECT_EQ(kept->bookmarkList()->front()->title(), std::optional<std::string>("Robin at the beach")) << when;
        ASSERT_EQ(kept->downloadList()->size(), 1u) << when;
        EXPECT_EQ(kept->downloadList()->front()->url(), std::optional<std::string>("400001.mp4")) << when;
        EXPECT_TRUE(filesAsideOf(VideoSite::siteListPath()).empty()) << when;
    };
    relaunch("v=400001");
    expectListKept("second launch");
    browser->saveAllData();
    relaunch("v=400001");
    expectListKept("third launch");
    browser->saveAllData();

    const std::string preferences = UserDefaults::standardUserDefaults()->filePath();
    browser.reset();
    std::filesystem::resize_file(preferences, 100);
    UserDefaults::resetStandardUserDefaults();
    ASSERT_FALSE(UserDefaults::standardUserDefaults()->boolForKey(CinevueViewController::kDeleteYetKey));
    relaunch("v=400001");
    expectListKept("after damaged preferences");
    EXPECT_TRUE(FileManager::fileExists(FileManager::documentsDirectory() + "/400001.mp4"));
}

// A store that cannot be read is moved aside, its bytes kept, and the user
// starts with an empty list; the next save writes a new store beside it.
TEST_F(BrowserTest, ADamagedStoreIsMovedAsideAndTheListStartsEmpty) {
    const std::string path = VideoSite::siteListPath();
    auto stored = VideoSite::defaultSite();
    auto mark = std::make_shared<Video>();
    mark->setTitle(std::string("Kept somewhere"));
    stored->bookmarkList()->push_back(mark);
    for (const bool deleteYet : {false, true}) {
        SCOPED_TRACE(deleteYet ? "DeleteYet YES" : "DeleteYet NO");
        for (const auto& aside : filesAsideOf(path)) FileManager::removeItem(aside);
        ASSERT_TRUE(VideoSite::saveSiteList({stored}, path));
        std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
        const auto damaged = FileManager::contentsOfFile(path);
        ASSERT_TRUE(damaged);
        UserDefaults::standardUserDefaults()->setBool(deleteYet, CinevueViewController::kDeleteYetKey);

        relaunch("home.php?sk=video");
        auto site = browser->currentSite();
        EXPECT_EQ(site->name(), std::optional<std::string>("Facebook"));
        EXPECT_TRUE(site->bookmarkList()->empty());
        EXPECT_TRUE(site->downloadList()->empty());
        const auto aside = filesAsideOf(path);
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(FileManager::contentsOfFile(aside.front()), damaged);

        browser->saveAllData();
        EXPECT_EQ(VideoSite::loadSiteList(path).size(), 1u);
        EXPECT_EQ(FileManager::contentsOfFile(aside.front()), damaged);
    }
}

TEST_F(BrowserTest, AFailedDownloadIsReportedAndDoesNotBlockTheNext) {
    server->setKnob("/files/videos/400002.mp4", statusKnob(404));
    open();
    openVideo("400002");
    choose("Download Video");
    ASSERT_TRUE(pumpUntil([] { return AlertRegistry::topAlert() != nullptr; }, 15));
    EXPECT_EQ(alertMessage(), CinevueViewController::kDownloadFailed);
    auto site = browser->currentSite();
    EXPECT_TRUE(site->pendingDownloadList()->empty());
    EXPECT_TRUE(site->downloadList()->empty());
    EXPECT_FALSE(FileManager::fileExists(FileManager::documentsDirectory() + "/400002.mp4"));

    openVideo("400001");
    choose("Download Video");
    ASSERT_TRUE(pumpUntil([&] { return site->downloadList()->size() == 1; }, 15)) << alertMessage();
    EXPECT_FALSE(AlertRegistry::topAlert());

    // One at a time: a second download while one is being prepared waits.
    openVideo("400002");
    server->setKnob("/files/thumbs/*", holdKnob());
    choose("Download Video");
    choose("Download Video");
    EXPECT_EQ(alertMessage(), CinevueViewController::kBusyDownloading);
    server->releaseHeld();
}

TEST_F(BrowserTest, TheRouterUnwrapsVideoLinksAndKeepsTheLoginOnTheSite) {
    open();
    auto web = browser->webView();
    auto ask = [&](const std::string& address) {
        auto request = std::make_shared<URLRequest>(*URL::fromString(address));
        return browser->webViewShouldStartLoadWithRequestNavigationType(web, request, WebViewNavigationTypeLinkClicked);
    };
    const std::string wrapped = "https://www.youtube.test/redirect?u=http%3A%2F%2Fwww.clips.test%2Fwatch%3Fv%3Dwww1";
    EXPECT_FALSE(ask(wrapped));
    EXPECT_TRUE(browser->isYouTubeVideoURL());
    EXPECT_TRUE(ask(wrapped));  // while the unwrapped page loads
    EXPECT_EQ(CinevueViewController::mobileAddress("http://www.clips.test/watch?v=www1"),
              "http://m.clips.test/watch?v=www1");
    EXPECT_EQ(CinevueViewController::mobileAddress("http://clips.test/www/x"), "http://clips.test/www/x");

    // The login page in either scheme leads back to the site's own address.
    EXPECT_FALSE(ask("http://web.social.test/login.php?next=elsewhere"));
    EXPECT_FALSE(browser->isYouTubeVideoURL());
    EXPECT_FALSE(ask("https://WEB.social.test/login.php"));
    EXPECT_TRUE(ask(*browser->currentSite()->url()));
    EXPECT_FALSE(ask("https://graph.social.test/files/videos/400001.mp4"));
}

TEST(BrowserScrapeTest, ValuesAndFileNames) {
    const std::string page = R"(swf.addVariable("video_title", "A+%22quoted%22+title");
swf.addVariable("thumb_url", "https\u00253A\u00252F\u00252Fpics.test\u00252Fa\u00252Bb.png");)";
    EXPECT_EQ(CinevueViewController::getStringFromStartWith(page, "video_title"),
              std::optional<std::string>("A \"quoted\" title"));
    EXPECT_EQ(CinevueViewController::getStringFromStartWith(page, "thumb_url"),
              std::optional<std::string>("https://pics.test/a+b.png"));
    EXPECT_FALSE(CinevueViewController::getStringFromStartWith(page, "video_src"));

    EXPECT_EQ(CinevueViewController::getVideoFilename("https://g.test/files/videos/400001.mp4?x=1"),
              std::optional<std::string>("400001.mp4"));
    EXPECT_FALSE(CinevueViewController::getVideoFilename("https://g.test/files/videos/400001.flv"));
    EXPECT_FALSE(CinevueViewController::getVideoFilename("https://g.test/files/"));

    Video video;
    video.setTitle(std::string("<b onclick=\"x\">Hi</b>"));
    video.setThumbnailLink(std::string("https://t.test/a.png\"><script>"));
    const std::string body = CinevueViewController::emailBodyForVideo(video, "https://www.social.test/v?a=1&b=2");
    EXPECT_EQ(body.find("<b onclick"), std::string::npos);
    EXPECT_NE(body.find("&lt;b onclick=&quot;x&quot;&gt;Hi&lt;/b&gt;"), std::string::npos);
    EXPECT_EQ(body.find("<script>"), std::string::npos);
    EXPECT_NE(body.find("https://www.social.test/v?a=1&amp;b=2"), std::string::npos);
}

}  // namespace
