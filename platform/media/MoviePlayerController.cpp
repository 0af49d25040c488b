#include "platform/media/MoviePlayerController.h"

#include <mutex>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/uikit/View.h"

namespace clipora::platform {

namespace {

struct Record {
    std::mutex mutex;
    std::vector<std::string> log;
    std::weak_ptr<MoviePlayerController> playing;
    bool immediate = false;
};

Record& record() {
    static Record value;
    return value;
}

}  // namespace

MoviePlayerController::MoviePlayerController(URL contentURL) : contentURL_(std::move(contentURL)) {}

MoviePlayerController::~MoviePlayerController() = default;

std::shared_ptr<View> MoviePlayerController::view() {
    if (!view_) {
        view_ = std::make_shared<View>();
        view_->setBackgroundColor(Color::blackColor());
        view_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    }
    return view_;
}

void MoviePlayerController::play() {
    if (state_ == PlaybackStatePlaying) return;
    bool fresh = state_ == PlaybackStateStopped;
    state_ = PlaybackStatePlaying;
    finished_ = false;
    bool immediate;
    {
        std::lock_guard lock(record().mutex);
        if (fresh) record().log.push_back(contentURL_.absoluteString());
        record().playing = weak_from_this();
        immediate = record().immediate;
    }
    if (immediate && fresh) {
        std::weak_ptr<MoviePlayerController> weak = weak_from_this();
        RunLoop::main()->perform([weak] {
            if (auto player = weak.lock(); player && player->state_ != PlaybackStateStopped) {
                player->finishPlayback(FinishReasonPlaybackEnded);
            }
        });
    }
}

void MoviePlayerController::pause() {
    if (state_ == PlaybackStatePlaying) state_ = PlaybackStatePaused;
}

void MoviePlayerController::stop() { state_ = PlaybackStateStopped; }

void MoviePlayerController::finishPlayback(FinishReason reason) {
    if (state_ == PlaybackStateStopped && finished_) return;
    state_ = PlaybackStateStopped;
    finished_ = true;
    auto self = shared_from_this();  // an observer may drop its last reference
    NotificationCenter::defaultCenter().post(
        kPlaybackDidFinishNotification, Value(std::static_pointer_cast<Object>(self)),
        Value::makeDictionary({{kPlaybackDidFinishReasonUserInfoKey, static_cast<int>(reason)}}));
}

std::vector<std::string> MoviePlayerController::playbackLog() {
    std::lock_guard lock(record().mutex);
    return record().log;
}

void MoviePlayerController::clearPlaybackLog() {
    std::lock_guard lock(record().mutex);
    record().log.clear();
}

std::shared_ptr<MoviePlayerController> MoviePlayerController::nowPlaying() {
    std::shared_ptr<MoviePlayerController> player;
    {
        std::lock_guard lock(record().mutex);
        player = record().playing.lock();
    }
    if (player && player->state_ != PlaybackStateStopped) return player;
    return nullptr;
}

void MoviePlayerController::setFinishesImmediately(bool immediately) {
    std::lock_guard lock(record().mutex);
    record().immediate = immediately;
}

bool MoviePlayerController::finishesImmediately() {
    std::lock_guard lock(record().mutex);
    return record().immediate;
}

std::string MoviePlayerController::description() const {
    return "<MoviePlayerController " + contentURL_.absoluteString() + ">";
}

}  // namespace clipora::platform
