// clipora: the device program. Launches the application and is its screen
// and finger in a terminal.
//
//     clipora [--standin-port N] [--ca-file FILE] [--script FILE]

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "tools/clipora/DeviceProgram.h"
#include "tools/clipora/TerminalText.h"

int main(int argc, char** argv) {
    using clipora::device::DeviceProgram;
    DeviceProgram::Options options;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "clipora: " << arg << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--standin-port") {
            auto port = clipora::platform::Text::parseInt64(value());
            if (!port || *port <= 0 || *port > 65535) {
                std::cerr << "clipora: bad port\n";
                return 2;
            }
            options.standinPort = static_cast<std::uint16_t>(*port);
        } else if (arg == "--ca-file") {
            options.caFile = value();
        } else if (arg == "--script") {
            script = value();
        } else if (arg == "--help" || arg == "-h") {
            std::cout << "usage: clipora [--standin-port N] [--ca-file FILE] [--script FILE]\n"
                         "commands: N (tap row N), back, b N (button N), type TEXT, open URL, delete N,\n"
                         "          settings, toggle N, slide N V, down, up, browser, link N, close,\n"
                         "          wait TEXT, wait !TEXT, quit\n"
                         "A script stops at the first command that fails; the exit status is then 1.\n";
            return 0;
        } else {
            std::cerr << "clipora: unknown argument " << arg << "\n";
            return 2;
        }
    }

    options.echoCommands = !script.empty();
    std::ifstream file;
    if (!script.empty()) {
        file.open(script);
        if (!file) {
            std::cerr << "clipora: cannot read " << script << "\n";
            return 2;
        }
    }
    // The log shares the terminal: what the network sent reaches it only
    // as printable text.
    clipora::platform::Log::setSink([](const std::string& message) {
        clipora::platform::Log::writeToStandardError(clipora::device::TerminalText::printable(message));
    });
    DeviceProgram program(options);
    program.launch();
    const int status = script.empty() ? program.run(std::cin, std::cout, true) : program.run(file, std::cout, false);
    // The application has terminated (its list is archived), but loads it
    // started (thumbnails, a token extension) may still be at work on other
    // threads; the clean-up that exit() runs (static objects, the TLS
    // library's tables) would be pulled from under them. The process ends
    // here and the system takes the rest back.
    std::cout.flush();
    std::cerr.flush();
    std::_Exit(status);
}
