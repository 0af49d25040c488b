#include "platform/foundation/KeyedArchiver.h"

#include "platform/foundation/Coding.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace clipora::platform {

// Archive layout (binary property list):
//   { "$archiver": "CliporaKeyedArchiver", "$version": 1,
//     "$top": { key: UID, ... }, "$objects": [ "$null", entry, ... ] }
// Entry 0 stands for "no object". An entry is a string, number, data or date
// node, or a dictionary with "$class": "Null" | "Array" ("$items": [UID]) |
// "Dictionary" ("$entries": {key: UID}) | a registered class name (its keys;
// object references as UIDs, scalars and points inline). Keys that start
// with '$' get one more '$'; unkeyed values use "$0", "$1", ...
namespace archive {
constexpr const char* kArchiverKey = "$archiver";
constexpr const char* kArchiverName = "CliporaKeyedArchiver";
constexpr const char* kVersionKey = "$version";
constexpr std::uint64_t kVersion = 1;
constexpr const char* kTopKey = "$top";
constexpr const char* kObjectsKey = "$objects";
constexpr const char* kClassKey = "$class";
constexpr const char* kItemsKey = "$items";
constexpr const char* kEntriesKey = "$entries";
constexpr const char* kNullMarker = "$null";
}  // namespace archive

namespace {

std::string escapeKey(std::string_view key) {
    std::string out;
    if (!key.empty() && key.front() == '$') out += '$';
    out += key;
    return out;
}

}  // namespace

KeyedArchiver::KeyedArchiver() : objects_(plist_new_array()), top_(plist_new_dict()) {
    plist_array_append_item(objects_.get(), plist_new_string(archive::kNullMarker));
    count_ = 1;
    contexts_.push_back({top_.get(), 0});
}

KeyedArchiver::~KeyedArchiver() = default;

std::optional<Data> KeyedArchiver::archivedData(const Value& root, std::string_view key, std::optional<Error>* error) {
    KeyedArchiver archiver;
    archiver.encodeObject(std::optional<Value>(root), key);
    auto data = archiver.finishEncoding();
    if (!data && error) *error = archiver.error();
    return data;
}

bool KeyedArchiver::archiveToFile(const Value& root, const std::filesystem::path& path, std::string_view key,
                                  std::optional<Error>* error) {
    auto data = archivedData(root, key, error);
    if (!data) return false;
    return FileManager::writeData(path, *data, true, error);
}

void KeyedArchiver::fail(const std::string& reason) {
    if (error_) return;
    Error error = Error::withDescription(std::string(kErrorDomain), kInvalidValueError,
                                         "The data couldn't be written because it isn't in the correct format.");
    error.setUserInfoValue(std::string(Error::kLocalizedFailureReasonKey), Value(reason));
    error_ = std::move(error);
}

void KeyedArchiver::failWithError(Error error) {
    if (!error_) error_ = std::move(error);
}

void KeyedArchiver::setKey(std::string_view key, plist_t node) {
    if (error_ || finished_) {
        plist_free(node);
        return;
    }
    plist_dict_set_item(contexts_.back().dictionary, escapeKey(key).c_str(), node);
}

std::string KeyedArchiver::nextUnkeyedKey() { return "$" + std::to_string(contexts_.back().nextUnkeyed++); }

void KeyedArchiver::encodeObject(const std::optional<Value>& object, std::string_view key) {
    if (error_ || finished_) return;
    std::uint64_t index = 0;
    if (object) {
        auto entry = encodeEntry(*object, objectDepth_);
        if (!entry) return;
        index = *entry;
    }
    setKey(key, plist_new_uid(index));
}

void KeyedArchiver::encodeBool(bool value, std::string_view key) { setKey(key, plist_new_bool(value ? 1 : 0)); }

void KeyedArchiver::encodeInt64(std::int64_t value, std::string_view key) {
    setKey(key, plist_new_uint(static_cast<std::uint64_t>(value)));
}

void KeyedArchiver::encodeDouble(double value, std::string_view key) { setKey(key, plist_new_real(value)); }

void KeyedArchiver::encodePoint(Point point, std::string_view key) {
    plist_t pair = plist_new_array();
    plist_array_append_item(pair, plist_new_real(static_cast<double>(point.x)));
    plist_array_append_item(pair, plist_new_real(static_cast<double>(point.y)));
    setKey(key, pair);
}

void KeyedArchiver::encodeNextUInt32(std::uint32_t value) {
    if (error_ || finished_) return;
    std::string key = nextUnkeyedKey();
    plist_dict_set_item(contexts_.back().dictionary, key.c_str(), plist_new_uint(value));
}

void KeyedArchiver::encodeNextObject(const std::optional<Value>& object) {
    if (error_ || finished_) return;
    std::uint64_t index = 0;
    if (object) {
        auto entry = encodeEntry(*object, objectDepth_);
        if (!entry) return;
        index = *entry;
    }
    std::string key = nextUnkeyedKey();
    plist_dict_set_item(contexts_.back().dictionary, key.c_str(), plist_new_uid(index));
}

std::optional<std::uint64_t> KeyedArchiver::encodeEntry(const Value& value, int depth) {
    if (error_) return std::nullopt;
    if (depth > KeyedUnarchiver::kMaxDepth) {
        fail("the object graph is nested too deeply");
        return std::nullopt;
    }
    auto append = [this](plist_t node) {
        plist_array_append_item(objects_.get(), node);
        return count_++;
    };
    auto classEntry = [](const char* name) {
        plist_t dict = plist_new_dict();
        plist_dict_set_item(dict, archive::kClassKey, plist_new_string(name));
        return dict;
    };

    switch (value.kind()) {
    case Value::Kind::Null: return append(classEntry("Null"));
    case Value::Kind::Bool: return append(plist_new_bool(*value.boolean() ? 1 : 0));
    case Value::Kind::Integer:
        return append(plist_new_uint(value.isUnsignedInteger() ? *value.unsignedInteger()
                                                               : static_cast<std::uint64_t>(*value.integer())));
    case Value::Kind::Real: return append(plist_new_real(*value.real()));
    case Value::Kind::String: return append(plist_new_string(value.string()->c_str()));
    case Value::Kind::Data: {
        const Data& data = *value.data();
        return append(PlistNode::newData(data));
    }
    case Value::Kind::Date: return append(PlistNode::newDate(*value.date()));
    case Value::Kind::Array: {
        plist_t entry = classEntry("Array");
        plist_t items = plist_new_array();
        plist_dict_set_item(entry, archive::kItemsKey, items);
        std::uint64_t index = append(entry);
        for (const Value& item : *value.array()) {
            auto child = encodeEntry(item, depth + 1);
            if (!child) return std::nullopt;
            plist_array_append_item(items, plist_new_uid(*child));
        }
        return index;
    }
    case Value::Kind::Dictionary: {
        plist_t entry = classEntry("Dictionary");
        plist_t entries = plist_new_dict();
        plist_dict_set_item(entry, archive::kEntriesKey, entries);
        std::uint64_t index = append(entry);
        for (const auto& [key, item] : *value.dictionary()) {
            auto child = encodeEntry(item, depth + 1);
            if (!child) return std::nullopt;
            plist_dict_set_item(entries, key.c_str(), plist_new_uid(*child));
        }
        return index;
    }
    case Value::Kind::Object: {
        std::shared_ptr<Object> object = value.object();
        if (auto it = shared_.find(object.get()); it != shared_.end()) return it->second;
        auto coding = std::dynamic_pointer_cast<Coding>(object);
        if (!coding) {
            fail("an object that cannot be archived: " + object->description());
            return std::nullopt;
        }
        std::string name = coding->classNameForCoder();
        if (!CodingRegistry::isRegistered(name)) {
            fail("the class \"" + name + "\" is not registered for archiving");
            return std::nullopt;
        }
        plist_t entry = classEntry(name.c_str());
        std::uint64_t index = append(entry);
        // Known before its fields are written, so references back to it
        // (and other references to the same object) share this entry.
        shared_.emplace(object.get(), index);
        contexts_.push_back({entry, 0});
        int savedDepth = objectDepth_;
        objectDepth_ = depth + 1;
        coding->encodeWithCoder(*this);
        objectDepth_ = savedDepth;
        contexts_.pop_back();
        if (error_) return std::nullopt;
        return index;
    }
    }
    fail("unknown value kind");
    return std::nullopt;
}

std::optional<Data> KeyedArchiver::finishEncoding() {
    if (finished_) return result_;
    finished_ = true;
    if (error_) return std::nullopt;
    PlistNode root(plist_new_dict());
    plist_dict_set_item(root.get(), archive::kArchiverKey, plist_new_string(archive::kArchiverName));
    plist_dict_set_item(root.get(), archive::kVersionKey, plist_new_uint(archive::kVersion));
    plist_dict_set_item(root.get(), archive::kTopKey, top_.release());
    plist_dict_set_item(root.get(), archive::kObjectsKey, objects_.release());
    result_ = PlistNode::toBinary(root.get());
    if (!result_) fail("the archive could not be serialized");
    return result_;
}

}  // namespace clipora::platform
