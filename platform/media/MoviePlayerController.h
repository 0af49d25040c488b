#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"

namespace clipora::platform {

class View;

// A movie player for one content URL. Nothing is decoded here: the player
// records what it is asked to play and when, and playback ends on command
// (finishPlayback(), the device program's "Done", or at once when
// setFinishesImmediately(true) is in force). The end posts
// kPlaybackDidFinishNotification with the player as object and the reason
// under kPlaybackDidFinishReasonUserInfoKey. Main thread only.
class MoviePlayerController : public Object, public std::enable_shared_from_this<MoviePlayerController> {
public:
    static constexpr const char* kPlaybackDidFinishNotification = "MPMoviePlayerPlaybackDidFinishNotification";
    static constexpr const char* kPlaybackDidFinishReasonUserInfoKey =
        "MPMoviePlayerPlaybackDidFinishReasonUserInfoKey";

    enum PlaybackState : int {
        PlaybackStateStopped = 0,
        PlaybackStatePlaying = 1,
        PlaybackStatePaused = 2,
        PlaybackStateInterrupted = 3,
    };
    enum FinishReason : int {
        FinishReasonPlaybackEnded = 0,
        FinishReasonPlaybackError = 1,
        FinishReasonUserExited = 2,
    };

    explicit MoviePlayerController(URL contentURL);
    ~MoviePlayerController() override;

    const URL& contentURL() const { return contentURL_; }
    void setContentURL(URL url) { contentURL_ = std::move(url); }
    // The player's view (made on first use), which a screen may show.
    std::shared_ptr<View> view();

    void prepareToPlay() {}
    // Starts (or resumes) playback; a start from the stopped state is
    // recorded in the playback log.
    void play();
    void pause();
    void stop();
    PlaybackState playbackState() const { return state_; }
    // Whether this player finished since it last started.
    bool hasFinished() const { return finished_; }

    // Ends playback: the player stops and posts the finish notification.
    // Nothing when it is already stopped and finished.
    void finishPlayback(FinishReason reason = FinishReasonPlaybackEnded);

    // --- Process-wide record (tests and the device program) ---
    // The absolute URLs of every playback started, in order.
    static std::vector<std::string> playbackLog();
    static void clearPlaybackLog();
    // The player playing now (the last one started), if any.
    static std::shared_ptr<MoviePlayerController> nowPlaying();
    // When true, every playback ends (reason "ended") on the next turn of the
    // main run loop after it starts.
    static void setFinishesImmediately(bool immediately);
    static bool finishesImmediately();

    std::string description() const override;

private:
    URL contentURL_;
    PlaybackState state_ = PlaybackStateStopped;
    bool finished_ = false;
    std::shared_ptr<View> view_;
};

}  // namespace clipora::platform
