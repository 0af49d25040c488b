#include "notes/types/WireInput.h"

#include <algorithm>
#include <limits>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/protocol/TProtocol.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TBufferTransports.h>

namespace clipora {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TProtocolException;
namespace wire = apache::thrift::protocol;

namespace {

// The limits a binary protocol was given (0: none), read through the
// protocol's own protected members.
struct BinaryLimits : TBinaryProtocol {
    static std::int32_t stringLimit(const TBinaryProtocol& protocol) {
        return protocol.*(&BinaryLimits::string_limit_);
    }
    static std::int32_t containerLimit(const TBinaryProtocol& protocol) {
        return protocol.*(&BinaryLimits::container_limit_);
    }
};

// What a text grows by at a time when the bytes left are unknown.
constexpr std::size_t kGrowth = 64 * 1024;

// The highest application-exception type the protocol defines; a reply
// claiming another is kept as UNKNOWN.
constexpr std::int32_t kLastApplicationExceptionType = 10;

// Other protocols read plain values through their own operations.
void readThrough(wire::TProtocol& protocol, std::int8_t& value) { protocol.readByte(value); }
void readThrough(wire::TProtocol& protocol, std::int16_t& value) { protocol.readI16(value); }
void readThrough(wire::TProtocol& protocol, std::int32_t& value) { protocol.readI32(value); }
void readThrough(wire::TProtocol& protocol, std::int64_t& value) { protocol.readI64(value); }

[[noreturn]] void refuseType() {
    throw TProtocolException(TProtocolException::INVALID_DATA, "A type in the message is not one of the protocol's");
}

}  // namespace

WireInput::WireInput(wire::TProtocol& p)
    : protocol(p), binary(dynamic_cast<TBinaryProtocol*>(&p)), transport(p.getTransport().get()),
      memory_(dynamic_cast<apache::thrift::transport::TMemoryBuffer*>(transport)),
      held_(dynamic_cast<const HeldInput*>(transport)) {}

std::optional<std::size_t> WireInput::bytesLeft() const {
    if (memory_) return memory_->available_read();
    if (held_) return held_->heldBytesLeft();
    return std::nullopt;
}

void WireInput::expect(std::uint64_t bytes) const { expectOf(bytes, bytesLeft()); }

void WireInput::expectOf(std::uint64_t bytes, std::optional<std::size_t> left) const {
    if ((left && bytes > *left) || bytes > static_cast<std::uint64_t>(std::numeric_limits<long>::max()))
        throw TProtocolException(TProtocolException::SIZE_LIMIT, "A length in the message runs past its end");
    transport->checkReadBytesAvailable(static_cast<long>(bytes));
}

void WireInput::readRaw(std::uint8_t* to, std::uint32_t count) const {
    // A memory buffer is read without a virtual call per value.
    if (memory_)
        memory_->readAll(to, count);
    else
        transport->readAll(to, count);
}

template <class Integer>
Integer WireInput::readInteger() const {
    Integer value = 0;
    if (!binary) {
        readThrough(protocol, value);
        return value;
    }
    // The count is known here, so a memory buffer's read becomes a plain load.
    std::uint8_t bytes[sizeof(Integer)];
    if (memory_)
        memory_->readAll(bytes, sizeof bytes);
    else
        transport->readAll(bytes, sizeof bytes);
    std::uint64_t bits = 0;
    for (auto byte : bytes) bits = bits << 8 | byte;  // most significant first
    return static_cast<Integer>(bits);
}

std::int8_t WireInput::readByte() const { return readInteger<std::int8_t>(); }
std::int16_t WireInput::readI16() const { return readInteger<std::int16_t>(); }
std::int32_t WireInput::readI32() const { return readInteger<std::int32_t>(); }
std::int64_t WireInput::readI64() const { return readInteger<std::int64_t>(); }

template <class Buffer>
void WireInput::readSized(std::int32_t size, Buffer& out) const {
    if (size < 0) throw TProtocolException(TProtocolException::NEGATIVE_SIZE);
    const std::int32_t limit = BinaryLimits::stringLimit(*binary);
    if (limit > 0 && size > limit) throw TProtocolException(TProtocolException::SIZE_LIMIT);
    const auto left = bytesLeft();
    expectOf(static_cast<std::uint64_t>(size), left);
    const auto length = static_cast<std::size_t>(size);
    if (length == 0) {
        out.clear();
        return;
    }
    if (left) {
        // Straight from a memory buffer, without filling the text first.
        using Unit = typename Buffer::value_type;
        std::uint32_t got = static_cast<std::uint32_t>(length);
        if (memory_) {
            if (const std::uint8_t* borrowed = memory_->borrow(nullptr, &got)) {
                out.assign(reinterpret_cast<const Unit*>(borrowed), reinterpret_cast<const Unit*>(borrowed) + length);
                memory_->consume(static_cast<std::uint32_t>(length));
                return;
            }
        } else if (const std::uint8_t* borrowed = transport->borrow(nullptr, &got)) {
            out.assign(reinterpret_cast<const Unit*>(borrowed), reinterpret_cast<const Unit*>(borrowed) + length);
            transport->consume(static_cast<std::uint32_t>(length));
            return;
        }
    }
    // Without a count of the bytes left, the text grows only as far as its
    // bytes have really come.
    out.clear();
    const std::size_t step = left ? length : kGrowth;
    while (out.size() < length) {
        const std::size_t at = out.size();
        const std::size_t count = std::min(step, length - at);
        out.resize(at + count);
        readRaw(reinterpret_cast<std::uint8_t*>(out.data()) + at, static_cast<std::uint32_t>(count));
    }
}

std::string WireInput::readString() const {
    std::string text;
    if (!binary) {
        protocol.readString(text);
        return text;
    }
    readSized(readI32(), text);
    return text;
}

platform::Data WireInput::readBinary() const {
    platform::Data bytes;
    if (!binary) {
        std::string text;
        protocol.readBinary(text);
        bytes.assign(text.begin(), text.end());
        return bytes;
    }
    readSized(readI32(), bytes);
    return bytes;
}

void WireInput::discard(std::int32_t size) const {
    if (size < 0) throw TProtocolException(TProtocolException::NEGATIVE_SIZE);
    const std::int32_t limit = BinaryLimits::stringLimit(*binary);
    if (limit > 0 && size > limit) throw TProtocolException(TProtocolException::SIZE_LIMIT);
    expect(static_cast<std::uint64_t>(size));
    std::uint8_t scratch[4096];
    for (auto left = static_cast<std::size_t>(size); left > 0;) {
        const std::size_t count = std::min(left, sizeof scratch);
        transport->readAll(scratch, static_cast<std::uint32_t>(count));
        left -= count;
    }
}

bool WireInput::isWireType(std::int8_t type) {
    switch (type) {
    case wire::T_BOOL:
    case wire::T_BYTE:
    case wire::T_DOUBLE:
    case wire::T_I16:
    case wire::T_I32:
    case wire::T_I64:
    case wire::T_STRING:
    case wire::T_STRUCT:
    case wire::T_MAP:
    case wire::T_SET:
    case wire::T_LIST: return true;
    default: return false;
    }
}

std::size_t WireInput::minimumSize(std::int8_t type) {
    switch (type) {
    case wire::T_I16: return 2;
    case wire::T_I32:
    case wire::T_STRING: return 4;
    case wire::T_I64:
    case wire::T_DOUBLE: return 8;
    case wire::T_MAP: return 6;
    case wire::T_SET:
    case wire::T_LIST: return 5;
    default: return 1;
    }
}

std::int8_t WireInput::readFieldBegin(std::int16_t& id) const {
    id = 0;
    if (!binary) {
        std::string name;
        wire::TType type;
        protocol.readFieldBegin(name, type, id);
        return static_cast<std::int8_t>(type);
    }
    const std::int8_t type = readByte();
    if (type == wire::T_STOP) return type;
    if (!isWireType(type)) refuseType();
    id = readI16();
    return type;
}

std::int32_t WireInput::readCount(std::size_t minimumElementSize) const {
    const std::int32_t count = readI32();
    if (count > 0) {
        const std::int32_t limit = BinaryLimits::containerLimit(*binary);
        if (limit > 0 && count > limit) throw TProtocolException(TProtocolException::SIZE_LIMIT);
        // In 64 bits: a count times an element size overflows int.
        expect(static_cast<std::uint64_t>(count) * minimumElementSize);
    }
    return count;
}

std::int32_t WireInput::readListBegin(std::int8_t& elementType, std::size_t minimumElementSize) const {
    if (!binary) {
        wire::TType type;
        std::uint32_t count = 0;
        protocol.readListBegin(type, count);
        elementType = static_cast<std::int8_t>(type);
        return static_cast<std::int32_t>(count);
    }
    elementType = readByte();
    return readCount(minimumElementSize);
}

std::int32_t WireInput::readMapBegin(std::int8_t& keyType, std::int8_t& valueType, std::size_t minimumEntrySize) const {
    if (!binary) {
        wire::TType key, value;
        std::uint32_t count = 0;
        protocol.readMapBegin(key, value, count);
        keyType = static_cast<std::int8_t>(key);
        valueType = static_cast<std::int8_t>(value);
        return static_cast<std::int32_t>(count);
    }
    keyType = readByte();
    valueType = readByte();
    return readCount(minimumEntrySize);
}

void WireInput::skip(std::int8_t type) const {
    if (!isWireType(type)) refuseType();
    if (!binary) {
        protocol.skip(static_cast<wire::TType>(type));
        return;
    }
    switch (type) {
    case wire::T_BOOL:
    case wire::T_BYTE: {
        std::int8_t value;
        binary->readByte(value);
        return;
    }
    case wire::T_I16: {
        std::int16_t value;
        binary->readI16(value);
        return;
    }
    case wire::T_I32: {
        std::int32_t value;
        binary->readI32(value);
        return;
    }
    case wire::T_I64:
    case wire::T_DOUBLE: {
        std::int64_t value;
        binary->readI64(value);
        return;
    }
    case wire::T_STRING: {
        std::int32_t size = 0;
        binary->readI32(size);
        discard(size);
        return;
    }
    case wire::T_STRUCT: {
        wire::TInputRecursionTracker tracker(protocol);
        for (;;) {
            std::int16_t id;
            std::int8_t field = readFieldBegin(id);
            if (field == wire::T_STOP) return;
            skip(field);
        }
    }
    case wire::T_MAP: {
        wire::TInputRecursionTracker tracker(protocol);
        std::int8_t key = 0, value = 0;
        binary->readByte(key);
        binary->readByte(value);
        if (!isWireType(key) || !isWireType(value)) refuseType();
        std::int32_t count = readCount(minimumSize(key) + minimumSize(value));
        if (count < 0) throw TProtocolException(TProtocolException::NEGATIVE_SIZE);
        for (std::int32_t i = 0; i < count; ++i) {
            skip(key);
            skip(value);
        }
        return;
    }
    default: {  // a list or a set
        wire::TInputRecursionTracker tracker(protocol);
        std::int8_t element = 0;
        binary->readByte(element);
        if (!isWireType(element)) refuseType();
        std::int32_t count = readCount(minimumSize(element));
        if (count < 0) throw TProtocolException(TProtocolException::NEGATIVE_SIZE);
        for (std::int32_t i = 0; i < count; ++i) skip(element);
        return;
    }
    }
}

void WireInput::readMessageBegin(std::string& name, std::int8_t& type, std::int32_t& sequenceID) const {
    if (!binary) {
        wire::TMessageType messageType;
        protocol.readMessageBegin(name, messageType, sequenceID);
        type = static_cast<std::int8_t>(messageType);
        return;
    }
    std::int32_t head = 0;
    binary->readI32(head);
    if (head < 0) {
        // Versioned: version in the high half, the type in the low byte.
        constexpr std::uint32_t kVersionMask = 0xffff0000U, kVersion1 = 0x80010000U;
        if ((static_cast<std::uint32_t>(head) & kVersionMask) != kVersion1)
            throw TProtocolException(TProtocolException::BAD_VERSION, "Bad version identifier");
        type = static_cast<std::int8_t>(head & 0xff);
        name = readString();
    } else {
        // Unversioned: the head is the name's length, the type follows it.
        readSized(head, name);
        binary->readByte(type);
    }
    binary->readI32(sequenceID);
}

TApplicationException WireInput::readApplicationException() const {
    if (!binary) {
        TApplicationException exception;
        exception.read(&protocol);
        return exception;
    }
    wire::TInputRecursionTracker tracker(protocol);
    std::string message;
    std::int32_t kind = TApplicationException::UNKNOWN;
    for (;;) {
        std::int16_t id;
        std::int8_t field = readFieldBegin(id);
        if (field == wire::T_STOP) break;
        if (id == 1 && field == wire::T_STRING)
            message = readString();
        else if (id == 2 && field == wire::T_I32)
            binary->readI32(kind);
        else
            skip(field);
    }
    if (kind < 0 || kind > kLastApplicationExceptionType) kind = TApplicationException::UNKNOWN;
    return TApplicationException(static_cast<TApplicationException::TApplicationExceptionType>(kind), message);
}

}  // namespace clipora
