#pragma once

// What the throughput benchmarks share: reading the process's memory
// figures, one transfer's figures, timing curl on the same URL, and a
// loopback server of responses of a given size. Header only: every benchmark is its own executable.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "tests/support/RawServer.h"

namespace clipora::bench {

class BenchSupport {
public:
    using Clock = std::chrono::steady_clock;

    // One timed transfer; each benchmark fills in the figures it measures.
    struct Run {
        double seconds = 0;
        std::uint64_t bytes = 0;  // received, or written to the output file
        long peakKiB = 0;
        long peakGrowthKiB = 0;
        long pageFaults = 0;
        bool ok = false;
    };

    static double mibPerSecond(std::uint64_t bytes, double seconds) {
        return seconds > 0 ? static_cast<double>(bytes) / (1024.0 * 1024.0) / seconds : 0;
    }
    static double mibPerSecond(const Run& run) { return mibPerSecond(run.bytes, run.seconds); }

    // A figure in KiB from /proc/self/status ("VmRSS:", "VmHWM:"); 0 when
    // absent.
    static long statusKiB(const char* key) {
        std::ifstream in("/proc/self/status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::string(key).size(), nullptr, 10);
        }
        return 0;
    }

    // Starts the peak resident set (VmHWM) afresh.
    static void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

    // 0 when the file is missing.
    static std::uint64_t fileSize(const std::filesystem::path& path) {
        std::error_code ec;
        auto size = std::filesystem::file_size(path, ec);
        return ec ? 0 : size;
    }

    // `curl -s [--compressed] -o <output> <url>`, process start included.
    static Run curlToFile(const std::string& url, const std::filesystem::path& output, bool compressed = false) {
        Run r;
        std::filesystem::remove(output);
        const auto start = Clock::now();
        const std::string command = std::string("curl -s ") + (compressed ? "--compressed " : "") + "-o '" +
                                    output.string() + "' '" + url + "'";
        r.ok = std::system(command.c_str()) == 0;
        r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        r.bytes = fileSize(output);
        return r;
    }

    // A 200 response of `size` filler bytes that closes the connection.
    static void sendFillerResponse(test::RawServer::Connection& c, const std::string& contentType, std::uint64_t size) {
        c.send("HTTP/1.1 200 OK\r\nContent-Type: " + contentType + "\r\nContent-Length: " + std::to_string(size) +
               "\r\nConnection: close\r\n\r\n");
        c.sendFiller(size);
    }

    // A loopback server answering every request with sendFillerResponse.
    static std::unique_ptr<test::RawServer> fillerServer(const std::string& contentType, std::uint64_t size) {
        return std::make_unique<test::RawServer>([contentType, size](test::RawServer::Connection& c) {
            if (c.readRequest().empty()) return;
            sendFillerResponse(c, contentType, size);
        });
    }
};

}  // namespace clipora::bench
