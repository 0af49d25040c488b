#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

// The Thrift runtime stays out of this header: records only name its
// protocol interface.
namespace apache::thrift::protocol {
class TProtocol;
}

namespace clipora::platform {
class KeyedArchiver;
class KeyedUnarchiver;
}  // namespace clipora::platform

namespace clipora {

class Record;

// What one field holds. Enumerations are I32 on the wire and in memory.
enum class FieldKind : std::uint8_t { Bool, I16, I32, I64, Double, String, Binary, Struct, List, Map };

// The type number the protocol puts on the wire for a field of this kind,
// as a plain integer so that this header needs no protocol header. Code that
// writes or checks structs by hand (tests, tools) uses it rather than a table
// of its own.
std::int8_t wireTypeCode(FieldKind kind);

struct RecordType;

// How the engine reaches record-valued slots (a struct field, or a list of
// records) without knowing their class: one table per record class, made by
// RecordSlot<T> below.
struct RecordSlotOps {
    const RecordType& (*type)();
    // std::shared_ptr<T> slot.
    const Record* (*get)(const void* slot);
    std::shared_ptr<Record> (*share)(const void* slot);
    Record& (*emplace)(void* slot);                                // stores a new empty T
    bool (*assign)(void* slot, const std::shared_ptr<Record>& v);  // false: not a T
    // std::optional<std::vector<std::shared_ptr<T>>> slot.
    bool (*listPresent)(const void* slot);
    void (*listReset)(void* slot);                       // no list
    void (*listStart)(void* slot, std::size_t reserve);  // an empty, present list
    std::size_t (*listCount)(const void* slot);
    const Record* (*listAt)(const void* slot, std::size_t index);
    std::shared_ptr<Record> (*listShare)(const void* slot, std::size_t index);
    Record& (*listEmplace)(void* slot);                                // appends a new empty T
    bool (*listAppend)(void* slot, const std::shared_ptr<Record>& v);  // false: not a T
};

// One field of a record: the table the whole engine runs on.
struct FieldDescriptor {
    std::int16_t id;
    const char* name;
    FieldKind kind;
    FieldKind element;              // list element or map value
    FieldKind key;                  // map key
    const RecordSlotOps* records;   // Struct fields and lists of records
    void* (*slot)(Record& record);  // the field's value inside the record
};

// One record class: its names, its fields in ascending id order, and how to
// make an empty instance.
struct RecordType {
    const char* className;  // "EDAMNote": the archive's class name
    const char* wireName;   // "Note": handed to the protocol and shown by description()
    bool isResult;          // a "_result" structure: writes at most one field
    bool isCall;            // an "_args" or "_result" structure of a service call
    std::span<const FieldDescriptor> fields;
    std::shared_ptr<Record> (*make)();
};

// Base of every record, exception and call structure of the note service.
//
// A record is a set of typed value slots plus one is-set flag per field;
// reading, writing, describing and archiving are done once, here, by walking
// the class's field table. Reading skips unknown ids and mistyped fields and
// requires nothing; writing leaves out unset fields and set fields holding
// no object. Protocol and transport exceptions pass through unchanged.
class Record : public platform::Object, public platform::Coding {
public:
    ~Record() override;

    virtual const RecordType& recordType() const = 0;

    // Fills the record from one struct on the protocol.
    void read(apache::thrift::protocol::TProtocol& in);
    // Writes the record as one struct.
    void write(apache::thrift::protocol::TProtocol& out) const;

    // "Note(guid:\"...\",title:...)": every field, set or not.
    std::string description() const override;

    std::string classNameForCoder() const override;
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // Sets the fields whose keys the archive holds; false when the archive
    // holds a value of the wrong kind (the archive is then failed).
    bool decodeFieldsWithCoder(platform::KeyedUnarchiver& coder);

    // The is-set flag of the field at `index` in the field table.
    bool isSetAt(std::size_t index) const { return (isSet_ >> index) & 1U; }

protected:
    Record() = default;
    Record(const Record&) = default;
    Record& operator=(const Record&) = default;

    void setFlag(std::size_t index) { isSet_ |= std::uint64_t{1} << index; }
    void clearFlag(std::size_t index) { isSet_ &= ~(std::uint64_t{1} << index); }
    // Encodes what the class keeps outside its fields (the exceptions' name
    // and reason), before the fields.
    virtual void encodeBaseWithCoder(platform::KeyedArchiver&) const {}

private:
    // The protocol of one read or write, examined once for the whole tree.
    struct Codec;
    void readWith(const Codec& codec);
    void writeWith(const Codec& codec) const;

    std::uint64_t isSet_ = 0;
};

// Registers a record class for keyed archiving (T::initWithCoder rebuilds it).
void registerRecordClass(const char* className,
                         std::shared_ptr<platform::Object> (*decoder)(platform::KeyedUnarchiver&));

// The slot operations of record class T.
template <class T>
struct RecordSlot {
    using Ptr = std::shared_ptr<T>;
    using List = std::optional<std::vector<Ptr>>;

    static const RecordType& type() { return T::staticRecordType(); }
    static const Record* get(const void* s) { return static_cast<const Ptr*>(s)->get(); }
    static std::shared_ptr<Record> share(const void* s) { return *static_cast<const Ptr*>(s); }
    static Record& emplace(void* s) {
        auto& p = *static_cast<Ptr*>(s);
        p = std::make_shared<T>();
        return *p;
    }
    static bool assign(void* s, const std::shared_ptr<Record>& v) {
        auto typed = std::dynamic_pointer_cast<T>(v);
        if (v && !typed) return false;
        *static_cast<Ptr*>(s) = std::move(typed);
        return true;
    }
    static bool listPresent(const void* s) { return static_cast<const List*>(s)->has_value(); }
    static void listReset(void* s) { static_cast<List*>(s)->reset(); }
    static void listStart(void* s, std::size_t reserve) {
        auto& l = *static_cast<List*>(s);
        l.emplace();
        l->reserve(reserve);
    }
    static std::size_t listCount(const void* s) { return (*static_cast<const List*>(s))->size(); }
    static const Record* listAt(const void* s, std::size_t i) { return (**static_cast<const List*>(s))[i].get(); }
    static std::shared_ptr<Record> listShare(const void* s, std::size_t i) {
        return (**static_cast<const List*>(s))[i];
    }
    static Record& listEmplace(void* s) {
        auto& l = **static_cast<List*>(s);
        l.push_back(std::make_shared<T>());
        return *l.back();
    }
    static bool listAppend(void* s, const std::shared_ptr<Record>& v) {
        auto typed = std::dynamic_pointer_cast<T>(v);
        if (v && !typed) return false;
        (*static_cast<List*>(s))->push_back(std::move(typed));
        return true;
    }

    static constexpr RecordSlotOps ops{&type,        &get,         &share,     &emplace,   &assign,
                                       &listPresent, &listReset,   &listStart, &listCount, &listAt,
                                       &listShare,   &listEmplace, &listAppend};
};

}  // namespace clipora
