// clipora-standin: the local stand-in of the social network as a program.
//
//   clipora-standin [--port N] [--ca-out FILE] [--data FILE] [--state FILE]
//                   [--log FILE] [--domain NAME] [--host ROLE=NAME]...
//
// Serves every host of the network over HTTPS on 127.0.0.1:N (an ephemeral
// port when N is 0 or absent), writes the CA certificate clients must trust
// to FILE, prints one line per host role, "<role> <base URL>", after a line
// "port <N>", and runs until SIGINT or SIGTERM. What it has to report (a
// damaged state file, a state it cannot write) goes to its log, by default
// "standin.log" beside the state file ("-": standard error); the line
// "log <FILE>" before "ready" says where, so that whoever started it can
// show the user what it reported. Clients map each host name
// to 127.0.0.1:N themselves (the device program does so through the
// platform's resolver override).
//
// What it issues (tokens, browser sessions, posts, uploads) is kept in the
// state file, by default "standin/state.json" in the application's home
// (the same home the device program uses), so that the next start still
// knows the token a client kept.

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/foundation/FileManager.h"
#include "tools/standin/StandinServer.h"

namespace {

int usage(const std::string& problem) {
    std::cerr << "clipora-standin: " << problem << "\n"
              << "usage: clipora-standin [--port N] [--ca-out FILE] [--data FILE] [--state FILE] [--log FILE] "
                 "[--domain NAME] [--host ROLE=NAME]...\n"
              << "roles: web www login rest graph video maker\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace clipora::standin;
    StandinServer::Options options;
    options.trustCA = false;
    options.overrideResolver = false;
    std::string caOut;
    std::string logFile;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) return {};
            return argv[++i];
        };
        if (arg == "--port") {
            std::string text = value();
            char* end = nullptr;
            long port = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || port < 0 || port > 65535) return usage("bad port " + text);
            options.port = static_cast<std::uint16_t>(port);
        } else if (arg == "--ca-out") {
            caOut = value();
            if (caOut.empty()) return usage("--ca-out needs a file");
        } else if (arg == "--data") {
            options.dataFile = value();
            if (options.dataFile.empty()) return usage("--data needs a file");
        } else if (arg == "--state") {
            options.stateFile = value();
            if (options.stateFile.empty()) return usage("--state needs a file");
        } else if (arg == "--log") {
            logFile = value();
            if (logFile.empty()) return usage("--log needs a file (or -)");
        } else if (arg == "--domain") {
            options.domain = value();
            if (options.domain.empty()) return usage("--domain needs a name");
        } else if (arg == "--host") {
            std::string pair = value();
            auto eq = pair.find('=');
            bool found = false;
            if (eq != std::string::npos && eq + 1 < pair.size()) {
                for (StandinHost role : StandinHosts::kAll) {
                    if (StandinHosts::label(role) == pair.substr(0, eq)) {
                        options.hostNames[role] = pair.substr(eq + 1);
                        found = true;
                    }
                }
            }
            if (!found) return usage("bad --host " + pair);
        } else if (arg == "--help" || arg == "-h") {
            usage("the local stand-in of the social network");
            return 0;
        } else {
            return usage("unknown argument " + arg);
        }
    }

    if (options.stateFile.empty())
        options.stateFile =
            std::filesystem::path(clipora::platform::FileManager::homeDirectory()) / "standin" / "state.json";
    if (logFile.empty()) logFile = (options.stateFile.parent_path() / "standin.log").string();
    // Standard error goes to the log from here on (the library's messages
    // are written there); the real one is kept for a failure to start.
    const int terminal = dup(STDERR_FILENO);
    if (logFile != "-") {
        std::error_code code;
        std::filesystem::create_directories(std::filesystem::path(logFile).parent_path(), code);
        const int fd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || dup2(fd, STDERR_FILENO) < 0) {
            std::cerr << "clipora-standin: cannot write the log " << logFile << "\n";
            return 1;
        }
        close(fd);
    }
    auto failed = [&](const std::string& problem) {
        std::cerr << "clipora-standin: " << problem << std::endl;
        const std::string line = "clipora-standin: " + problem + "\n";
        if (logFile != "-" && terminal >= 0) {
            const ssize_t written = write(terminal, line.data(), line.size());
            (void)written;
        }
        return 1;
    };

    // Block the stop signals in every thread the server starts; the main
    // thread takes them with sigwait.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        StandinServer server(options);
        server.start();
        if (!caOut.empty()) {
            std::ofstream out(caOut, std::ios::binary | std::ios::trunc);
            out << server.caPEM();
            if (!out) return failed("cannot write " + caOut);
        }
        std::cout << "port " << server.port() << "\n";
        std::cout << "log " << logFile << "\n";
        for (StandinHost role : StandinHosts::kAll) {
            std::cout << StandinHosts::label(role) << " " << server.baseURL(role) << "\n";
        }
        std::cout << "ready" << std::endl;
        int received = 0;
        sigwait(&signals, &received);
        server.stop();
    } catch (const std::exception& e) {
        return failed(e.what());
    }
    return 0;
}
