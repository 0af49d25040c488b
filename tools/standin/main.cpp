// clipora-standin: the local stand-in of the social network as a program.
//
//   clipora-standin [--port N] [--ca-out FILE] [--data FILE] [--state FILE]
//                   [--domain NAME] [--host ROLE=NAME]...
//
// Serves every host of the network over HTTPS on 127.0.0.1:N (an ephemeral
// port when N is 0 or absent), writes the CA certificate clients must trust
// to FILE, prints one line per host role, "<role> <base URL>", after a line
// "port <N>", and runs until SIGINT or SIGTERM. Clients map each host name
// to 127.0.0.1:N themselves (the device program does so through the
// platform's resolver override).
//
// What it issues (tokens, browser sessions, posts, uploads) is kept in the
// state file, by default "standin/state.json" in the application's home
// (the same home the device program uses), so that the next start still
// knows the token a client kept.

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
              << "usage: clipora-standin [--port N] [--ca-out FILE] [--data FILE] [--state FILE] "
                 "[--domain NAME] [--host ROLE=NAME]...\n"
              << "roles: web www login rest graph video\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace clipora::standin;
    StandinServer::Options options;
    options.trustCA = false;
    options.overrideResolver = false;
    std::string caOut;
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
            if (!out) {
                std::cerr << "clipora-standin: cannot write " << caOut << "\n";
                return 1;
            }
        }
        std::cout << "port " << server.port() << "\n";
        for (StandinHost role : StandinHosts::kAll) {
            std::cout << StandinHosts::label(role) << " " << server.baseURL(role) << "\n";
        }
        std::cout << "ready" << std::endl;
        int received = 0;
        sigwait(&signals, &received);
        server.stop();
    } catch (const std::exception& e) {
        std::cerr << "clipora-standin: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
