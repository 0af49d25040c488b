// clipora: the device program. Launches the application and is its screen
// and finger in a terminal.
//
//     clipora [--standin-port N] [--ca-file FILE] [--script FILE]

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "tools/clipora/DeviceProgram.h"
#include "tools/clipora/TerminalText.h"

namespace {

// The log file in the home, appended to and readable by its owner only; -1
// when it cannot be opened.
int openLog() {
    std::error_code error;
    const auto folder = std::filesystem::path(clipora::platform::FileManager::homeDirectory()) / "Library" / "Logs";
    std::filesystem::create_directories(folder, error);
    return ::open((folder / "clipora.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
}

std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    return stamp;
}

}  // namespace

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
                         "commands: "
                      << DeviceProgram::kCommandList
                      << "\n"
                         "A script stops at the first command that fails; the exit status is then 1.\n"
                         "The application's log goes to Library/Logs/clipora.log in the home.\n";
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
    // The log goes to a file of its own, not into the screens drawn on the
    // terminal; where the file cannot be written, to standard error, and
    // what the network sent reaches it only as printable text.
    const int logFile = openLog();
    clipora::platform::Log::setSink([logFile](const std::string& message) {
        const std::string text = clipora::device::TerminalText::printable(message);
        if (logFile < 0) {
            clipora::platform::Log::writeToStandardError(text);
            return;
        }
        const std::string line = timeStamp() + " " + text + "\n";
        for (std::size_t done = 0; done < line.size();) {
            const ssize_t n = ::write(logFile, line.data() + done, line.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
    });
    if (script.empty() && ::isatty(STDIN_FILENO)) options.terminalFd = STDIN_FILENO;
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
