// Writing and reading a note with ten resources of 64 KiB through the binary
// protocol over a memory buffer: the note-service record engine beside the
// Thrift compiler's generated C++ for the same interface definition, in the
// same run.
#include <benchmark/benchmark.h>

#include <edam_types.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <cstdint>
#include <memory>
#include <string>

#include "notes/types/EDAMTypes.h"

namespace {

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TMemoryBuffer;

constexpr int kResources = 10;
constexpr std::size_t kResourceBytes = 64 * 1024;

std::string resourceBytes(int index) {
    std::string bytes(kResourceBytes, '\0');
    std::uint32_t seed = 2166136261u + static_cast<std::uint32_t>(index);
    for (auto& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

std::shared_ptr<clipora::EDAMNote> ourNote() {
    auto note = std::make_shared<clipora::EDAMNote>();
    note->setTitle(std::string("A note with ten images"));
    note->setContent(std::string("<?xml version=\"1.0\"?><en-note>Ten images follow.</en-note>"));
    note->setCreated(1338552000000);
    note->setNotebookGuid(std::string("0a1b2c3d-0000-4000-8000-000000000001"));
    note->setTagNames(std::vector<std::string>{"bench", "images"});
    std::vector<std::shared_ptr<clipora::EDAMResource>> resources;
    for (int i = 0; i < kResources; ++i) {
        std::string bytes = resourceBytes(i);
        auto data = std::make_shared<clipora::EDAMData>();
        data->setBody(clipora::platform::Data(bytes.begin(), bytes.end()));
        data->setSize(static_cast<std::int32_t>(bytes.size()));
        data->setBodyHash(clipora::platform::Data(16, static_cast<std::uint8_t>(i)));
        auto attributes = std::make_shared<clipora::EDAMResourceAttributes>();
        attributes->setFileName("image" + std::to_string(i) + ".jpg");
        auto resource = std::make_shared<clipora::EDAMResource>();
        resource->setData(data);
        resource->setMime(std::string("image/jpeg"));
        resource->setAttributes(attributes);
        resources.push_back(resource);
    }
    note->setResources(std::move(resources));
    auto attributes = std::make_shared<clipora::EDAMNoteAttributes>();
    attributes->setSourceURL(std::string("https://example.invalid/video"));
    note->setAttributes(attributes);
    return note;
}

oracle::Note compilerNote() {
    oracle::Note note;
    note.__set_title("A note with ten images");
    note.__set_content("<?xml version=\"1.0\"?><en-note>Ten images follow.</en-note>");
    note.__set_created(1338552000000);
    note.__set_notebookGuid("0a1b2c3d-0000-4000-8000-000000000001");
    note.__set_tagNames({"bench", "images"});
    std::vector<oracle::Resource> resources;
    for (int i = 0; i < kResources; ++i) {
        oracle::Data data;
        data.__set_body(resourceBytes(i));
        data.__set_size(static_cast<std::int32_t>(kResourceBytes));
        data.__set_bodyHash(std::string(16, static_cast<char>(i)));
        oracle::ResourceAttributes attributes;
        attributes.__set_fileName("image" + std::to_string(i) + ".jpg");
        oracle::Resource resource;
        resource.__set_data(data);
        resource.__set_mime("image/jpeg");
        resource.__set_attributes(attributes);
        resources.push_back(resource);
    }
    note.__set_resources(resources);
    oracle::NoteAttributes attributes;
    attributes.__set_sourceURL("https://example.invalid/video");
    note.__set_attributes(attributes);
    return note;
}

struct Wire {
    Wire() : buffer(std::make_shared<TMemoryBuffer>(1 << 21)) {}
    explicit Wire(std::string& bytes)
        : buffer(std::make_shared<TMemoryBuffer>(reinterpret_cast<std::uint8_t*>(bytes.data()),
                                                 static_cast<std::uint32_t>(bytes.size()))) {}
    std::shared_ptr<TMemoryBuffer> buffer;
    TBinaryProtocol protocol{buffer, 0, 0, false, false};
};

std::string serialized() {
    Wire wire;
    ourNote()->write(wire.protocol);
    return wire.buffer->getBufferAsString();
}

void BM_NoteWrite_Ours(benchmark::State& state) {
    auto note = ourNote();
    Wire wire;
    for (auto _ : state) {
        wire.buffer->resetBuffer();
        note->write(wire.protocol);
        benchmark::DoNotOptimize(wire.buffer->available_read());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kResources * kResourceBytes);
}

void BM_NoteWrite_ThriftCompiler(benchmark::State& state) {
    auto note = compilerNote();
    Wire wire;
    for (auto _ : state) {
        wire.buffer->resetBuffer();
        note.write(&wire.protocol);
        benchmark::DoNotOptimize(wire.buffer->available_read());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kResources * kResourceBytes);
}

void BM_NoteRead_Ours(benchmark::State& state) {
    std::string bytes = serialized();
    for (auto _ : state) {
        // A fresh buffer each time: the runtime counts bytes read against its
        // maximum message size per buffer.
        Wire wire(bytes);
        clipora::EDAMNote note;
        note.read(wire.protocol);
        benchmark::DoNotOptimize(note.resources());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kResources * kResourceBytes);
}

void BM_NoteRead_ThriftCompiler(benchmark::State& state) {
    std::string bytes = serialized();
    for (auto _ : state) {
        // A fresh buffer each time: the runtime counts bytes read against its
        // maximum message size per buffer.
        Wire wire(bytes);
        oracle::Note note;
        note.read(&wire.protocol);
        benchmark::DoNotOptimize(note.resources);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kResources * kResourceBytes);
}

}  // namespace

BENCHMARK(BM_NoteWrite_Ours);
BENCHMARK(BM_NoteWrite_ThriftCompiler);
BENCHMARK(BM_NoteRead_Ours);
BENCHMARK(BM_NoteRead_ThriftCompiler);

BENCHMARK_MAIN();
