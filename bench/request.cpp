// Request-engine throughput against curl.
//
// A raw loopback server sends (1) a 256 MiB body, which the engine downloads
// into a file (downloadDestinationPath) and curl writes with -o; and (2) a
// gzip body that inflates to 64 MiB, which the engine inflates on the fly
// into a file, asynchronously (on the network thread) and synchronously (on
// the calling thread, startSynchronous), and curl fetches with --compressed. Both run in the same
// process and the engine's throughput is given as a ratio of curl's (bytes
// on the wire per second, best of the rounds). Memory is the largest growth
// of the process's resident set (VmRSS, sampled every millisecond by a
// thread of its own) over what it was when the engine's request started;
// minor page faults are counted over the same span.
//
//   bench_request [download MiB] [gzip MiB] [rounds]

#include <sys/resource.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "bench/support/BenchSupport.h"
#include "net/request/RQDataCompressor.h"
#include "net/request/RQHTTPRequest.h"
#include "platform/foundation/URL.h"
#include "tests/support/Pump.h"
#include "tests/support/RawServer.h"

namespace {

using namespace clipora;
using bench::BenchSupport;
using Clock = BenchSupport::Clock;
using Result = BenchSupport::Run;

long minorFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

Result viaEngine(const std::string& url, const std::filesystem::path& output, bool inflateOnTheFly, bool synchronous) {
    Result r;
    std::filesystem::remove(output);
    const long before = BenchSupport::statusKiB("VmRSS:");
    std::atomic<long> peak{before};
    std::atomic<bool> sampling{true};
    std::thread sampler([&] {
        while (sampling) {
            peak = std::max(peak.load(), BenchSupport::statusKiB("VmRSS:"));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const long faultsBefore = minorFaults();
    auto start = Clock::now();
    auto request = RQHTTPRequest::requestWithURL(platform::URL::fromString(url));
    request->setDownloadDestinationPath(output.string());
    request->setShouldWaitToInflateCompressedResponses(!inflateOnTheFly);
    request->setTimeOutSeconds(60);
    if (synchronous) {
        request->startSynchronous();
    } else {
        request->startAsynchronous();
        test::pumpUntil([&] { return request->isFinished(); }, 600);
    }
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.pageFaults = minorFaults() - faultsBefore;
    sampling = false;
    sampler.join();
    r.ok = request->isFinished() && !request->error() && request->responseStatusCode() == 200;
    if (auto error = request->error()) std::printf("engine: %s\n", error->description().c_str());
    r.bytes = BenchSupport::fileSize(output);
    r.peakGrowthKiB = peak - before;
    return r;
}

// Text with enough variety that it compresses like a real body (about 4:1).
std::string compressibleText(std::uint64_t size) {
    std::string text;
    text.reserve(size);
    std::uint32_t x = 2463534242u;
    static const char* words[] = {"video ", "friend ", "upload ", "clip ", "share ", "album ", "photo ", "page "};
    while (text.size() < size) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        text += words[x & 7];
        text += std::to_string(x % 100000);
        text += (x & 0x100) ? "\n" : " ";
    }
    text.resize(size);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t downloadMiB = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
    const std::uint64_t gzipMiB = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 64;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;

    const auto home = std::filesystem::temp_directory_path() / ("bench_request_" + std::to_string(::getpid()));
    std::filesystem::create_directories(home / "tmp");
    ::setenv("CLIPORA_HOME", home.c_str(), 1);

    const std::uint64_t total = downloadMiB * 1024 * 1024;
    const std::string inflated = compressibleText(gzipMiB * 1024 * 1024);
    const auto packedData =
        *RQDataCompressor::compressDataError(platform::Data(inflated.begin(), inflated.end()), nullptr);
    const std::string packed(packedData.begin(), packedData.end());

    test::RawServer server([&](test::RawServer::Connection& c) {
        const std::string head = c.readRequest();
        if (head.empty()) return;
        if (head.find(" /big ") != std::string::npos) {
            BenchSupport::sendFillerResponse(c, "application/octet-stream", total);
        } else {
            c.send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Encoding: gzip\r\nContent-Length: " +
                   std::to_string(packed.size()) + "\r\nConnection: close\r\n\r\n");
            c.send(packed);
        }
    });

    struct Case {
        const char* name;
        std::string url;
        std::uint64_t wireBytes;
        std::uint64_t fileBytes;
        bool compressed;
        bool synchronous;
    };
    const Case cases[] = {
        {"download to a file", server.url("/big"), total, total, false, false},
        {"gzip on the fly, async", server.url("/gz"), packed.size(), inflated.size(), true, false},
        {"gzip on the fly, sync", server.url("/gz"), packed.size(), inflated.size(), true, true},
    };

    std::printf("request engine beside curl on 127.0.0.1, best of %d rounds\n", rounds);
    std::printf("(%llu MiB download; gzip body of %.1f MiB inflating to %llu MiB)\n",
                static_cast<unsigned long long>(downloadMiB), packed.size() / (1024.0 * 1024.0),
                static_cast<unsigned long long>(gzipMiB));
    int status = 0;
    for (const Case& c : cases) {
        Result bestCurl;
        Result bestEngine;
        for (int round = 0; round < rounds; ++round) {
            Result curl = BenchSupport::curlToFile(c.url, home / "curl.out", c.compressed);
            if (curl.ok && curl.bytes == c.fileBytes && (bestCurl.seconds == 0 || curl.seconds < bestCurl.seconds))
                bestCurl = curl;
            Result engine = viaEngine(c.url, home / "engine.out", c.compressed, c.synchronous);
            if (!engine.ok || engine.bytes != c.fileBytes) {
                std::printf("%s: engine failed (%llu bytes in the file)\n", c.name,
                            static_cast<unsigned long long>(engine.bytes));
                status = 1;
                break;
            }
            if (bestEngine.seconds == 0 || engine.seconds < bestEngine.seconds) bestEngine = engine;
        }
        const double curlRate = BenchSupport::mibPerSecond(c.wireBytes, bestCurl.seconds);
        const double engineRate = BenchSupport::mibPerSecond(c.wireBytes, bestEngine.seconds);
        std::printf(
            "%-26s curl %8.1f MiB/s   engine %8.1f MiB/s   ratio %.2f   RSS growth %.1f MiB   "
            "page faults %ld\n",
            c.name, curlRate, engineRate, curlRate > 0 ? engineRate / curlRate : 0.0, bestEngine.peakGrowthKiB / 1024.0,
            bestEngine.pageFaults);
    }
    std::filesystem::remove_all(home);
    return status;
}
