// Fuzz target for the note-service reader: records, the client's reading of
// replies and the processors' reading of calls. Any input must be read or
// refused with one of the runtime's exceptions, with no allocation beyond
// what the input holds (capped below at 64 MiB per allocation, far above
// anything an input of a few kilobytes needs); whatever reads must be
// written back and read again to the same bytes.
//
// The first byte picks the reader: 0 a record (the next two bytes pick its
// class), 1 a note-store reply, 2 a user-store reply (the next byte picks
// the call), 3 a note-store call, 4 a user-store call; the rest is the
// message or the struct.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "notes/notestore/EDAMNoteStore.h"
#include "notes/notestore/EDAMNoteStoreCalls.h"
#include "notes/notestore/EDAMNoteStoreProcessor.h"
#include "notes/types/EDAMTypes.h"
#include "notes/types/NoteServiceException.h"
#include "notes/userstore/EDAMUserStore.h"
#include "notes/userstore/EDAMUserStoreCalls.h"
#include "notes/userstore/EDAMUserStoreProcessor.h"

// The allocation cap: the sanitizers' own where one is built in, otherwise
// the program's operator new.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define NOTES_FUZZ_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define NOTES_FUZZ_SANITIZED 1
#endif
#endif

#ifdef NOTES_FUZZ_SANITIZED
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=64"; }
extern "C" const char* __tsan_default_options() { return "max_allocation_size_mb=64"; }
#else
namespace {
constexpr std::size_t kAllocationLimit = std::size_t{64} << 20;
void* allocate(std::size_t size) {
    if (size > kAllocationLimit) {
        std::fprintf(stderr, "notes_fuzz: an allocation of %zu bytes\n", size);
        std::abort();
    }
    void* block = std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    return block;
}
}  // namespace
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
#endif

namespace {

using namespace clipora;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TMemoryBuffer;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "notes_fuzz: %s\n", what);
        std::abort();
    }
}

struct Memory {
    explicit Memory(const std::string& bytes = {}) {
        if (!bytes.empty())
            buffer->write(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                          static_cast<std::uint32_t>(bytes.size()));
    }
    std::shared_ptr<TMemoryBuffer> buffer = std::make_shared<TMemoryBuffer>();
    std::shared_ptr<TBinaryProtocol> protocol = std::make_shared<TBinaryProtocol>(buffer, 0, 0, false, false);
};

template <class T>
std::shared_ptr<Record> make() {
    return std::make_shared<T>();
}

// Classes of every shape: data records with lists, maps and nested records,
// exceptions, argument and result structures.
using Maker = std::shared_ptr<Record> (*)();
const Maker kRecords[] = {
    make<EDAMNote>,
    make<EDAMData>,
    make<EDAMResource>,
    make<EDAMNotebook>,
    make<EDAMUser>,
    make<EDAMSyncChunk>,
    make<EDAMNoteCollectionCounts>,
    make<EDAMNoteList>,
    make<EDAMAuthenticationResult>,
    make<EDAMUserException>,
    make<EDAMListNotebooks_result>,
    make<EDAMGetNoteTagNames_result>,
    make<EDAMGetNoteContent_result>,
    make<EDAMexpungeNotes_args>,
    make<EDAMcreateNote_args>,
    make<EDAMexpungeSharedNotebooks_args>,
};

std::string written(const Record& record) {
    Memory out;
    record.write(*out.protocol);
    return out.buffer->getBufferAsString();
}

void readRecord(const std::string& bytes, Maker maker) {
    auto record = maker();
    try {
        Memory in(bytes);
        record->read(*in.protocol);
    } catch (const apache::thrift::TException&) {
        return;
    }
    const std::string once = written(*record);
    auto again = maker();
    Memory in(once);
    again->read(*in.protocol);
    check(in.buffer->available_read() == 0, "a written record is not read whole");
    check(written(*again) == once, "a written record reads back otherwise");
}

// The client calls whose replies are read, one of each result shape.
const std::function<void(EDAMNoteStoreClient&)> kNoteCalls[] = {
    [](EDAMNoteStoreClient& c) { c.getNoteContent(std::string("T"), std::string("g")); },
    [](EDAMNoteStoreClient& c) { c.listNotebooks(std::string("T")); },
    [](EDAMNoteStoreClient& c) { c.getNoteTagNames(std::string("T"), std::string("g")); },
    [](EDAMNoteStoreClient& c) { c.createNote(std::string("T"), std::make_shared<EDAMNote>()); },
    [](EDAMNoteStoreClient& c) { c.getAccountSize(std::string("T")); },
    [](EDAMNoteStoreClient& c) { c.getResourceData(std::string("T"), std::string("g")); },
    [](EDAMNoteStoreClient& c) { c.untagAll(std::string("T"), std::string("g")); },
    [](EDAMNoteStoreClient& c) { c.expungeNotes(std::string("T"), std::vector<std::string>{"g"}); },
};
const std::function<void(EDAMUserStoreClient&)> kUserCalls[] = {
    [](EDAMUserStoreClient& c) { c.checkVersion(std::string("c"), 1, 16); },
    [](EDAMUserStoreClient& c) { c.authenticate(std::string("u"), std::string("p"), std::nullopt, std::nullopt); },
    [](EDAMUserStoreClient& c) { c.getPublicUserInfo(std::string("u")); },
};

// Reading ends in a value or one of the runtime's or the service's exceptions.
template <class Client, class Call>
void readReply(const std::string& reply, const Call& call) {
    Memory in(reply), out;
    auto client = Client::initWithInProtocolOutProtocol(in.protocol, out.protocol);
    try {
        call(*client);
    } catch (const apache::thrift::TException&) {
    } catch (const NoteServiceException&) {
    }
}

// A processor whose store is a client with nothing to answer: reading the
// call is what is fuzzed, and a call that reads ends in the client's
// transport error.
template <class Client, class Processor, class Store>
void readCall(const std::string& call, std::shared_ptr<Processor> (*makeProcessor)(std::shared_ptr<Store>)) {
    Memory empty, sent;
    auto processor = makeProcessor(Client::initWithInProtocolOutProtocol(empty.protocol, sent.protocol));
    Memory in(call), out;
    try {
        check(processor->processOnInputProtocolOutputProtocol(*in.protocol, *out.protocol),
              "processing answered false");
    } catch (const apache::thrift::TException&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    switch (data[0] % 5) {
    case 0: {
        if (size < 3) return 0;
        const std::size_t pick = (std::size_t{data[1]} << 8 | data[2]) % std::size(kRecords);
        readRecord(input.substr(3), kRecords[pick]);
        break;
    }
    case 1: {
        if (size < 2) return 0;
        readReply<EDAMNoteStoreClient>(input.substr(2), kNoteCalls[data[1] % std::size(kNoteCalls)]);
        break;
    }
    case 2: {
        if (size < 2) return 0;
        readReply<EDAMUserStoreClient>(input.substr(2), kUserCalls[data[1] % std::size(kUserCalls)]);
        break;
    }
    case 3: readCall<EDAMNoteStoreClient>(input.substr(1), &EDAMNoteStoreProcessor::initWithNoteStore); break;
    default: readCall<EDAMUserStoreClient>(input.substr(1), &EDAMUserStoreProcessor::initWithUserStore); break;
    }
    return 0;
}
