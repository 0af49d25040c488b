#include "tools/clipora/ScreenWatcher.h"

#include <algorithm>

namespace clipora::device {

ScreenWatcher::ScreenWatcher(std::function<std::string()> render, std::function<void(const std::string&)> draw)
    : render_(std::move(render)), draw_(std::move(draw)), seenSince_(Clock::now()), differsSince_(Clock::now()) {}

void ScreenWatcher::see(Clock::time_point now) {
    std::string screen = render_();
    if (screen == seen_) return;
    if (seen_ == shown_) differsSince_ = now;
    seen_ = std::move(screen);
    seenSince_ = now;
}

void ScreenWatcher::look() {
    const auto now = Clock::now();
    see(now);
    if (seen_ != shown_ && (now - seenSince_ >= kStill || now - differsSince_ >= kMaxDelay)) {
        show(seen_);
    } else if (owed_ && (now - std::max(seenSince_, commandAt_) >= kStill || now - commandAt_ >= kMaxDelay)) {
        show(seen_);
    }
}

void ScreenWatcher::commandDone() {
    mark();
    owed_ = true;
    commandAt_ = Clock::now();
}

void ScreenWatcher::drawNow() {
    see(Clock::now());
    show(seen_);
}

void ScreenWatcher::drawSettled() {
    see(Clock::now());
    if (seen_ != shown_ || !drawnSinceMark_) show(seen_);
    mark();
}

void ScreenWatcher::show(const std::string& screen) {
    shown_ = screen;
    owed_ = false;
    drawnSinceMark_ = true;
    draw_(shown_);
}

}  // namespace clipora::device
