// Download throughput of the HTTP core's adapters against curl.
//
// A raw loopback server sends a 256 MiB body; the same URL is fetched by
// `curl -o /dev/null` and by each adapter in the same run, and the adapter's
// throughput is given as a ratio of curl's. Peak memory is the growth of the
// process's peak resident set (VmHWM, reset before each adapter run).
//
//   bench_http_download [MiB] [rounds]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/BenchSupport.h"
#include "platform/cfnetwork/HTTPMessage.h"
#include "platform/cfnetwork/HTTPReadStream.h"
#include "platform/cfnetwork/URLConnection.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URL.h"
#include "tests/support/Pump.h"
#include "tests/support/RawServer.h"

namespace {

using namespace clipora;

using bench::BenchSupport;
using Clock = BenchSupport::Clock;
using Result = BenchSupport::Run;

Result viaCurl(const std::string& url) {
    Result r;
    auto start = Clock::now();
    std::string command = "curl -s -o /dev/null -w '%{size_download}' '" + url + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[64] = {};
    std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, pipe);
    buffer[n] = '\0';
    r.ok = ::pclose(pipe) == 0;
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.bytes = std::strtoull(buffer, nullptr, 10);
    return r;
}

// The request engine's way: one read of up to 256 KiB per "bytes available"
// event, on the run loop the stream is scheduled on.
Result viaReadStream(const std::string& url) {
    Result r;
    BenchSupport::resetPeak();
    long before = BenchSupport::statusKiB("VmHWM:");
    auto start = Clock::now();
    auto request = platform::HTTPMessage::createRequest("GET", *platform::URL::fromString(url));
    auto stream = platform::HTTPReadStream::create(request);
    std::vector<std::uint8_t> buffer(256 * 1024);
    bool done = false;
    stream->setClient(platform::HTTPReadStream::kDefaultEvents, [&](platform::HTTPReadStream& s, unsigned event) {
        if (event == platform::HTTPReadStream::kEventHasBytesAvailable) {
            auto n = s.read(buffer.data(), buffer.size());
            if (n > 0) r.bytes += static_cast<std::uint64_t>(n);
        } else {
            r.ok = event == platform::HTTPReadStream::kEventEndEncountered;
            done = true;
        }
    });
    stream->scheduleInRunLoop(platform::RunLoop::main(), platform::RunLoop::defaultMode);
    stream->open();
    test::pumpUntil([&]() { return done; }, 300);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    stream->close();
    r.peakKiB = BenchSupport::statusKiB("VmHWM:");
    r.peakGrowthKiB = r.peakKiB - before;
    return r;
}

// The block-based toolkit's way: a URL connection on the main run loop that
// hands each chunk to its delegate, which only counts it (a download into a
// file stream keeps nothing either).
Result viaURLConnection(const std::string& url) {
    struct Counter : platform::URLConnectionDelegate {
        Result* result = nullptr;
        bool done = false;
        void connectionDidReceiveData(const std::shared_ptr<platform::URLConnection>&,
                                      const platform::Data& data) override {
            result->bytes += data.size();
        }
        void connectionDidFinishLoading(const std::shared_ptr<platform::URLConnection>&) override {
            result->ok = true;
            done = true;
        }
        void connectionDidFailWithError(const std::shared_ptr<platform::URLConnection>&,
                                        const platform::Error& error) override {
            std::printf("URLConnection: %s\n", error.description().c_str());
            done = true;
        }
    };
    Result r;
    BenchSupport::resetPeak();
    long before = BenchSupport::statusKiB("VmHWM:");
    auto start = Clock::now();
    auto counter = std::make_shared<Counter>();
    counter->result = &r;
    platform::URLRequest request(*platform::URL::fromString(url));
    auto connection = platform::URLConnection::create(request, counter, false);
    connection->scheduleInRunLoopForMode(platform::RunLoop::main(), platform::RunLoop::commonModes);
    connection->start();
    test::pumpUntil([&]() { return counter->done; }, 300);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.peakKiB = BenchSupport::statusKiB("VmHWM:");
    r.peakGrowthKiB = r.peakKiB - before;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::uint64_t total = mib * 1024 * 1024;
    const auto server = BenchSupport::fillerServer("application/octet-stream", total);
    const std::string url = server->url("/download.bin");

    struct Variant {
        const char* name;
        std::function<Result(const std::string&)> run;
    };
    // Further adapters (the URL connection) join this list.
    std::vector<Variant> variants = {{"HTTPReadStream", viaReadStream}, {"URLConnection", viaURLConnection}};

    std::printf("download of %llu MiB from 127.0.0.1, best of %d rounds\n", static_cast<unsigned long long>(mib),
                rounds);
    Result bestCurl;
    std::vector<Result> best(variants.size());
    for (int round = 0; round < rounds; ++round) {
        Result c = viaCurl(url);
        if (c.ok && c.bytes == total && (bestCurl.seconds == 0 || c.seconds < bestCurl.seconds)) bestCurl = c;
        for (std::size_t i = 0; i < variants.size(); ++i) {
            Result r = variants[i].run(url);
            if (!r.ok || r.bytes != total) {
                std::printf("%s: failed (%llu bytes)\n", variants[i].name, static_cast<unsigned long long>(r.bytes));
                return 1;
            }
            if (best[i].seconds == 0 || r.seconds < best[i].seconds) best[i] = r;
        }
    }
    std::printf("%-16s %9.1f MiB/s\n", "curl", BenchSupport::mibPerSecond(bestCurl));
    for (std::size_t i = 0; i < variants.size(); ++i) {
        std::printf("%-16s %9.1f MiB/s  ratio to curl %.2f  peak RSS %.1f MiB (growth during the download %.1f MiB)\n",
                    variants[i].name, BenchSupport::mibPerSecond(best[i]),
                    BenchSupport::mibPerSecond(best[i]) / BenchSupport::mibPerSecond(bestCurl),
                    best[i].peakKiB / 1024.0, best[i].peakGrowthKiB / 1024.0);
    }
    return 0;
}
