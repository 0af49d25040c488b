#include "notes/types/Record.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/protocol/TProtocol.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TBufferTransports.h>

#include "notes/types/WireInput.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace clipora {

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TProtocol;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::protocol::TType;

namespace {

using String = std::optional<std::string>;
using Bytes = std::optional<platform::Data>;
using StringList = std::optional<std::vector<std::string>>;
using I64List = std::optional<std::vector<std::int64_t>>;
using CountMap = std::optional<std::map<std::string, std::int32_t>>;
using StringMap = std::optional<std::map<std::string, std::string>>;

// Elements reserved ahead when the bytes left in the message are unknown; a
// longer list still reads, growing as its elements actually arrive.
constexpr std::size_t kBlindReservation = 4096;

TType wireType(FieldKind kind) { return static_cast<TType>(wireTypeCode(kind)); }

// The fewest bytes one element of a kind takes in the binary protocol.
std::size_t minimumSize(FieldKind kind) { return WireInput::minimumSize(wireTypeCode(kind)); }

}  // namespace

std::int8_t wireTypeCode(FieldKind kind) {
    switch (kind) {
    case FieldKind::Bool: return apache::thrift::protocol::T_BOOL;
    case FieldKind::I16: return apache::thrift::protocol::T_I16;
    case FieldKind::I32: return apache::thrift::protocol::T_I32;
    case FieldKind::I64: return apache::thrift::protocol::T_I64;
    case FieldKind::Double: return apache::thrift::protocol::T_DOUBLE;
    case FieldKind::String:
    case FieldKind::Binary: return apache::thrift::protocol::T_STRING;
    case FieldKind::Struct: return apache::thrift::protocol::T_STRUCT;
    case FieldKind::List: return apache::thrift::protocol::T_LIST;
    case FieldKind::Map: return apache::thrift::protocol::T_MAP;
    }
    return apache::thrift::protocol::T_STOP;
}

// The protocol of one read or write, examined once for the whole tree.
struct Record::Codec : WireInput {
    using WireInput::WireInput;
};

namespace {

// How many elements to reserve for a container that announces `count`: never
// more than the bytes still readable could hold, so a hostile count costs no
// memory before its elements are really there.
std::size_t reservationFor(const WireInput& input, std::int32_t count, std::size_t elementSize) {
    if (count <= 0) return 0;
    auto left = input.bytesLeft();
    return std::min<std::size_t>(static_cast<std::size_t>(count), left ? *left / elementSize : kBlindReservation);
}

void writeBytes(TProtocol& out, TBinaryProtocol* binary, apache::thrift::transport::TTransport* transport,
                const platform::Data& bytes) {
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw TProtocolException(TProtocolException::SIZE_LIMIT);
    if (!binary) {
        out.writeBinary(std::string(bytes.begin(), bytes.end()));
        return;
    }
    binary->writeI32(static_cast<std::int32_t>(bytes.size()));
    if (!bytes.empty()) transport->write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// Whether an object slot holds an object (scalars always hold a value).
bool isPresent(const FieldDescriptor& f, const void* slot) {
    switch (f.kind) {
    case FieldKind::String: return static_cast<const String*>(slot)->has_value();
    case FieldKind::Binary: return static_cast<const Bytes*>(slot)->has_value();
    case FieldKind::Struct: return f.records->get(slot) != nullptr;
    case FieldKind::List:
        switch (f.element) {
        case FieldKind::String: return static_cast<const StringList*>(slot)->has_value();
        case FieldKind::I64: return static_cast<const I64List*>(slot)->has_value();
        default: return f.records->listPresent(slot);
        }
    case FieldKind::Map:
        return f.element == FieldKind::I32 ? static_cast<const CountMap*>(slot)->has_value()
                                           : static_cast<const StringMap*>(slot)->has_value();
    default: return true;
    }
}

}  // namespace

Record::~Record() = default;

void Record::read(TProtocol& in) { readWith(Codec(in)); }

void Record::readWith(const Codec& codec) {
    TProtocol& in = codec.protocol;
    apache::thrift::protocol::TInputRecursionTracker tracker(in);
    const RecordType& type = recordType();
    std::string name;
    in.readStructBegin(name);
    for (;;) {
        std::int16_t id = 0;
        const std::int8_t wire = codec.readFieldBegin(id);
        if (wire == apache::thrift::protocol::T_STOP) break;
        std::size_t index = 0;
        while (index < type.fields.size() && type.fields[index].id != id) ++index;
        if (index == type.fields.size() || wireTypeCode(type.fields[index].kind) != wire) {
            codec.skip(wire);
            in.readFieldEnd();
            continue;
        }
        const FieldDescriptor& f = type.fields[index];
        void* slot = f.slot(*this);
        switch (f.kind) {
        case FieldKind::Bool: in.readBool(*static_cast<bool*>(slot)); break;
        case FieldKind::I16: *static_cast<std::int16_t*>(slot) = codec.readI16(); break;
        case FieldKind::I32: *static_cast<std::int32_t*>(slot) = codec.readI32(); break;
        case FieldKind::I64: *static_cast<std::int64_t*>(slot) = codec.readI64(); break;
        case FieldKind::Double: in.readDouble(*static_cast<double*>(slot)); break;
        case FieldKind::String: *static_cast<String*>(slot) = codec.readString(); break;
        case FieldKind::Binary: *static_cast<Bytes*>(slot) = codec.readBinary(); break;
        case FieldKind::Struct: {
            // A new record of the field's class takes the old one's place.
            f.records->emplace(slot).readWith(codec);
            break;
        }
        case FieldKind::List: {
            // The element type in the header is not examined: elements are
            // read as the field declares them.
            std::int8_t announced = 0;
            std::int32_t count = codec.readListBegin(announced, minimumSize(f.element));
            // A call structure reads a negative size as an empty list; a data
            // record refuses it.
            if (count < 0 && !type.isCall) throw TProtocolException(TProtocolException::NEGATIVE_SIZE);
            std::size_t reserve = reservationFor(codec, count, minimumSize(f.element));
            if (f.element == FieldKind::String) {
                std::vector<std::string> list;
                list.reserve(reserve);
                for (std::int32_t i = 0; i < count; ++i) list.push_back(codec.readString());
                *static_cast<StringList*>(slot) = std::move(list);
            } else if (f.element == FieldKind::I64) {
                std::vector<std::int64_t> list;
                list.reserve(reserve);
                for (std::int32_t i = 0; i < count; ++i) list.push_back(codec.readI64());
                *static_cast<I64List*>(slot) = std::move(list);
            } else {
                f.records->listStart(slot, reserve);
                for (std::int32_t i = 0; i < count; ++i) f.records->listEmplace(slot).readWith(codec);
            }
            in.readListEnd();
            break;
        }
        case FieldKind::Map: {
            std::int8_t keyType = 0, valueType = 0;
            std::int32_t count = codec.readMapBegin(keyType, valueType, minimumSize(f.key) + minimumSize(f.element));
            if (count < 0) throw TProtocolException(TProtocolException::NEGATIVE_SIZE);
            if (f.element == FieldKind::I32) {
                std::map<std::string, std::int32_t> map;
                for (std::int32_t i = 0; i < count; ++i) {
                    std::string key = codec.readString();
                    map.insert_or_assign(std::move(key), codec.readI32());
                }
                *static_cast<CountMap*>(slot) = std::move(map);
            } else {
                std::map<std::string, std::string> map;
                for (std::int32_t i = 0; i < count; ++i) {
                    std::string key = codec.readString();
                    map.insert_or_assign(std::move(key), codec.readString());
                }
                *static_cast<StringMap*>(slot) = std::move(map);
            }
            in.readMapEnd();
            break;
        }
        }
        setFlag(index);
        in.readFieldEnd();
    }
    in.readStructEnd();
}

namespace {

void writeEmptyStruct(TProtocol& out) {
    out.writeStructBegin("");
    out.writeFieldStop();
    out.writeStructEnd();
}

// Every value but records (Record::writeWith writes those).
void writeValue(TProtocol& out, TBinaryProtocol* binary, apache::thrift::transport::TTransport* transport,
                const FieldDescriptor& f, const void* slot) {
    switch (f.kind) {
    case FieldKind::Bool: out.writeBool(*static_cast<const bool*>(slot)); break;
    case FieldKind::I16: out.writeI16(*static_cast<const std::int16_t*>(slot)); break;
    case FieldKind::I32: out.writeI32(*static_cast<const std::int32_t*>(slot)); break;
    case FieldKind::I64: out.writeI64(*static_cast<const std::int64_t*>(slot)); break;
    case FieldKind::Double: out.writeDouble(*static_cast<const double*>(slot)); break;
    case FieldKind::String: out.writeString(**static_cast<const String*>(slot)); break;
    case FieldKind::Binary: writeBytes(out, binary, transport, **static_cast<const Bytes*>(slot)); break;
    case FieldKind::Struct: break;
    case FieldKind::List:
        if (f.element == FieldKind::String) {
            const auto& list = **static_cast<const StringList*>(slot);
            out.writeListBegin(apache::thrift::protocol::T_STRING, static_cast<std::uint32_t>(list.size()));
            for (const auto& item : list) out.writeString(item);
        } else if (f.element == FieldKind::I64) {
            const auto& list = **static_cast<const I64List*>(slot);
            out.writeListBegin(apache::thrift::protocol::T_I64, static_cast<std::uint32_t>(list.size()));
            for (auto item : list) out.writeI64(item);
        }
        out.writeListEnd();
        break;
    case FieldKind::Map:
        if (f.element == FieldKind::I32) {
            const auto& map = **static_cast<const CountMap*>(slot);
            out.writeMapBegin(apache::thrift::protocol::T_STRING, apache::thrift::protocol::T_I32,
                              static_cast<std::uint32_t>(map.size()));
            for (const auto& [key, value] : map) {
                out.writeString(key);
                out.writeI32(value);
            }
        } else {
            const auto& map = **static_cast<const StringMap*>(slot);
            out.writeMapBegin(apache::thrift::protocol::T_STRING, apache::thrift::protocol::T_STRING,
                              static_cast<std::uint32_t>(map.size()));
            for (const auto& [key, value] : map) {
                out.writeString(key);
                out.writeString(value);
            }
        }
        out.writeMapEnd();
        break;
    }
}

}  // namespace

void Record::write(TProtocol& out) const { writeWith(Codec(out)); }

void Record::writeWith(const Codec& codec) const {
    TProtocol& out = codec.protocol;
    apache::thrift::protocol::TOutputRecursionTracker tracker(out);
    const RecordType& type = recordType();
    auto& self = const_cast<Record&>(*this);
    out.writeStructBegin(type.wireName);
    for (std::size_t i = 0; i < type.fields.size(); ++i) {
        if (!isSetAt(i)) continue;
        const FieldDescriptor& f = type.fields[i];
        const void* slot = f.slot(self);
        if (isPresent(f, slot)) {
            out.writeFieldBegin(f.name, wireType(f.kind), f.id);
            if (f.kind == FieldKind::Struct) {
                f.records->get(slot)->writeWith(codec);
            } else if (f.kind == FieldKind::List && f.element == FieldKind::Struct) {
                std::size_t count = f.records->listCount(slot);
                out.writeListBegin(apache::thrift::protocol::T_STRUCT, static_cast<std::uint32_t>(count));
                for (std::size_t k = 0; k < count; ++k) {
                    // The header already counted it: a missing record goes out empty.
                    if (const Record* item = f.records->listAt(slot, k))
                        item->writeWith(codec);
                    else
                        writeEmptyStruct(out);
                }
                out.writeListEnd();
            } else {
                writeValue(out, codec.binary, codec.transport, f, slot);
            }
            out.writeFieldEnd();
        }
        // A result carries one answer: the first set field, even when it
        // holds no object (then none at all).
        if (type.isResult) break;
    }
    out.writeFieldStop();
    out.writeStructEnd();
}

// ---- Description ----

namespace {

constexpr const char* kNullText = "(null)";

platform::Value valueOfRecord(const std::shared_ptr<Record>& record) {
    return record ? platform::Value(std::static_pointer_cast<platform::Object>(record)) : platform::Value();
}

// The field's object as a platform value (for descriptions of containers
// and for archives); std::nullopt when it holds no object.
std::optional<platform::Value> objectValue(const FieldDescriptor& f, const void* slot) {
    if (!isPresent(f, slot)) return std::nullopt;
    switch (f.kind) {
    case FieldKind::String: return platform::Value(**static_cast<const String*>(slot));
    case FieldKind::Binary: return platform::Value(**static_cast<const Bytes*>(slot));
    case FieldKind::Struct: return valueOfRecord(f.records->share(slot));
    case FieldKind::List: {
        platform::Value::Array array;
        if (f.element == FieldKind::String) {
            for (const auto& item : **static_cast<const StringList*>(slot)) array.emplace_back(item);
        } else if (f.element == FieldKind::I64) {
            for (auto item : **static_cast<const I64List*>(slot)) array.emplace_back(static_cast<long long>(item));
        } else {
            std::size_t count = f.records->listCount(slot);
            for (std::size_t i = 0; i < count; ++i) array.push_back(valueOfRecord(f.records->listShare(slot, i)));
        }
        return platform::Value(std::move(array));
    }
    case FieldKind::Map: {
        platform::Value::Dictionary dictionary;
        if (f.element == FieldKind::I32) {
            for (const auto& [key, value] : **static_cast<const CountMap*>(slot)) dictionary.emplace(key, value);
        } else {
            for (const auto& [key, value] : **static_cast<const StringMap*>(slot)) dictionary.emplace(key, value);
        }
        return platform::Value(std::move(dictionary));
    }
    default: return std::nullopt;
    }
}

std::string formatted(const char* format, auto value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

}  // namespace

std::string Record::description() const {
    const RecordType& type = recordType();
    auto& self = const_cast<Record&>(*this);
    std::string text = type.wireName;
    text += '(';
    for (std::size_t i = 0; i < type.fields.size(); ++i) {
        const FieldDescriptor& f = type.fields[i];
        if (i > 0) text += ',';
        text += f.name;
        text += ':';
        const void* slot = f.slot(self);
        switch (f.kind) {
        case FieldKind::Bool: text += *static_cast<const bool*>(slot) ? "1" : "0"; break;
        case FieldKind::I16: text += formatted("%hi", *static_cast<const std::int16_t*>(slot)); break;
        case FieldKind::I32: text += formatted("%" PRId32, *static_cast<const std::int32_t*>(slot)); break;
        case FieldKind::I64: text += formatted("%" PRId64, *static_cast<const std::int64_t*>(slot)); break;
        case FieldKind::Double: text += formatted("%f", *static_cast<const double*>(slot)); break;
        case FieldKind::String:
        case FieldKind::Binary: {
            auto value = objectValue(f, slot);
            text += '"';
            text += value ? value->description() : kNullText;
            text += '"';
            break;
        }
        default: {
            auto value = objectValue(f, slot);
            text += value ? value->description() : kNullText;
            break;
        }
        }
    }
    text += ')';
    return text;
}

// ---- Keyed archiving ----

std::string Record::classNameForCoder() const { return recordType().className; }

void Record::encodeWithCoder(platform::KeyedArchiver& coder) const {
    encodeBaseWithCoder(coder);
    const RecordType& type = recordType();
    auto& self = const_cast<Record&>(*this);
    for (std::size_t i = 0; i < type.fields.size(); ++i) {
        if (!isSetAt(i)) continue;
        const FieldDescriptor& f = type.fields[i];
        const void* slot = f.slot(self);
        switch (f.kind) {
        case FieldKind::Bool: coder.encodeBool(*static_cast<const bool*>(slot), f.name); break;
        case FieldKind::I16: coder.encodeInt(*static_cast<const std::int16_t*>(slot), f.name); break;
        case FieldKind::I32: coder.encodeInt32(*static_cast<const std::int32_t*>(slot), f.name); break;
        case FieldKind::I64: coder.encodeInt64(*static_cast<const std::int64_t*>(slot), f.name); break;
        case FieldKind::Double: coder.encodeDouble(*static_cast<const double*>(slot), f.name); break;
        default: coder.encodeObject(objectValue(f, slot), f.name); break;
        }
    }
}

namespace {

platform::Error archiveError(const RecordType& type, const FieldDescriptor& f) {
    return platform::Error::withDescription(
        std::string(platform::KeyedUnarchiver::kErrorDomain), platform::KeyedUnarchiver::kReadCorruptError,
        std::string("The archived value of ") + type.className + "." + f.name + " is not of the field's kind.");
}

// Stores an archived object into the field; false when it is of another kind.
bool storeObject(const FieldDescriptor& f, void* slot, const std::optional<platform::Value>& value) {
    using platform::Value;
    switch (f.kind) {
    case FieldKind::String:
        if (!value) return (*static_cast<String*>(slot) = std::nullopt, true);
        if (!value->string()) return false;
        *static_cast<String*>(slot) = *value->string();
        return true;
    case FieldKind::Binary:
        if (!value) return (*static_cast<Bytes*>(slot) = std::nullopt, true);
        if (!value->data()) return false;
        *static_cast<Bytes*>(slot) = *value->data();
        return true;
    case FieldKind::Struct:
        return f.records->assign(slot, value ? value->objectAs<Record>() : nullptr) && (!value || value->object());
    case FieldKind::List: {
        if (!value) {
            if (f.element == FieldKind::String)
                *static_cast<StringList*>(slot) = std::nullopt;
            else if (f.element == FieldKind::I64)
                *static_cast<I64List*>(slot) = std::nullopt;
            else
                f.records->listReset(slot);
            return true;
        }
        const Value::Array* array = value->array();
        if (!array) return false;
        if (f.element == FieldKind::String) {
            std::vector<std::string> list;
            for (const auto& item : *array) {
                if (!item.string()) return false;
                list.push_back(*item.string());
            }
            *static_cast<StringList*>(slot) = std::move(list);
        } else if (f.element == FieldKind::I64) {
            std::vector<std::int64_t> list;
            for (const auto& item : *array) {
                auto number = item.integer();
                if (!number) return false;
                list.push_back(*number);
            }
            *static_cast<I64List*>(slot) = std::move(list);
        } else {
            f.records->listStart(slot, array->size());
            for (const auto& item : *array) {
                if (!item.isNull() && !item.objectAs<Record>()) return false;
                if (!f.records->listAppend(slot, item.objectAs<Record>())) return false;
            }
        }
        return true;
    }
    case FieldKind::Map: {
        const Value::Dictionary* dictionary = value ? value->dictionary() : nullptr;
        if (value && !dictionary) return false;
        if (f.element == FieldKind::I32) {
            CountMap map;
            if (dictionary) {
                map.emplace();
                for (const auto& [key, item] : *dictionary) {
                    auto number = item.integer();
                    if (!number || *number < std::numeric_limits<std::int32_t>::min() ||
                        *number > std::numeric_limits<std::int32_t>::max())
                        return false;
                    map->emplace(key, static_cast<std::int32_t>(*number));
                }
            }
            *static_cast<CountMap*>(slot) = std::move(map);
        } else {
            StringMap map;
            if (dictionary) {
                map.emplace();
                for (const auto& [key, item] : *dictionary) {
                    if (!item.string()) return false;
                    map->emplace(key, *item.string());
                }
            }
            *static_cast<StringMap*>(slot) = std::move(map);
        }
        return true;
    }
    default: return false;
    }
}

}  // namespace

bool Record::decodeFieldsWithCoder(platform::KeyedUnarchiver& coder) {
    const RecordType& type = recordType();
    for (std::size_t i = 0; i < type.fields.size(); ++i) {
        const FieldDescriptor& f = type.fields[i];
        if (!coder.containsValue(f.name)) continue;
        void* slot = f.slot(*this);
        bool stored = true;
        switch (f.kind) {
        case FieldKind::Bool: *static_cast<bool*>(slot) = coder.decodeBool(f.name); break;
        case FieldKind::I16: {
            std::int32_t value = coder.decodeInt(f.name);
            stored =
                value >= std::numeric_limits<std::int16_t>::min() && value <= std::numeric_limits<std::int16_t>::max();
            *static_cast<std::int16_t*>(slot) = static_cast<std::int16_t>(value);
            break;
        }
        case FieldKind::I32: *static_cast<std::int32_t*>(slot) = coder.decodeInt32(f.name); break;
        case FieldKind::I64: *static_cast<std::int64_t*>(slot) = coder.decodeInt64(f.name); break;
        case FieldKind::Double: *static_cast<double*>(slot) = coder.decodeDouble(f.name); break;
        default: {
            auto value = coder.decodeObject(f.name);
            if (coder.failed()) return false;
            stored = storeObject(f, slot, value);
            break;
        }
        }
        if (coder.failed()) return false;
        if (!stored) {
            coder.failWithError(archiveError(type, f));
            return false;
        }
        setFlag(i);
    }
    return true;
}

void registerRecordClass(const char* className,
                         std::shared_ptr<platform::Object> (*decoder)(platform::KeyedUnarchiver&)) {
    platform::CodingRegistry::registerClass(className, decoder);
}

}  // namespace clipora
