#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/CinevueAppDelegate.h"
#include "tools/clipora/BrowserHandOver.h"
#include "tools/clipora/ScreenWatcher.h"

namespace clipora::platform {
class WebView;
}

namespace clipora::device {

// The device: launches the application on the platform layer, draws the
// topmost screen as text whenever it changes and plays the finger from
// commands. It holds no application logic: every command is a tap, a press
// or a URL the platform would deliver.
//
// Commands: a row number (tap it), "back", "b N" (the Nth button the screen
// shows), "type TEXT" (the focused field), "open URL" (a URL handed to the
// application), "delete N" (the delete button of row N), "settings" (the
// root menu's info button), "toggle N" / "slide N V" (the switch or slider
// of row N), "down" / "up" (scroll the table), "refresh" (pull the list
// down), "browser", "link N", "close", "wait TEXT" (until the screen shows
// TEXT), "quit" (the platform's termination). A command takes effect at
// once, whatever the application is busy with; only "wait" waits. A command
// that cannot be done (no such row, button, field, a wait that timed out, an
// unknown command) says why and fails.
//
// Everything the window shows is drawn: the topmost screen (its rows with
// the controls inside them, its own labels, buttons and switches), a view
// put over it (a web dialog), the alert or sheet, the HUD. Rows are
// numbered by their place in the table and buttons by their place on the
// screen, so scrolling or a figure coming and going renumbers nothing.
class DeviceProgram {
public:
    struct Options {
        // Serve the social network's hosts from the stand-in on this
        // loopback port (0: the names resolve as they are).
        std::uint16_t standinPort = 0;
        // Trusted CA certificate for the stand-in's TLS.
        std::string caFile;
        // Echo each command before its screen (script mode).
        bool echoCommands = false;
        // How long "wait" waits for its text.
        double waitSeconds = 30;
        // The terminal the user types on (interactive runs): its echo is
        // turned off while a secure field has the keyboard. -1: none.
        int terminalFd = -1;
    };

    enum class Outcome { Done, Failed, Quit };

    struct Button {
        std::string title;
        std::function<void()> press;
    };
    // The screen as drawn, with what the commands reach on it.
    struct Drawing {
        std::string text;
        std::vector<Button> buttons;
        // The page whose links "link N" taps.
        std::shared_ptr<platform::WebView> page;
        // A view over the screen (a dialog) takes the finger: rows cannot be
        // tapped then.
        bool covered = false;
    };

    // The commands, as the help and an unknown command list them.
    static constexpr const char* kCommandList =
        "N, back, b N, type TEXT, open URL, delete N, settings, toggle N, slide N V, down, up, refresh, browser, "
        "link N, field N, submit [N], close, wait TEXT, wait !TEXT, quit";

    explicit DeviceProgram(Options options);

    // Launches the application.
    void launch();
    // Reads commands until "quit" or the end of the input and answers the
    // exit status. A script (not interactive) stops at the first command
    // that fails, says which line it was and answers 1. Interactive input is
    // read on a thread of its own, so the run loop turns (and the screen is
    // drawn as it changes) while the user thinks.
    int run(std::istream& input, std::ostream& output, bool interactive);
    // Runs one command, writing what went wrong to `output`.
    Outcome execute(const std::string& command, std::ostream& output);
    // The command as the transcript shows it: printable, cut to a readable
    // length, and with the text typed into a secure field masked.
    std::string echo(const std::string& command);
    // The screen as drawn.
    std::string screenText();
    // Turns the main run loop until the screen has been still for a moment,
    // at most `seconds`. It does not wait for the application's own work (a
    // busy indicator, a page loading): that is what "wait" is for.
    void settle(double seconds);
    // Whether what is typed next goes into a secure field.
    bool secureFieldHasKeyboard() const;
    // For each command read interactively, how long it waited between being
    // read and being carried out.
    const std::vector<std::chrono::steady_clock::duration>& commandDelays() const { return commandDelays_; }

private:
    Drawing draw();
    std::vector<Button> buttons() { return draw().buttons; }
    bool tapRow(int number, std::ostream& output);
    // One turn of the main run loop, then a look at the screen.
    void turn(std::chrono::milliseconds maxWait);
    int runScript(std::istream& input, std::ostream& output);
    int runInteractive(std::istream& input, std::ostream& output);
    void terminate();

    Options options_;
    std::shared_ptr<CinevueAppDelegate> delegate_;
    std::shared_ptr<BrowserHandOver> handOver_;
    // Draws the screen while run() runs.
    std::unique_ptr<ScreenWatcher> watcher_;
    bool terminated_ = false;
    std::vector<std::chrono::steady_clock::duration> commandDelays_;
};

}  // namespace clipora::device
