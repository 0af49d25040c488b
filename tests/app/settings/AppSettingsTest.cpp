#include <gtest/gtest.h>

#include "app/AppConfig.h"
#include "app/NeighbourServices.h"
#include "app/QRBCustomNavViewController.h"
#include "app/SettingViewController.h"
#include "app/settings/STPSToggleSwitchSpecifierViewCell.h"
#include "net/engine/BKNetworkOperation.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/MailComposeViewController.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/ScreenReader.h"
#include "platform/uikit/WebView.h"
#include "social/sdk/FBHosts.h"
#include "tests/app/StandinAppTest.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class AppSettingsTest : public test::StandinAppTest {
protected:
    void TearDown() override {
        NeighbourServices::setShareHook({});
        StandinAppTest::TearDown();
    }
    // Opens the settings from the root menu's info button.
    std::shared_ptr<SettingViewController> openSettings() {
        if (!menu()->infoButton()->tap()) return nullptr;
        auto nav = std::dynamic_pointer_cast<QRBCustomNavViewController>(menu()->modalViewController());
        return nav ? std::dynamic_pointer_cast<SettingViewController>(nav->topViewController()) : nullptr;
    }
    // The row of the settings screen whose title is `text`, scrolled into view.
    std::optional<IndexPath> rowTitled(const std::string& text) {
        auto settings = std::dynamic_pointer_cast<SettingViewController>(ScreenReader::topViewController());
        if (!settings) return std::nullopt;
        auto reader = settings->settingsReader();
        for (int section = 0; section < reader->numberOfSections(); ++section)
            for (int row = 0; row < reader->numberOfRowsForSection(section); ++row)
                if (reader->specifierForIndexPath(section, row)->title() == text) {
                    settings->tableView()->scrollToRowAtIndexPathAtScrollPositionAnimated(
                        {section, row}, TableView::ScrollPositionMiddle, false);
                    return IndexPath{section, row};
                }
        ADD_FAILURE() << "no row " << text;
        return IndexPath{};
    }
};

TEST_F(AppSettingsTest, TheRootMenuOpensTheSettingsAndAHDChoiceReachesTheNextDownload) {
    storeSignIn();
    launch();
    auto settings = openSettings();
    ASSERT_TRUE(settings);
    EXPECT_FALSE(settings->showCreditsFooter());
    EXPECT_EQ(settings->title(), "Settings");
    auto shot = ScreenReader::read();
    EXPECT_EQ(shot.title, "Settings");
    ASSERT_FALSE(shot.sections.empty());
    EXPECT_EQ(shot.sections[0].footer, "HD videos are larger and take longer to download.");
    // The application's headers: three spaces, white bold 16.
    auto header = std::dynamic_pointer_cast<Label>(settings->tableView()->headerViewForSection(0));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->text(), "   Downloads");
    EXPECT_EQ(header->font().pointSize(), 16);

    auto hdRow = rowTitled("Download HD");
    ASSERT_TRUE(hdRow);
    auto cell = std::dynamic_pointer_cast<STPSToggleSwitchSpecifierViewCell>(
        settings->tableView()->cellForRowAtIndexPath(*hdRow));
    ASSERT_TRUE(cell);
    EXPECT_FALSE(cell->toggle()->isOn());
    ASSERT_TRUE(cell->toggle()->tap());
    EXPECT_TRUE(UserDefaults::standardUserDefaults()->boolForKey("downloadHD"));
    ASSERT_TRUE(settings->navigationItem()->rightBarButtonItem()->tap());  // Done
    EXPECT_EQ(menu()->modalViewController(), nullptr);

    auto video = std::make_shared<Video>();
    video->setVideoID("400021");
    video->setSrc(server->baseURL(standin::StandinHost::Graph) + "files/videos/400021.mp4");
    video->setSrcHD(server->baseURL(standin::StandinHost::Graph) + "files/videos/400021_hd.mp4");
    ASSERT_TRUE(menu()->downloadVideo(video));
    EXPECT_EQ(menu()->downloadList().back()->operation->url(), *video->srcHD());

    // Off again: the next download takes the standard source.
    settings = openSettings();
    ASSERT_TRUE(settings);
    cell = std::dynamic_pointer_cast<STPSToggleSwitchSpecifierViewCell>(
        settings->tableView()->cellForRowAtIndexPath(*hdRow));
    EXPECT_TRUE(cell->toggle()->isOn());
    ASSERT_TRUE(cell->toggle()->tap());
    EXPECT_FALSE(UserDefaults::standardUserDefaults()->boolForKey("downloadHD"));
    auto other = std::make_shared<Video>(*video);
    other->setVideoID("400011");
    ASSERT_TRUE(menu()->downloadVideo(other));
    EXPECT_EQ(menu()->downloadList().back()->operation->url(), *video->src());
}

TEST_F(AppSettingsTest, ShareButtonsAndTheRecommendationMailGoToTheRootMenu) {
    storeSignIn();
    launch();
    std::vector<std::pair<std::string, std::string>> shared;
    NeighbourServices::setShareHook(
        [&](const URL& url, const std::string& title) { shared.emplace_back(url.absoluteString(), title); });
    auto settings = openSettings();
    ASSERT_TRUE(settings);
    auto table = settings->tableView();

    ASSERT_TRUE(table->tapRowAtIndexPath(*rowTitled("Share on Twitter")));
    ASSERT_EQ(shared.size(), 1u);
    EXPECT_EQ(shared[0].first, AppConfig::current().storeLink);
    EXPECT_NE(shared[0].second.find("#movara"), std::string::npos);

    ASSERT_TRUE(table->tapRowAtIndexPath(*rowTitled("Share on Facebook")));
    ASSERT_TRUE(pumpUntil(
        [&] {
            return !server->requestsTo("/dialog/feed").empty() || !server->requestsTo("/dialog/stream.publish").empty();
        },
        10));

    ASSERT_TRUE(table->tapRowAtIndexPath(*rowTitled("Tell a Friend")));
    auto composer = MailComposeViewController::openComposers();
    ASSERT_FALSE(composer.empty());
    EXPECT_EQ(composer.back()->message().subject, "Watch Facebook videos with Movara");
    EXPECT_TRUE(composer.back()->message().isHTML);
    EXPECT_EQ(composer.back()->message().body, *menu()->mailComposeBody());
    composer.back()->cancel();
}

TEST_F(AppSettingsTest, TheApplicationsOwnRowsOpenWhatTheyShould) {
    launch();
    auto settings = openSettings();
    ASSERT_TRUE(settings);
    auto table = settings->tableView();
    auto app = Application::sharedApplication();

    // No microblog client: the mobile web profile. The network's app: its page.
    app->registerURLSchemeHandler("fb", [](const URL&) { return true; });
    ASSERT_TRUE(table->tapRowAtIndexPath(*rowTitled("Movara on Twitter")));
    EXPECT_EQ(app->openedURLs().back().absoluteString(),
              "http://" + AppConfig::current().microblogMobileHost + "/movaraapp");
    ASSERT_TRUE(table->tapRowAtIndexPath(*rowTitled("Movara on Facebook")));
    EXPECT_EQ(app->openedURLs().back().absoluteString(), "fb://page/210849718975311");
    // Without the network's app: its web page.
    app->unregisterURLScheme("fb");
    ASSERT_TRUE(table->tapRowAtIndexPath(*rowTitled("Movara on Facebook")));
    EXPECT_EQ(app->openedURLs().back().absoluteString(),
              "https://" + FBHosts::current().web + "/apps/application.php?id=210849718975311");
    // The first client installed takes the account.
    app->registerURLSchemeHandler("twit", [](const URL&) { return true; });
    app->registerURLSchemeHandler("echofon", [](const URL&) { return true; });
    ASSERT_TRUE(table->tapRowAtIndexPath(*rowTitled("Movara on Twitter")));
    EXPECT_EQ(app->openedURLs().back().absoluteString(), "twit:///user?screen_name=movaraapp");

    ASSERT_TRUE(table->tapRowAtIndexPath(*rowTitled("Movara on the Web")));
    EXPECT_EQ(app->openedURLs().back().absoluteString(), "https://www.clipora.test/");
    auto other = rowTitled("Video Browser");
    ASSERT_TRUE(other);
    EXPECT_EQ(table->cellForRowAtIndexPath(*other)->detailTextLabel()->text(), "Find and save videos on the web");
    EXPECT_EQ(*table->delegate()->tableViewHeightForRowAtIndexPath(table, *other), 60.0f);
}

TEST_F(AppSettingsTest, TheLikeWidgetFitsItsCell) {
    const std::string html = SettingViewController::likeWidgetHTML("movara", 300);
    EXPECT_NE(html.find("width=280&amp;show_faces=true"), std::string::npos) << html;
    EXPECT_NE(html.find("/plugins/like.php?href=" + FBHosts::current().web + "%2Fmovara&amp;send=false"),
              std::string::npos)
        << html;
    EXPECT_EQ(html.rfind("<HTML><BODY><iframe src=\"http://", 0), 0u);
    EXPECT_NE(html.find("width:280px; height:100px;\" allowTransparency=\"true\""), std::string::npos);

    launch();
    auto settings = openSettings();
    ASSERT_TRUE(settings);
    auto table = settings->tableView();
    std::optional<IndexPath> like;
    for (int row = 0; row < table->numberOfRowsInSection(1); ++row)
        if (settings->settingsReader()->specifierForIndexPath(1, row)->type() == SettingViewController::kFacebookLike)
            like = IndexPath{1, row};
    ASSERT_TRUE(like);
    EXPECT_EQ(*table->delegate()->tableViewHeightForRowAtIndexPath(table, *like), 120.0f);
    auto cell = table->dataSource()->tableViewCellForRowAtIndexPath(table, *like);
    auto web = std::dynamic_pointer_cast<WebView>(cell->viewWithTag(SettingViewController::kLikeWebViewTag));
    ASSERT_TRUE(web);
    const float width = cell->frame().size.width;
    EXPECT_EQ(web->frame(), Rect(10, 10, width - 20, 100));
    // A tap on the widget's row does nothing, not even deselect it.
    const auto opened = Application::sharedApplication()->openedURLs().size();
    table->tapRowAtIndexPath(*like);
    EXPECT_EQ(table->indexPathForSelectedRow(), like);
    EXPECT_EQ(Application::sharedApplication()->openedURLs().size(), opened);
}

}  // namespace
