#include "platform/media/MoviePlayerViewController.h"

#include <atomic>

#include "platform/uikit/View.h"

namespace clipora::platform {

namespace {
std::atomic<bool>& available() {
    static std::atomic<bool> value{true};
    return value;
}
}  // namespace

MoviePlayerViewController::MoviePlayerViewController(URL contentURL)
    : player_(std::make_shared<MoviePlayerController>(std::move(contentURL))) {}

void MoviePlayerViewController::done() { player_->finishPlayback(MoviePlayerController::FinishReasonUserExited); }

bool MoviePlayerViewController::isAvailable() { return available().load(); }

void MoviePlayerViewController::setAvailable(bool value) { available().store(value); }

void MoviePlayerViewController::loadView() {
    auto root = std::make_shared<View>(fullScreenFrame());
    root->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    root->setBackgroundColor(Color::blackColor());
    auto movie = player_->view();
    movie->setFrame(root->bounds());
    root->addSubview(movie);
    setView(root);
}

void MoviePlayerViewController::viewDidAppear(bool animated) {
    ViewController::viewDidAppear(animated);
    if (player_->playbackState() == MoviePlayerController::PlaybackStateStopped && !player_->hasFinished()) {
        player_->play();
    }
}

bool MoviePlayerViewController::shouldAutorotateToInterfaceOrientation(int) { return true; }

std::string MoviePlayerViewController::description() const {
    return "<MoviePlayerViewController " + player_->contentURL().absoluteString() + ">";
}

}  // namespace clipora::platform
