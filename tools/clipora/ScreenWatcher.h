#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace clipora::device {

// Keeps the terminal showing the screen as it is: the device program asks
// it to look after every turn of the main run loop, and it draws the screen
// again when it changed, without waiting for a command. A screen that
// changes in a burst (a list filling in) is drawn once it has been still
// for a moment; one that keeps changing (a download's progress) at least
// once a second. Main thread.
class ScreenWatcher {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kStill{200};
    static constexpr std::chrono::milliseconds kMaxDelay{1000};

    // `render` answers the screen as text; `draw` puts a rendering on the
    // terminal.
    ScreenWatcher(std::function<std::string()> render, std::function<void(const std::string&)> draw);

    // Renders the screen and draws it when due (see above), or when a
    // command is owed its screen and the screen has been still since the
    // command for a moment (at most kMaxDelay after it).
    void look();
    // A command was carried out: its screen is owed (a command that changed
    // nothing is still answered with the screen and a prompt).
    void commandDone();
    // Draws the screen as it is now.
    void drawNow();
    // Draws the screen when it differs from what the terminal shows or when
    // nothing was drawn since the last mark (so each command of a script is
    // followed by its screen), then marks.
    void drawSettled();
    // Remembers that nothing has been drawn since now.
    void mark() { drawnSinceMark_ = false; }

private:
    // Renders the screen and notes when it changed.
    void see(Clock::time_point now);
    void show(const std::string& screen);

    std::function<std::string()> render_;
    std::function<void(const std::string&)> draw_;
    std::string shown_;  // on the terminal
    std::string seen_;
    // The rendering last seen, since when it is so, and since when the
    // renderings differ from what the terminal shows.
    Clock::time_point seenSince_;
    Clock::time_point differsSince_;
    bool drawnSinceMark_ = false;
    bool owed_ = false;
    Clock::time_point commandAt_;
};

}  // namespace clipora::device
