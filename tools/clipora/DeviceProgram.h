#pragma once

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

namespace clipora::device {

// The device: launches the application on the platform layer, draws the
// topmost screen as text after every change and plays the finger from
// commands. It holds no application logic: every command is a tap, a press
// or a URL the platform would deliver.
//
// Commands: a row number (tap it), "back", "b N" (the Nth bar, alert or
// sheet button), "type TEXT" (the focused field), "open URL" (a URL handed
// to the application), "delete N" (the delete button of row N), "settings"
// (the root menu's info button), "toggle N" / "slide N V" (the switch or
// slider of row N), "down" / "up" (scroll the table), "wait TEXT" (until the screen shows TEXT), "quit" (the
// platform's termination).
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
    };

    explicit DeviceProgram(Options options);

    // Launches the application.
    void launch();
    // Reads commands until "quit" or the end of the input; answers the exit status.
    int run(std::istream& input, std::ostream& output, bool interactive);
    // Runs one command; false when it ends the program.
    bool execute(const std::string& command, std::ostream& output);
    // The screen as drawn.
    std::string screenText();
    // Turns the main run loop until the screen has been still for a moment
    // and nothing is being waited for, at most `seconds`.
    void settle(double seconds);

private:
    struct Button {
        std::string title;
        std::function<void()> press;
    };
    std::vector<Button> buttons();
    void tapRow(int number, std::ostream& output);
    void terminate();

    Options options_;
    std::shared_ptr<CinevueAppDelegate> delegate_;
    std::shared_ptr<BrowserHandOver> handOver_;
    bool terminated_ = false;
};

}  // namespace clipora::device
