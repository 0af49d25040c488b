#include "platform/media/MoviePlayerController.h"
#include "platform/media/MoviePlayerViewController.h"

#include <gtest/gtest.h>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Window.h"
#include "tests/platform/media/OnScreen.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

class MoviePlayerTest : public test::PlatformTest {
protected:
    void SetUp() override {
        test::PlatformTest::SetUp();
        MoviePlayerController::clearPlaybackLog();
    }
    void TearDown() override {
        NotificationCenter::defaultCenter().removeObserver(this);
        MoviePlayerController::setFinishesImmediately(false);
        MoviePlayerViewController::setAvailable(true);
        test::PlatformTest::TearDown();
    }

    struct Finish {
        const Object* object = nullptr;
        int reason = -1;
        int count = 0;
    };
    void observe(const MoviePlayerController& player, Finish& finish) {
        NotificationCenter::defaultCenter().addObserver(
            MoviePlayerController::kPlaybackDidFinishNotification, &player,
            [&finish](const Notification& n) {
                finish.object = n.object.object().get();
                finish.reason = static_cast<int>(
                    n.userInfo.find(MoviePlayerController::kPlaybackDidFinishReasonUserInfoKey)->integerValue());
                ++finish.count;
            },
            this);
    }

    static URL url(const char* text) { return *URL::fromString(text); }
};

TEST_F(MoviePlayerTest, PlainPlayerRecordsWhatItPlaysAndPostsTheFinishWithItselfAsObject) {
    auto player = std::make_shared<MoviePlayerController>(url("http://video.example/v/1.mp4"));
    Finish finish;
    observe(*player, finish);
    player->play();
    EXPECT_EQ(player->playbackState(), MoviePlayerController::PlaybackStatePlaying);
    EXPECT_EQ(MoviePlayerController::nowPlaying(), player);
    player->pause();
    player->play();  // resuming is not a new playback
    EXPECT_EQ(MoviePlayerController::playbackLog(), std::vector<std::string>{"http://video.example/v/1.mp4"});
    EXPECT_EQ(finish.count, 0);

    player->finishPlayback();
    EXPECT_EQ(finish.count, 1);
    EXPECT_EQ(finish.object, player.get());
    EXPECT_EQ(finish.reason, MoviePlayerController::FinishReasonPlaybackEnded);
    EXPECT_EQ(player->playbackState(), MoviePlayerController::PlaybackStateStopped);
    EXPECT_EQ(MoviePlayerController::nowPlaying(), nullptr);
    player->finishPlayback();
    EXPECT_EQ(finish.count, 1);  // once per playback
}

TEST_F(MoviePlayerTest, FullScreenPlayerPlaysWhenPresentedAndDoneEndsIt) {
    test::OnScreen screenOn;
    auto presenter = screenOn.presenter;
    auto screen = std::make_shared<MoviePlayerViewController>(url("http://video.example/hd.mp4"));
    Finish finish;
    observe(*screen->moviePlayer(), finish);
    presenter->presentModalViewControllerAnimated(screen, true);
    EXPECT_EQ(screen->moviePlayer()->playbackState(), MoviePlayerController::PlaybackStatePlaying);
    EXPECT_EQ(MoviePlayerController::playbackLog(), std::vector<std::string>{"http://video.example/hd.mp4"});
    screen->done();
    EXPECT_EQ(finish.count, 1);
    EXPECT_EQ(finish.reason, MoviePlayerController::FinishReasonUserExited);
    presenter->dismissModalViewControllerAnimated(true);
    EXPECT_EQ(presenter->presentedViewController(), nullptr);
}

TEST_F(MoviePlayerTest, FinishesOnTheNextTurnWhenToldToFinishImmediately) {
    MoviePlayerController::setFinishesImmediately(true);
    auto player = std::make_shared<MoviePlayerController>(url("file:///tmp/a.mov"));
    Finish finish;
    observe(*player, finish);
    player->play();
    EXPECT_EQ(finish.count, 0);
    ASSERT_TRUE(pumpUntil([&] { return finish.count == 1; }));
    EXPECT_EQ(finish.reason, MoviePlayerController::FinishReasonPlaybackEnded);
}

}  // namespace
}  // namespace clipora::platform
