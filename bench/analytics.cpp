// Building the analytics upload body for 50 saved sessions of 1,000 events
// each, with its CRC-32 trailer, beside zlib's crc32 alone over as many
// bytes in the same run. The body is built from stored records (the
// start-of-session upload) and from live sessions that are serialized on
// the way (what a pause upload does for the current session).
#include <benchmark/benchmark.h>

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>

#include "analytics/TallySession.h"
#include "platform/foundation/Value.h"
#include "tests/support/TestHome.h"

namespace {

using namespace clipora;
using clipora::platform::Data;
using clipora::platform::Object;
using clipora::platform::Value;

constexpr int kSessions = 50;
constexpr int kEvents = 1000;

struct Fixture {
    test::TestHome home;  // the agent's files go to a temporary home
    Value::Array records;
    Value::Array sessions;

    Fixture() {
        auto session = TallySession::createActiveTallySession("BENCHKEY");
        for (int i = 0; i < kEvents; ++i)
            session->recordEventWithParameters("event " + std::to_string(i % 100),
                                               Value::Dictionary{{"index", Value(i)}, {"kind", Value("bench")}});
        session->endSessionAndSendRemoveCurrentSession(false, false);
        const Data record = *session->data();
        for (int i = 0; i < kSessions; ++i) {
            records.emplace_back(record);
            sessions.emplace_back(std::static_pointer_cast<Object>(session));
        }
    }
};

Fixture& fixture() {
    static Fixture shared;
    return shared;
}

void buildBody(benchmark::State& state, const Value::Array& list) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        const Data body = TallySession::dataForSessionsRequestAdRingAdsRequestVideoAdsRequestAdSlotAdsRequestRevisitAds(
            list, false, false, false, false);
        bytes = body.size();
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["body_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void BM_UploadBodyFromStoredRecords(benchmark::State& state) { buildBody(state, fixture().records); }

void BM_UploadBodyFromLiveSessions(benchmark::State& state) { buildBody(state, fixture().sessions); }

void BM_Crc32Alone(benchmark::State& state) {
    Data bytes;
    for (const auto& record : fixture().records)
        bytes.insert(bytes.end(), record.data()->begin(), record.data()->end());
    for (auto _ : state) {
        auto crc = crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size()));
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(BM_UploadBodyFromStoredRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadBodyFromLiveSessions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32Alone)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
