// Throughput of the download engine against curl.
//
// A raw loopback server sends a body of the given size (256 MiB by default);
// the same URL is fetched into a file by `curl -s -o <file>` (process start
// included) and by `VideoDownloader::downloadVideoToFile` in the same run,
// best of several rounds each. The engine's throughput is given as a ratio
// of curl's. Peak memory is the process's peak resident set (VmHWM, reset
// before each engine round) and its growth over the resident set before the
// round.
//
//   bench_download [MiB] [rounds]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <unistd.h>

#include "bench/support/BenchSupport.h"
#include "net/engine/BKNetworkOperation.h"
#include "net/engine/VideoDownloader.h"
#include "platform/foundation/Error.h"
#include "tests/support/Pump.h"
#include "tests/support/RawServer.h"

namespace {

using namespace clipora;

using bench::BenchSupport;
using Clock = BenchSupport::Clock;
using Result = BenchSupport::Run;

Result viaDownloader(const std::shared_ptr<VideoDownloader>& downloader, const std::string& url,
                     const std::filesystem::path& file) {
    Result r;
    std::filesystem::remove(file);
    BenchSupport::resetPeak();
    const long before = BenchSupport::statusKiB("VmRSS:");
    const auto start = Clock::now();
    auto operation = downloader->downloadVideoToFile(url, file.string());
    bool done = false;
    operation->onCompletionOnError([&](const std::shared_ptr<BKNetworkOperation>&) { done = r.ok = true; },
                                   [&](const platform::Error& error) {
                                       std::fprintf(stderr, "download failed: %s\n", error.description().c_str());
                                       done = true;
                                   });
    test::pumpUntil([&] { return done; }, 300);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.peakKiB = BenchSupport::statusKiB("VmHWM:");
    r.peakGrowthKiB = r.peakKiB - before;
    r.bytes = BenchSupport::fileSize(file);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::uint64_t size = mib * 1024 * 1024;

    const auto server = BenchSupport::fillerServer("video/mp4", size);
    const std::string url = server->url("/video.mp4");

    const auto directory = std::filesystem::temp_directory_path() / ("bench_download." + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    auto downloader = VideoDownloader::initWithHostNameCustomHeaderFields(std::nullopt);

    std::optional<Result> bestCurl, bestEngine;
    long peakKiB = 0, peakGrowthKiB = 0;
    bool allOk = true;
    for (int round = 0; round < rounds; ++round) {
        const Result curl = BenchSupport::curlToFile(url, directory / "curl.mp4");
        const Result engine = viaDownloader(downloader, url, directory / "engine.mp4");
        allOk = allOk && curl.ok && engine.ok && curl.bytes == size && engine.bytes == size;
        if (!bestCurl || curl.seconds < bestCurl->seconds) bestCurl = curl;
        if (!bestEngine || engine.seconds < bestEngine->seconds) bestEngine = engine;
        peakKiB = std::max(peakKiB, engine.peakKiB);
        peakGrowthKiB = std::max(peakGrowthKiB, engine.peakGrowthKiB);
        std::printf("round %d: curl %.0f MiB/s, VideoDownloader %.0f MiB/s, peak RSS %.1f MiB\n", round + 1,
                    BenchSupport::mibPerSecond(curl), BenchSupport::mibPerSecond(engine), engine.peakKiB / 1024.0);
    }
    std::filesystem::remove_all(directory);

    const double ratio = BenchSupport::mibPerSecond(*bestEngine) / BenchSupport::mibPerSecond(*bestCurl);
    std::printf("\n%llu MiB into a file, best of %d\n", static_cast<unsigned long long>(mib), rounds);
    std::printf("| curl -o       | VideoDownloader | ratio to curl | peak RSS  | peak growth |\n");
    std::printf("| %7.0f MiB/s | %9.0f MiB/s | %13.2f | %5.1f MiB | %7.1f MiB |\n",
                BenchSupport::mibPerSecond(*bestCurl), BenchSupport::mibPerSecond(*bestEngine), ratio, peakKiB / 1024.0,
                peakGrowthKiB / 1024.0);
    std::printf("%s\n", allOk ? "all transfers complete" : "SOME TRANSFERS FAILED OR WERE SHORT");
    return allOk ? 0 : 1;
}
