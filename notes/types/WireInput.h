#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

#include <thrift/protocol/TBinaryProtocol.h>

// Included only by the note service's own sources, which use the runtime.
namespace apache::thrift {
class TApplicationException;
namespace transport {
class TMemoryBuffer;
}
}  // namespace apache::thrift

namespace clipora {

// A transport that holds all of its input before reading starts (a whole
// reply) and can say how much of it is still unread.
class HeldInput {
public:
    virtual std::size_t heldBytesLeft() const = 0;

protected:
    ~HeldInput() = default;
};

// Reading a peer's message without trusting what it claims. On the binary
// protocol every length and count is checked against the bytes the input
// still holds before anything is allocated for it (a memory buffer or a
// HeldInput says how many; on other transports a text grows only as its
// bytes really arrive), a type code outside the protocol's types is refused
// before it becomes a type, and skipping a value allocates nothing. A claim
// larger than what is left is TProtocolException SIZE_LIMIT, a negative
// length NEGATIVE_SIZE, an unknown type INVALID_DATA; a transport that runs
// dry throws its TTransportException. Other protocols are read through the
// runtime's own operations.
class WireInput {
public:
    explicit WireInput(apache::thrift::protocol::TProtocol& protocol);

    apache::thrift::protocol::TProtocol& protocol;
    apache::thrift::protocol::TBinaryProtocol* const binary;  // null for other protocols
    apache::thrift::transport::TTransport* const transport;

    // The bytes still readable, when the transport can tell.
    std::optional<std::size_t> bytesLeft() const;
    // Refuses a claim of `bytes` that the input cannot hold.
    void expect(std::uint64_t bytes) const;

    // Plain values, as the protocol reads them (from a memory buffer without
    // a virtual call).
    std::int8_t readByte() const;
    std::int16_t readI16() const;
    std::int32_t readI32() const;
    std::int64_t readI64() const;

    std::string readString() const;
    platform::Data readBinary() const;

    // A field header: its wire type code (0 at the field stop) and its id.
    std::int8_t readFieldBegin(std::int16_t& id) const;
    // A list header: the announced element type code, unchecked, and the
    // count as sent (possibly negative). A positive count is refused unless
    // the input holds `minimumElementSize` bytes for each element.
    std::int32_t readListBegin(std::int8_t& elementType, std::size_t minimumElementSize) const;
    // A map header, likewise; the key and value type codes are unchecked.
    std::int32_t readMapBegin(std::int8_t& keyType, std::int8_t& valueType, std::size_t minimumEntrySize) const;

    // Skips one value of wire type `type`, nested values included.
    void skip(std::int8_t type) const;

    // A message header. The message type is the byte as sent.
    void readMessageBegin(std::string& name, std::int8_t& type, std::int32_t& sequenceID) const;
    // The body of an EXCEPTION message.
    apache::thrift::TApplicationException readApplicationException() const;

    // Whether `type` is one of the protocol's wire types (the field stop
    // excluded).
    static bool isWireType(std::int8_t type);
    // The fewest bytes a value of wire type `type` takes in the binary protocol.
    static std::size_t minimumSize(std::int8_t type);

private:
    // A container's count, with the bytes its elements need checked.
    std::int32_t readCount(std::size_t minimumElementSize) const;
    // expect() with the bytes left already asked for.
    void expectOf(std::uint64_t bytes, std::optional<std::size_t> left) const;
    void readRaw(std::uint8_t* to, std::uint32_t count) const;
    template <class Integer>
    Integer readInteger() const;
    // Reads `size` bytes and drops them.
    void discard(std::int32_t size) const;
    template <class Buffer>
    void readSized(std::int32_t size, Buffer& out) const;

    apache::thrift::transport::TMemoryBuffer* const memory_;
    const HeldInput* const held_;
};

}  // namespace clipora
