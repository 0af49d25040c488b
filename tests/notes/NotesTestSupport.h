#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TVirtualTransport.h>

#include "notes/types/Record.h"
#include "notes/types/WireInput.h"

namespace clipora {
class ServiceProcessor;
}

namespace clipora::test {

using Bytes = std::string;

// A binary protocol (strict read and write off, as the service uses it) over
// a fresh memory buffer, optionally holding `bytes` to read.
struct MemoryProtocol {
    explicit MemoryProtocol(const Bytes& bytes = {});
    Bytes bytes() const { return buffer->getBufferAsString(); }
    std::shared_ptr<apache::thrift::transport::TMemoryBuffer> buffer;
    std::shared_ptr<apache::thrift::protocol::TBinaryProtocol> protocol;
};

// The bytes with these values, written as a list of numbers.
Bytes hex(std::initializer_list<int> bytes);

// The bytes `record.write` produces.
Bytes written(const Record& record);
// `record` read from `bytes`.
void readInto(Record& record, const Bytes& bytes);

// A transport whose flush hands the buffered call to a processor (in the
// same thread) and keeps its reply for reading: a whole client-server
// exchange over memory buffers. The last request and reply stay visible.
// Like the HTTPS transport, it holds the whole reply before it is read.
class LoopbackTransport final : public apache::thrift::transport::TVirtualTransport<LoopbackTransport>,
                                public HeldInput {
public:
    explicit LoopbackTransport(std::shared_ptr<ServiceProcessor> processor);
    void write(const std::uint8_t* buffer, std::uint32_t length);
    std::uint32_t read(std::uint8_t* buffer, std::uint32_t length);
    std::size_t heldBytesLeft() const override { return reply_.size() - position_; }
    void flush() override;
    // Instead of a processor's reply, answer the next flush with these bytes.
    void scriptReply(Bytes reply) {
        scripted_ = std::move(reply);
        hasScript_ = true;
    }
    const Bytes& lastRequest() const { return lastRequest_; }
    const Bytes& lastReply() const { return reply_; }
    int flushes() const { return flushes_; }

private:
    std::shared_ptr<ServiceProcessor> processor_;
    Bytes request_, lastRequest_, reply_, scripted_;
    std::size_t position_ = 0;
    bool hasScript_ = false;
    int flushes_ = 0;
};

// A binary protocol over a LoopbackTransport to `processor`.
std::shared_ptr<apache::thrift::protocol::TBinaryProtocol> loopbackProtocol(
    std::shared_ptr<ServiceProcessor> processor, std::shared_ptr<LoopbackTransport>* transport = nullptr);

// One struct with every field of `type` set to a sample value derived from
// `seed` (nested records filled the same way), written straight from the
// field table with the protocol: the engine's reader and the compiler's
// code both read it.
Bytes sampleStruct(const RecordType& type, int seed = 1);

// A reply message (name, type, sequence id) holding `body` bytes as its struct.
Bytes message(const std::string& name, int type, std::int32_t sequenceID, const Bytes& body);

// Hands the call message `request` to `processor` and expects it read whole
// and answered by a message headed (name, replyType, sequenceID); returns the
// reply positioned at its body.
MemoryProtocol processCall(ServiceProcessor& processor, const Bytes& request, const std::string& name, int replyType,
                           std::int32_t sequenceID);
// Expects the reply body to be the processor's unknown-method exception for `name`.
void expectUnknownMethod(MemoryProtocol& reply, const std::string& name);

// The note-service test server of python3-thrift (the compiler's Python code
// for our interface definition), serving `service` ("userstore" or
// "notestore") over HTTPS with the given certificate on 127.0.0.1; stopped
// when the object goes.
class PythonServer {
public:
    PythonServer(const std::string& service, const std::string& certificateFile, const std::string& keyFile);
    ~PythonServer();
    PythonServer(const PythonServer&) = delete;
    PythonServer& operator=(const PythonServer&) = delete;
    bool started() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    std::string url() const { return "https://localhost:" + std::to_string(port_) + "/"; }

private:
    int pid_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace clipora::test
