#include "tests/notes/NotesTestSupport.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include <thrift/TApplicationException.h>

#include "notes/types/ServiceProcessor.h"

extern char** environ;

namespace clipora::test {

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TType;
using apache::thrift::transport::TMemoryBuffer;

MemoryProtocol::MemoryProtocol(const Bytes& bytes) {
    buffer = std::make_shared<TMemoryBuffer>();
    if (!bytes.empty()) buffer->write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    protocol = std::make_shared<TBinaryProtocol>(buffer, 0, 0, false, false);
}

Bytes hex(std::initializer_list<int> bytes) {
    Bytes out;
    for (int b : bytes) out.push_back(static_cast<char>(b));
    return out;
}

Bytes written(const Record& record) {
    MemoryProtocol out;
    record.write(*out.protocol);
    return out.bytes();
}

void readInto(Record& record, const Bytes& bytes) {
    MemoryProtocol in(bytes);
    record.read(*in.protocol);
}

LoopbackTransport::LoopbackTransport(std::shared_ptr<ServiceProcessor> processor) : processor_(std::move(processor)) {}

void LoopbackTransport::write(const std::uint8_t* buffer, std::uint32_t length) {
    request_.append(reinterpret_cast<const char*>(buffer), length);
}

std::uint32_t LoopbackTransport::read(std::uint8_t* buffer, std::uint32_t length) {
    std::size_t count = std::min<std::size_t>(length, reply_.size() - position_);
    std::memcpy(buffer, reply_.data() + position_, count);
    position_ += count;
    return static_cast<std::uint32_t>(count);
}

void LoopbackTransport::flush() {
    ++flushes_;
    lastRequest_ = std::move(request_);
    request_.clear();
    position_ = 0;
    if (hasScript_) {
        hasScript_ = false;
        reply_ = std::move(scripted_);
        return;
    }
    MemoryProtocol in(lastRequest_), out;
    reply_.clear();
    processor_->processOnInputProtocolOutputProtocol(*in.protocol, *out.protocol);
    reply_ = out.bytes();
}

std::shared_ptr<TBinaryProtocol> loopbackProtocol(std::shared_ptr<ServiceProcessor> processor,
                                                  std::shared_ptr<LoopbackTransport>* transport) {
    auto loopback = std::make_shared<LoopbackTransport>(std::move(processor));
    if (transport) *transport = loopback;
    return std::make_shared<TBinaryProtocol>(loopback, 0, 0, false, false);
}

namespace {

TType wire(FieldKind kind) { return static_cast<TType>(wireTypeCode(kind)); }

void writeSample(TBinaryProtocol& out, const RecordType& type, int seed);

void writeScalar(TBinaryProtocol& out, FieldKind kind, const RecordType* nested, int seed) {
    switch (kind) {
    case FieldKind::Bool: out.writeBool(seed % 2 == 1); break;
    case FieldKind::I16: out.writeI16(static_cast<std::int16_t>(-300 - seed)); break;
    // Small: some i32 fields are enumerations, which the compiler's code
    // holds in enum types of a narrow range.
    case FieldKind::I32: out.writeI32(seed % 4); break;
    case FieldKind::I64: out.writeI64((std::int64_t{1} << 40) + seed); break;
    case FieldKind::Double: out.writeDouble(seed + 0.25); break;
    case FieldKind::String: out.writeString("text " + std::to_string(seed) + " \xc3\xa9"); break;
    case FieldKind::Binary: out.writeBinary(std::string("\0\xff\x80", 3) + std::to_string(seed)); break;
    case FieldKind::Struct: writeSample(out, *nested, seed); break;
    default: break;
    }
}

void writeSample(TBinaryProtocol& out, const RecordType& type, int seed) {
    out.writeStructBegin(type.wireName);
    for (const FieldDescriptor& f : type.fields) {
        int value = seed * 31 + f.id;
        const RecordType* nested = f.records ? &f.records->type() : nullptr;
        out.writeFieldBegin(f.name, wire(f.kind), f.id);
        if (f.kind == FieldKind::List) {
            out.writeListBegin(wire(f.element), 2);
            writeScalar(out, f.element, nested, value);
            writeScalar(out, f.element, nested, value + 1);
            out.writeListEnd();
        } else if (f.kind == FieldKind::Map) {
            out.writeMapBegin(wire(f.key), wire(f.element), 2);
            for (int i = 0; i < 2; ++i) {
                writeScalar(out, f.key, nullptr, value + i);
                writeScalar(out, f.element, nullptr, value + i);
            }
            out.writeMapEnd();
        } else {
            writeScalar(out, f.kind, nested, value);
        }
        out.writeFieldEnd();
    }
    out.writeFieldStop();
    out.writeStructEnd();
}

}  // namespace

Bytes sampleStruct(const RecordType& type, int seed) {
    MemoryProtocol out;
    writeSample(*out.protocol, type, seed);
    return out.bytes();
}

Bytes message(const std::string& name, int type, std::int32_t sequenceID, const Bytes& body) {
    MemoryProtocol out;
    out.protocol->writeMessageBegin(name, static_cast<apache::thrift::protocol::TMessageType>(type), sequenceID);
    return out.bytes() + body;
}

MemoryProtocol processCall(ServiceProcessor& processor, const Bytes& request, const std::string& name, int replyType,
                           std::int32_t sequenceID) {
    MemoryProtocol in(request), out;
    EXPECT_TRUE(processor.processOnInputProtocolOutputProtocol(*in.protocol, *out.protocol));
    EXPECT_EQ(in.buffer->available_read(), 0u) << "the call is consumed whole";
    MemoryProtocol reply(out.bytes());
    std::string replyName;
    apache::thrift::protocol::TMessageType type;
    std::int32_t replySequenceID;
    reply.protocol->readMessageBegin(replyName, type, replySequenceID);
    EXPECT_EQ(replyName, name);
    EXPECT_EQ(type, replyType);
    EXPECT_EQ(replySequenceID, sequenceID);
    return reply;
}

void expectUnknownMethod(MemoryProtocol& reply, const std::string& name) {
    apache::thrift::TApplicationException e;
    e.read(reply.protocol.get());
    EXPECT_EQ(e.getType(), apache::thrift::TApplicationException::UNKNOWN_METHOD);
    EXPECT_EQ(std::string(e.what()), "Invalid method name: '" + name + "'");
}

PythonServer::PythonServer(const std::string& service, const std::string& certificateFile, const std::string& keyFile) {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string script = std::string(CLIPORA_NOTES_TEST_DIR) + "/note_service_server.py";
    std::vector<std::string> args{CLIPORA_SYSTEM_PYTHON3, script,  service,
                                  certificateFile,        keyFile, CLIPORA_ORACLE_PYTHON_DIR};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return;
    }
    pid_ = pid;
    // The server prints its port once it listens.
    std::string line;
    pollfd p{fds[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&p, 1, 20000) > 0) {
        char chunk[64];
        ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n <= 0) break;
        line.append(chunk, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (line.find('\n') != std::string::npos) port_ = static_cast<std::uint16_t>(std::stoi(line));
}

PythonServer::~PythonServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

}  // namespace clipora::test
