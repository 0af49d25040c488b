// Parse and write of a ~1 MiB reply shaped like an FQL video list, with both
// JSON codecs (the social network's SNJSON into platform values, the sharing
// framework's JSONDecoder / JCSerializer into its own pooled collections)
// beside nlohmann::json and RapidJSON in the same run.
#include <benchmark/benchmark.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <nlohmann/json.hpp>

#include <malloc.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "share/json/JCSerializer.h"
#include "share/json/JSONDecoder.h"
#include "social/json/SNJsonParser.h"
#include "social/json/SNJsonWriter.h"

namespace {

// A deterministic reply of about `bytes` bytes: an array of video rows as the
// REST interface returns them for an FQL video query.
std::string makeVideoListReply(std::size_t bytes) {
    static const char* const kWords[] = {"holiday", "concert", "birthday", "surf", "caf\\u00e9",     "tour",
                                         "snow",    "launch",  "demo",     "cat",  "\\u65e5\\u672c", "run"};
    std::uint64_t seed = 0x9E3779B97F4A7C15ull;
    const auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return seed;
    };
    const auto words = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            if (i) text += ' ';
            text += kWords[next() % (sizeof kWords / sizeof kWords[0])];
        }
        return text;
    };
    std::string reply = "[";
    for (std::size_t row = 0; reply.size() < bytes; ++row) {
        if (row) reply += ',';
        const std::string id = std::to_string(10150000000000000ull + next() % 1000000000ull);
        const std::string owner = std::to_string(100000000 + next() % 900000000);
        reply += "{\"video_id\":\"" + id + "\"";
        reply += ",\"title\":\"" + words(3) + "\"";
        reply += ",\"description\":\"" + words(12) + "\\n\\\"" + words(2) + "\\\" #" + std::to_string(row) + "\"";
        reply += ",\"thumbnail_link\":\"http:\\/\\/vthumb.example.invalid\\/" + id + "_t.jpg\"";
        reply += ",\"src\":\"http:\\/\\/video.example.invalid\\/cfs\\/" + id + "_n.mp4?oh=" + owner + "&oe=4FD1\"";
        reply += ",\"src_hq\":" +
                 (row % 3 ? "\"http:\\/\\/video.example.invalid\\/cfs\\/" + id + "_hq.mp4\"" : std::string("\"\""));
        reply += ",\"owner\":" + owner;
        reply += ",\"updated_time\":" + std::to_string(1300000000 + next() % 40000000);
        reply += ",\"created_time\":" + std::to_string(1300000000 + next() % 40000000);
        reply += ",\"length\":" + std::to_string(next() % 600) + "." + std::to_string(next() % 100);
        reply += ",\"link\":\"http:\\/\\/www.example.invalid\\/video\\/video.php?v=" + id + "\"";
        reply += ",\"album_id\":null,\"embeddable\":" + std::string(row % 2 ? "true" : "false");
        reply += ",\"format\":[{\"width\":130,\"height\":73},{\"width\":480,\"height\":270}]}";
    }
    reply += "]";
    return reply;
}

const std::string& reply() {
    static const std::string text = makeVideoListReply(1 << 20);
    return text;
}

void BM_Parse_SNJSON(benchmark::State& state) {
    clipora::SNJsonParser parser;
    for (auto _ : state) {
        auto value = parser.objectWithString(reply());
        if (!value) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply().size()));
}

void BM_Parse_JSONDecoder(benchmark::State& state) {
    clipora::JSONDecoder decoder;
    for (auto _ : state) {
        auto object = decoder.objectWithUTF8StringLengthError(reply().data(), reply().size());
        if (!object) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(object);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply().size()));
}

void BM_Parse_nlohmann(benchmark::State& state) {
    for (auto _ : state) {
        auto value = nlohmann::json::parse(reply());
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply().size()));
}

void BM_Parse_RapidJSON(benchmark::State& state) {
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(reply().data(), reply().size());
        if (document.HasParseError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply().size()));
}

void BM_Write_SNJSON(benchmark::State& state) {
    clipora::SNJsonParser parser;
    const auto value = parser.objectWithString(reply());
    clipora::SNJsonWriter writer;
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto text = writer.stringWithObject(*value);
        bytes = text->size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_Write_JCSerializer(benchmark::State& state) {
    const auto object = clipora::JSONDecoder::objectFromJSONStringWithParseOptionsError(reply());
    const clipora::JCValue root = clipora::JSONDecoder::rootValue(*object);
    clipora::JCSerializer serializer;
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto text =
            serializer.serializeValueOptionsEncodeOptionError(root, 0, clipora::JCSerializer::kEncodeAsString, nullptr);
        if (!text) state.SkipWithError("write failed");
        bytes = text->string()->size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_Write_nlohmann(benchmark::State& state) {
    const auto value = nlohmann::json::parse(reply());
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto text = value.dump();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_Write_RapidJSON(benchmark::State& state) {
    rapidjson::Document document;
    document.Parse(reply().data(), reply().size());
    std::size_t bytes = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        document.Accept(writer);
        bytes = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

BENCHMARK(BM_Parse_SNJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse_JSONDecoder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse_nlohmann)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse_RapidJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write_SNJSON)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write_JCSerializer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write_nlohmann)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write_RapidJSON)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Every codec gets the same heap: freed memory stays with the process.
    // Left to its defaults the heap hands the top back to the kernel after a
    // document is freed and faults it in again on the next parse, or not,
    // depending on what the benchmarks before left behind: RapidJSON's
    // 64 KiB chunks measured 1.4 ms after the other parsers had run and
    // 8.5 ms alone.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
