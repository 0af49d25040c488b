#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analytics/TallyEvent.h"
#include "analytics/TallySession.h"
#include "app/AppConfig.h"
#include "app/PRRefreshTableHeaderView.h"
#include "app/ProgressHUD.h"
#include "app/WatchVideoViewController.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/MoviePlayerController.h"
#include "platform/media/PhotoAlbum.h"
#include "platform/media/TweetComposeViewController.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/ScreenReader.h"
#include "share/Core/SX.h"
#include "share/UI/SXActivityIndicator.h"
#include "tests/app/StandinAppTest.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class VideoListTest : public test::StandinAppTest {
protected:
    void TearDown() override {
        TallySession::resetClassState();
        MoviePlayerController::setFinishesImmediately(false);
        TweetComposeViewController::clearSentTweets();
        SX::reset();
        SXActivityIndicator::reset();
        StandinAppTest::TearDown();
    }
    // Signed in, "My Friends Videos" opened and loaded.
    std::shared_ptr<WatchVideoViewController> openFriendsVideos() {
        storeSignIn();
        launch();
        auto shot = ScreenReader::read();
        EXPECT_TRUE(shot.table->tapRowAtIndexPath(shot.rows()[2].indexPath));
        auto screen = menu()->viewVideoController();
        EXPECT_TRUE(screen);
        EXPECT_TRUE(pumpUntil([&] { return !screen->videoList().empty(); }, 10));
        return screen;
    }
    // Back on the root menu, row `row` tapped: answers the video list.
    std::shared_ptr<WatchVideoViewController> openFromMenu(int row) {
        auto navigation = delegate->navController();
        while (navigation->viewControllers().size() > 1) navigation->popViewControllerAnimated(false);
        auto shot = ScreenReader::read();
        EXPECT_TRUE(shot.table->tapRowAtIndexPath(shot.rows()[static_cast<std::size_t>(row)].indexPath));
        auto screen = menu()->viewVideoController();
        EXPECT_TRUE(screen);
        EXPECT_EQ(ScreenReader::read().controller, screen);
        return screen;
    }
    bool loaded(const std::shared_ptr<WatchVideoViewController>& screen) {
        return pumpUntil([&] { return !screen->videoList().empty() && !ProgressHUD::isVisible(); }, 10);
    }
    std::vector<std::string> titles(const std::shared_ptr<WatchVideoViewController>& screen) {
        std::vector<std::string> out;
        for (const auto& video : screen->videoList()) out.push_back(video->title().value_or(""));
        return out;
    }
    // A pull released far enough down.
    static void pull(const std::shared_ptr<WatchVideoViewController>& screen) {
        screen->tableView()->drag({Point{0, -40}, Point{0, -90}});
    }
};

TEST_F(VideoListTest, FriendsVideosNewestFirstWithOwners) {
    auto screen = openFriendsVideos();
    auto shot = ScreenReader::read();
    EXPECT_EQ(shot.controller, screen);
    EXPECT_EQ(shot.title, "My Friends Videos");
    ASSERT_GE(screen->videoList().size(), 2u);
    for (std::size_t i = 1; i < screen->videoList().size(); ++i)
        EXPECT_GE(screen->videoList()[i - 1]->updatedTime(), screen->videoList()[i]->updatedTime());
    EXPECT_FALSE(ProgressHUD::isVisible() && !ProgressHUD::sharedView()->markImageName());
    // Thumbnails arrive for the visible rows.
    EXPECT_TRUE(pumpUntil([&] { return screen->videoList().front()->image() != nullptr; }, 10));
    EXPECT_EQ(screen->videoList().front()->image()->size(), (Size{57, 57}));
}

TEST_F(VideoListTest, PullToRefreshWorksAgainAfterAFailedQuery) {
    auto screen = openFriendsVideos();
    const auto before = server->requestsTo("/method/fql.query").size();
    server->setKnob("/method/fql.query", statusKnob(500));
    pull(screen);
    EXPECT_TRUE(screen->isReloading());
    ASSERT_TRUE(pumpUntil([&] { return AlertRegistry::topAlert() != nullptr; }, 10));
    EXPECT_EQ(AlertRegistry::topAlert()->message(), WatchVideoViewController::kRetrieveFailedMessage);
    EXPECT_FALSE(screen->isReloading());
    EXPECT_EQ(screen->refreshHeaderView()->state(), PRRefreshTableHeaderView::StateNormal);
    EXPECT_FALSE(screen->videoList().empty());  // the old list stays
    ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("OK"));

    server->clearKnobs();
    const auto failed = server->requestsTo("/method/fql.query").size();
    EXPECT_GT(failed, before);
    pull(screen);
    EXPECT_TRUE(screen->isReloading());
    ASSERT_TRUE(pumpUntil([&] { return !screen->isReloading(); }, 10));
    EXPECT_GT(server->requestsTo("/method/fql.query").size(), failed);
    EXPECT_FALSE(AlertRegistry::topAlert());
}

// The one screen serves every option: a failed query keeps the option's own
// list, never the one of the option shown before.
TEST_F(VideoListTest, AFailedQueryKeepsOnlyTheOptionsOwnList) {
    auto screen = openFriendsVideos();
    const auto friends = titles(screen);
    ASSERT_FALSE(friends.empty());

    server->stop();  // no network peer any more
    openFromMenu(0);
    ASSERT_TRUE(pumpUntil([] { return AlertRegistry::topAlert() != nullptr; }, 10));
    EXPECT_EQ(AlertRegistry::topAlert()->message(), WatchVideoViewController::kRetrieveFailedMessage);
    auto shot = ScreenReader::read();
    EXPECT_EQ(shot.title, "My Videos");
    EXPECT_TRUE(shot.rows().empty());
    EXPECT_TRUE(screen->videoList().empty());
    ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("OK"));

    // Back with the network: the option whose fetch failed is fetched again
    // (it is the same option), and a later failure keeps that list.
    server->start();
    openFromMenu(0);
    ASSERT_TRUE(loaded(screen));
    const auto own = titles(screen);
    EXPECT_EQ(own.front(), "Robin cooks");
    server->stop();
    pull(screen);
    ASSERT_TRUE(pumpUntil([] { return AlertRegistry::topAlert() != nullptr; }, 10));
    EXPECT_EQ(titles(screen), own);
    EXPECT_EQ(ScreenReader::read().rows().size(), own.size());
    ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("OK"));
}

// A token the network refuses (error 190) signs the application out; after
// the next sign-in every list loads, the one that failed included, and a
// sign-in as someone else shows that person's list, not the last one.
TEST_F(VideoListTest, AfterARefusedTokenTheNextSignInLoadsEveryList) {
    storeSignIn();
    launch();
    server->revokeToken(server->accessToken());
    auto screen = openFromMenu(2);
    ASSERT_TRUE(pumpUntil([] { return AlertRegistry::topAlert() != nullptr; }, 10));
    EXPECT_FALSE(delegate->canAppContinue());
    ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("OK"));

    auto signIn = [&](const std::string& uid) {
        const auto url = URL::fromString(AppConfig::current().urlScheme() + "://authorize#access_token=" +
                                         platform::Text::percentEscape(server->issueToken(uid, 0)) + "&expires_in=0");
        ASSERT_TRUE(url);
        ASSERT_TRUE(Application::sharedApplication()->handleIncomingURL(*url));
        ASSERT_TRUE(delegate->canAppContinue());
    };
    signIn(server->meUid());
    // The newest video of each option, in the menu's order.
    const std::vector<std::string> newest = {"Robin cooks", "Dana's party", "Blair plays piano",
                                             "Standin Films trailer", "Club meetup"};
    for (int row : {2, 0, 1, 3, 4}) {
        const auto sent = server->requestsTo("/method/fql.query").size();
        openFromMenu(row);
        ASSERT_TRUE(loaded(screen)) << row;
        EXPECT_FALSE(AlertRegistry::topAlert()) << row;
        EXPECT_EQ(titles(screen).front(), newest[static_cast<std::size_t>(row)]) << row;
        EXPECT_GT(server->requestsTo("/method/fql.query").size(), sent) << row;
    }
    // A list fetched in this session is not fetched again.
    const auto sent = server->requestsTo("/method/fql.query").size();
    openFromMenu(4);
    pumpPending();
    EXPECT_EQ(server->requestsTo("/method/fql.query").size(), sent);
    EXPECT_EQ(titles(screen).front(), "Club meetup");

    // Robin's friends' list was on the screen; Alex signs in.
    openFromMenu(2);
    ASSERT_TRUE(loaded(screen));
    delegate->logout();
    signIn("100002");
    openFromMenu(2);
    ASSERT_TRUE(loaded(screen));
    const auto alexFriends = titles(screen);
    EXPECT_NE(std::find(alexFriends.begin(), alexFriends.end(), "Robin cooks"), alexFriends.end());
}

// "Download Video" again for a video already in the download list: a failed
// or cancelled row starts again (no second row, one file); a running one is
// left alone and the user is told so.
TEST_F(VideoListTest, DownloadingAgainRestartsAStoppedRowAndTellsOfARunningOne) {
    auto screen = openFriendsVideos();
    const std::string file = "/files/videos/" + screen->videoList().front()->videoID().value_or("") + ".mp4";
    auto downloadFirst = [&] {
        ASSERT_TRUE(screen->tableView()->tapRowAtIndexPath(IndexPath{0, 0}));
        ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("Download Video"));
    };
    auto rows = [&] { return menu()->downloadList(); };
    auto status = [&] { return rows().empty() ? std::string() : rows().front()->status; };

    server->setKnob(file, statusKnob(500, 1));
    downloadFirst();
    ASSERT_TRUE(pumpUntil([&] { return status() == DownloadList::kStatusFailed; }, 10));
    downloadFirst();
    EXPECT_FALSE(AlertRegistry::topAlert());
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(status(), DownloadList::kStatusDownloading);
    ASSERT_TRUE(pumpUntil([&] { return rows().empty(); }, 10));
    EXPECT_EQ(server->requestsTo(file).size(), 2u);

    server->setKnob(file, holdKnob());
    downloadFirst();
    ASSERT_TRUE(pumpUntil([&] { return server->requestsTo(file).size() == 3; }, 10));
    downloadFirst();
    auto alert = AlertRegistry::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), WatchVideoViewController::kAlreadyDownloadingMessage);
    ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("OK"));
    EXPECT_EQ(rows().size(), 1u);
    EXPECT_EQ(status(), DownloadList::kStatusDownloading);

    menu()->downloads()->restartOrCancelRow(0);
    EXPECT_EQ(status(), DownloadList::kStatusCancelled);
    server->clearKnob(file);
    server->releaseHeld();
    downloadFirst();
    EXPECT_FALSE(AlertRegistry::topAlert());
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(status(), DownloadList::kStatusDownloading);
    ASSERT_TRUE(pumpUntil([&] { return rows().empty(); }, 10));
    EXPECT_EQ(PhotoAlbum::savedFiles().size(), 2u);
}

TEST_F(VideoListTest, TheWallPostsOutcomeIsWhatTheHUDShows) {
    auto screen = openFriendsVideos();
    for (bool fails : {false, true}) {
        if (fails) server->setKnob("/method/links.post", statusKnob(500));
        ASSERT_TRUE(screen->tableView()->tapRowAtIndexPath(IndexPath{0, 0}));
        ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("Share Video on Facebook"));
        ASSERT_TRUE(pumpUntil([&] { return ProgressHUD::sharedView()->markImageName().has_value(); }, 10));
        EXPECT_EQ(*ProgressHUD::sharedView()->markImageName(),
                  fails ? ProgressHUD::kErrorImage : ProgressHUD::kSuccessImage);
        advanceClock(2);
        pumpPending();
        EXPECT_TRUE(pumpUntil([] { return !ProgressHUD::isVisible(); }));
    }
    auto posts = server->requestsTo("/method/links.post");
    ASSERT_FALSE(posts.empty());
    EXPECT_EQ(posts.front().params.at("comment"), "Check out this cool video!");
    EXPECT_NE(posts.front().params.at("url").find("/video/video.php?v="), std::string::npos);
}

TEST_F(VideoListTest, TheTweetReachesTheSheetWithTheVideosPageAndForgetsTheOwnLogin) {
    auto screen = openFriendsVideos();
    // A login of the sharing framework's own route, left from earlier.
    SX::setAuthValueForKeyForSharer(std::string("token"), "accessKey", "SXTwitter");
    SX::setAuthValueForKeyForSharer(std::string("secret"), "accessSecret", "SXTwitter");
    UserDefaults::standardUserDefaults()->setObject(Value::makeDictionary({{"screen_name", Value("robin")}}),
                                                    "kSXTwitterUserInfo");
    ASSERT_TRUE(screen->tableView()->tapRowAtIndexPath(IndexPath{0, 0}));
    ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("Share Video on Twitter"));

    auto sheet = std::dynamic_pointer_cast<TweetComposeViewController>(ScreenReader::topViewController());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->initialText(), "Check out this cool video!");
    ASSERT_EQ(sheet->urls().size(), 1u);
    EXPECT_EQ(sheet->urls()[0].absoluteString(),
              "https://web.social.test/video/video.php?v=" + screen->videoList().front()->videoID().value_or(""));
    EXPECT_FALSE(SX::getAuthValueForKeyForSharer("accessKey", "SXTwitter"));
    EXPECT_FALSE(SX::getAuthValueForKeyForSharer("accessSecret", "SXTwitter"));
    EXPECT_FALSE(UserDefaults::standardUserDefaults()->objectForKey("kSXTwitterUserInfo"));

    sheet->send();
    ASSERT_EQ(TweetComposeViewController::sentTweets().size(), 1u);
    EXPECT_EQ(TweetComposeViewController::sentTweets()[0].text, "Check out this cool video!");
    EXPECT_EQ(ScreenReader::topViewController(), screen);
}

TEST_F(VideoListTest, PlaybackOfferedSourcesAndTheEventAfterIt) {
    auto screen = openFriendsVideos();
    MoviePlayerController::clearPlaybackLog();
    MoviePlayerController::setFinishesImmediately(true);
    auto play = [&] {
        const auto before = MoviePlayerController::playbackLog().size();
        ASSERT_TRUE(screen->tableView()->tapRowAtIndexPath(IndexPath{0, 0}));
        auto sheet = ScreenReader::read().alert;
        ASSERT_TRUE(sheet);
        EXPECT_EQ(sheet->title, "What do you want to do?");
        ASSERT_TRUE(AlertRegistry::pressButtonWithTitle("Watch HD Video"));
        ASSERT_TRUE(pumpUntil([&] {
            return MoviePlayerController::playbackLog().size() > before && ScreenReader::read().controller == screen;
        }));
        pumpPending();
    };
    // The application never starts an analytics session: nothing is recorded.
    play();
    EXPECT_FALSE(TallySession::currentSession());
    EXPECT_TRUE(TallySession::savedSessions().empty());
    // With a session current, the playback's event lands in it.
    auto session = TallySession::createActiveTallySession("KEY");
    play();
    EXPECT_EQ(session->eventCounts(), (Value::Dictionary{{"Watch Video", Value(1)}}));
    ASSERT_EQ(session->eventLog().size(), 1u);
    EXPECT_EQ(session->eventLog()[0]->name(), "Watch Video");
    ASSERT_EQ(MoviePlayerController::playbackLog().size(), 2u);
    EXPECT_EQ(MoviePlayerController::playbackLog().front(), *screen->videoList().front()->srcHD());
}

TEST(VideoListEmailTest, NetworkTextsAreEscapedInTheBody) {
    Video video;
    video.setVideoID("400021");
    video.setTitle(std::string("<script>\"x\" & y"));
    video.setThumbnailLink(std::string("https://graph.social.test/t.png\"onerror=\"x"));
    const std::string body = WatchVideoViewController::emailBodyForVideo(video);
    EXPECT_NE(body.find("&lt;script&gt;&quot;x&quot; &amp; y<br>"), std::string::npos);
    EXPECT_NE(body.find("src=\"https://graph.social.test/t.png&quot;onerror=&quot;x\""), std::string::npos);
    EXPECT_EQ(body.find("<script>"), std::string::npos);
}

}  // namespace
