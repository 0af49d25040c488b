// Lengths and counts a peer claims cost no memory beyond the bytes the
// message really holds: the record reader, the client's reply reading and
// the HTTPS transport, each measured by the memory held at its peak.
#include <gtest/gtest.h>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TTransportException.h>

#include "notes/notestore/EDAMNoteStore.h"
#include "notes/transport/NoteServiceHTTP.h"
#include "notes/types/EDAMTypes.h"
#include "platform/cfnetwork/HTTPClientCore.h"
#include "tests/notes/AllocationMeter.h"
#include "tests/notes/NotesTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestCA.h"
#include "tests/support/TestHome.h"

namespace clipora {
namespace {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TTransportException;
using test::Bytes;
using test::hex;

// Far below what any hostile claim here would take (2 GiB), far above what
// reading these few bytes needs.
constexpr std::size_t kBound = 16 << 20;

const Bytes kHuge = hex({0x7F, 0xFF, 0xFF, 0xFF});  // a length of 2 GiB - 1
const Bytes kABC = "abc";

struct HostileRecord {
    const char* what;
    std::shared_ptr<Record> (*make)();
    Bytes bytes;
    TProtocolException::TProtocolExceptionType error;
};

std::shared_ptr<Record> note() { return std::make_shared<EDAMNote>(); }
std::shared_ptr<Record> data() { return std::make_shared<EDAMData>(); }
std::shared_ptr<Record> counts() { return std::make_shared<EDAMNoteCollectionCounts>(); }

const HostileRecord kHostileRecords[] = {
    {"text field", note, hex({0x0B, 0, 2}) + kHuge + kABC + hex({0}), TProtocolException::SIZE_LIMIT},
    {"binary field", data, hex({0x0B, 0, 3}) + kHuge + kABC + hex({0}), TProtocolException::SIZE_LIMIT},
    {"unknown text field", note, hex({0x0B, 0x7F, 0x7F}) + kHuge + kABC + hex({0}), TProtocolException::SIZE_LIMIT},
    {"text where a number belongs", note, hex({0x0B, 0, 5}) + kHuge + kABC, TProtocolException::SIZE_LIMIT},
    {"text in a list", note, hex({0x0F, 0, 15, 0x0B, 0, 0, 0, 1}) + kHuge + kABC, TProtocolException::SIZE_LIMIT},
    {"map key", counts, hex({0x0D, 0, 1, 0x0B, 0x08, 0, 0, 0, 1}) + kHuge + kABC, TProtocolException::SIZE_LIMIT},
    {"text in a skipped record", note, hex({0x0C, 0x7F, 0x7F, 0x0B, 0, 1}) + kHuge + kABC,
     TProtocolException::SIZE_LIMIT},
    // Skipped containers whose count times element size overflows int.
    {"skipped map", note, hex({0x0D, 0x7F, 0x7F, 0x0B, 0x0B, 0x20, 0, 0, 0, 0}), TProtocolException::SIZE_LIMIT},
    {"skipped list", note, hex({0x0F, 0x7F, 0x7F, 0x0B, 0x40, 0, 0, 0, 0}), TProtocolException::SIZE_LIMIT},
    // Type codes outside the protocol's types.
    {"field type", note, hex({0x80, 0}), TProtocolException::INVALID_DATA},
    {"element type of a skipped list", note, hex({0x0F, 0x7F, 0x7F, 0x80, 0, 0, 0, 1, 0}),
     TProtocolException::INVALID_DATA},
};

TEST(HostileLengths, RecordsRefuseClaimsBeyondTheMessage) {
    for (const auto& c : kHostileRecords) {
        SCOPED_TRACE(c.what);
        auto record = c.make();
        test::AllocationMeter meter;
        try {
            test::readInto(*record, c.bytes);
            ADD_FAILURE() << "read accepted it";
        } catch (const TProtocolException& e) {
            EXPECT_EQ(e.getType(), c.error) << e.what();
        }
        EXPECT_LT(meter.peakGrowth(), kBound);
    }
}

TEST(HostileLengths, TextsGrowOnlyWithTheirBytesWhereWhatIsLeftIsUnknown) {
    // A buffered transport cannot say how much is left: a text is read as
    // its bytes come, and the claim ends when they run out.
    for (const Bytes& length : {kHuge, hex({0x03, 0, 0, 0})}) {
        auto memory = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
        Bytes bytes = hex({0x0B, 0, 2}) + length + Bytes(100000, 'x');
        memory->write(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
        auto buffered = std::make_shared<apache::thrift::transport::TBufferedTransport>(memory);
        apache::thrift::protocol::TBinaryProtocol protocol(buffered, 0, 0, false, false);
        EDAMNote record;
        test::AllocationMeter meter;
        EXPECT_THROW(record.read(protocol), TTransportException);
        EXPECT_LT(meter.peakGrowth(), kBound);
    }
}

// Replies that claim more than they hold, at each place the client reads a
// text: the message name (unversioned and versioned), an application
// exception's message, the result and a field the result does not know.
std::vector<std::pair<const char*, Bytes>> hostileReplies() {
    return {
        {"message name", kHuge + kABC},
        {"versioned message name", hex({0x80, 0x01, 0, 0x02}) + kHuge + kABC},
        {"exception message", test::message("getNoteContent", 3, 0, hex({0x0B, 0, 1}) + kHuge + kABC)},
        {"result text", test::message("getNoteContent", 2, 0, hex({0x0B, 0, 0}) + kHuge + kABC)},
        {"skipped result field", test::message("getNoteContent", 2, 0, hex({0x0B, 0, 9}) + kHuge + kABC)},
    };
}

void expectRefused(EDAMNoteStoreClient& client) {
    test::AllocationMeter meter;
    try {
        client.getNoteContent(std::string("T"), std::string("guid"));
        ADD_FAILURE() << "the reply was accepted";
    } catch (const TProtocolException& e) {
        EXPECT_EQ(e.getType(), TProtocolException::SIZE_LIMIT) << e.what();
    }
    EXPECT_LT(meter.peakGrowth(), kBound);
}

TEST(HostileLengths, ClientRepliesRefuseClaimsBeyondTheReply) {
    std::shared_ptr<test::LoopbackTransport> transport;
    auto client = EDAMNoteStoreClient::initWithProtocol(test::loopbackProtocol(nullptr, &transport));
    for (const auto& [what, reply] : hostileReplies()) {
        SCOPED_TRACE(what);
        transport->scriptReply(reply);
        expectRefused(*client);
    }
}

TEST(HostileLengths, ApplicationExceptionsOfUnknownTypesAreKeptAsUnknown) {
    std::shared_ptr<test::LoopbackTransport> transport;
    auto client = EDAMNoteStoreClient::initWithProtocol(test::loopbackProtocol(nullptr, &transport));
    transport->scriptReply(test::message(
        "x", 3, 0, hex({0x08, 0, 2, 0x7F, 0xFF, 0xFF, 0xFF, 0x0B, 0, 1, 0, 0, 0, 2, 'n', 'o', 0x02, 0, 3, 1, 0})));
    try {
        client->getNoteContent(std::string("T"), std::string("guid"));
        ADD_FAILURE();
    } catch (const TApplicationException& e) {
        EXPECT_EQ(e.getType(), TApplicationException::UNKNOWN);
        EXPECT_EQ(std::string(e.what()), "no");
    }
}

class HostileHTTPSTest : public test::PlatformTest {};

TEST_F(HostileHTTPSTest, RepliesOverHTTPSRefuseClaimsBeyondTheReply) {
    test::TestCA ca(home() / "tls");
    ca.trust();
    const auto replies = hostileReplies();
    std::size_t next = 0;
    test::LoopbackServer server(ca.server().certificateFile, ca.server().privateKeyFile);
    server.server().Post("/", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(replies[next++ % replies.size()].second, "application/x-thrift");
    });
    server.start();
    auto client = EDAMNoteStoreClient::initWithProtocol(NoteServiceHTTP::binaryProtocol(server.url()));
    for (const auto& [what, reply] : replies) {
        SCOPED_TRACE(what);
        expectRefused(*client);
    }
    EXPECT_EQ(next, replies.size());
    platform::HTTPClientCore::shared()->closeIdleConnections();
}

}  // namespace
}  // namespace clipora
