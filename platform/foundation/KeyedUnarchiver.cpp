#include "platform/foundation/KeyedUnarchiver.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/foundation/Coding.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/FileManager.h"

namespace clipora::platform {

// The layout is described in KeyedArchiver.cpp.
namespace {

constexpr const char* kArchiverName = "CliporaKeyedArchiver";
constexpr std::uint64_t kVersion = 1;

std::string escapeKey(std::string_view key) {
    std::string out;
    if (!key.empty() && key.front() == '$') out += '$';
    out += key;
    return out;
}

plist_t dictItem(plist_t dict, const char* key) {
    if (!dict || plist_get_node_type(dict) != PLIST_DICT) return nullptr;
    return plist_dict_get_item(dict, key);
}

bool isString(plist_t node, const char* text) {
    return node && plist_get_node_type(node) == PLIST_STRING && PlistNode::stringValue(node) == text;
}

std::string inQuotes(std::string_view key) { return "\"" + std::string(key) + "\""; }

}  // namespace

// Makes an object's dictionary the one keys are read from while its decoder runs.
class KeyedUnarchiver::ContextGuard {
public:
    ContextGuard(KeyedUnarchiver& owner, plist_t dictionary, int depth)
        : owner_(owner), savedDepth_(owner.objectDepth_) {
        owner_.contexts_.push_back({dictionary, 0});
        owner_.objectDepth_ = depth;
    }
    ~ContextGuard() {
        owner_.contexts_.pop_back();
        owner_.objectDepth_ = savedDepth_;
    }
    ContextGuard(const ContextGuard&) = delete;
    ContextGuard& operator=(const ContextGuard&) = delete;

private:
    KeyedUnarchiver& owner_;
    int savedDepth_;
};

KeyedUnarchiver::KeyedUnarchiver(const Data& archive) {
    root_ = PlistNode::parse(archive.data(), archive.size());
    if (!root_) {
        fail("the bytes are not a keyed archive");
        return;
    }
    plist_t root = root_.get();
    if (plist_get_node_type(root) != PLIST_DICT || !isString(dictItem(root, "$archiver"), kArchiverName)) {
        fail("the bytes are not a keyed archive");
        return;
    }
    plist_t version = dictItem(root, "$version");
    std::uint64_t v = 0;
    if (!version || plist_get_node_type(version) != PLIST_UINT || (plist_get_uint_val(version, &v), v != kVersion)) {
        fail("unsupported archive version");
        return;
    }
    plist_t top = dictItem(root, "$top");
    objects_ = dictItem(root, "$objects");
    if (!top || plist_get_node_type(top) != PLIST_DICT || !objects_ || plist_get_node_type(objects_) != PLIST_ARRAY) {
        fail("the archive has no object table");
        return;
    }
    count_ = plist_array_get_size(objects_);
    if (count_ == 0 || !isString(plist_array_get_item(objects_, 0), "$null")) {
        fail("the archive's object table is damaged");
        return;
    }
    visiting_.assign(count_, 0);
    // Every entry is read a bounded number of times; references that fan out
    // (one array listed many times inside another) cannot blow up the work.
    budget_ = static_cast<std::uint64_t>(count_) * 8 + 4096;
    contexts_.push_back({top, 0});
}

KeyedUnarchiver::~KeyedUnarchiver() = default;

std::optional<Value> KeyedUnarchiver::unarchivedObject(const Data& archive, const ClassList& allowedClasses,
                                                       std::string_view key, std::optional<Error>* error) {
    KeyedUnarchiver unarchiver(archive);
    auto value = unarchiver.decodeObject(key, allowedClasses);
    if (unarchiver.failed()) {
        if (error) *error = unarchiver.error();
        return std::nullopt;
    }
    return value;
}

std::optional<Value> KeyedUnarchiver::unarchivedObjectFromFile(const std::filesystem::path& path,
                                                               const ClassList& allowedClasses, std::string_view key,
                                                               std::optional<Error>* error) {
    auto bytes = FileManager::contentsOfFile(path, error);
    if (!bytes) return std::nullopt;
    return unarchivedObject(*bytes, allowedClasses, key, error);
}

std::optional<Value> KeyedUnarchiver::unarchivedObjectOfAnyClass(const Data& archive, std::string_view key,
                                                                 std::optional<Error>* error) {
    KeyedUnarchiver unarchiver(archive);
    auto value = unarchiver.decodeObject(key);
    if (unarchiver.failed()) {
        if (error) *error = unarchiver.error();
        return std::nullopt;
    }
    return value;
}

void KeyedUnarchiver::fail(const std::string& reason) {
    if (error_) return;
    Error error = Error::withDescription(std::string(kErrorDomain), kReadCorruptError,
                                         "The data couldn't be read because it isn't in the correct format.");
    error.setUserInfoValue(std::string(Error::kLocalizedFailureReasonKey), Value(reason));
    error_ = std::move(error);
}

void KeyedUnarchiver::failWithError(Error error) {
    if (!error_) error_ = std::move(error);
}

plist_t KeyedUnarchiver::lookup(std::string_view key) const {
    if (error_ || contexts_.empty()) return nullptr;
    return plist_dict_get_item(contexts_.back().dictionary, escapeKey(key).c_str());
}

bool KeyedUnarchiver::containsValue(std::string_view key) const { return lookup(key) != nullptr; }

std::optional<Value> KeyedUnarchiver::decodeObject(std::string_view key, const ClassList& allowedClasses) {
    plist_t node = lookup(key);
    if (!node) return std::nullopt;
    return decodeReference(node, &allowedClasses, key);
}

std::optional<Value> KeyedUnarchiver::decodeObject(std::string_view key) {
    plist_t node = lookup(key);
    if (!node) return std::nullopt;
    return decodeReference(node, nullptr, key);
}

std::optional<Value::Array> KeyedUnarchiver::decodeArray(std::string_view key, const ClassList& elementClasses) {
    plist_t node = lookup(key);
    if (!node) return std::nullopt;
    const ClassList outer = {Coding::kArrayClass};
    auto value = decodeReference(node, &outer, key, &elementClasses);
    if (!value || !value->isArray()) return std::nullopt;
    return std::move(*value->array());
}

std::optional<Value::Dictionary> KeyedUnarchiver::decodeDictionary(std::string_view key,
                                                                   const ClassList& elementClasses) {
    plist_t node = lookup(key);
    if (!node) return std::nullopt;
    const ClassList outer = {Coding::kDictionaryClass};
    auto value = decodeReference(node, &outer, key, &elementClasses);
    if (!value || !value->isDictionary()) return std::nullopt;
    return std::move(*value->dictionary());
}

std::optional<std::string> KeyedUnarchiver::decodeString(std::string_view key) {
    auto value = decodeObject(key, {Coding::kStringClass});
    if (!value || !value->isString()) return std::nullopt;
    return *value->string();
}

std::optional<Date> KeyedUnarchiver::decodeDate(std::string_view key) {
    auto value = decodeObject(key, {Coding::kDateClass});
    if (!value) return std::nullopt;
    return value->date();
}

std::optional<Data> KeyedUnarchiver::decodeData(std::string_view key) {
    auto value = decodeObject(key, {Coding::kDataClass});
    if (!value || !value->isData()) return std::nullopt;
    return *value->data();
}

std::optional<Value> KeyedUnarchiver::decodeReference(plist_t node, const ClassList* allowed, std::string_view key,
                                                      const ClassList* inner) {
    if (plist_get_node_type(node) != PLIST_UID) {
        fail("the value for " + inQuotes(key) + " is not an object");
        return std::nullopt;
    }
    std::uint64_t index = 0;
    plist_get_uid_val(node, &index);
    if (index == 0) return std::nullopt;  // "no object"
    Decoded decoded = decodeEntry(index, allowed, objectDepth_, inner);
    if (!decoded.ok) return std::nullopt;
    return decoded.value;
}

bool KeyedUnarchiver::allows(const ClassList* allowed, std::string_view name, std::string_view key) {
    if (!allowed) return true;
    for (const std::string& entry : *allowed)
        if (entry == name) return true;
    fail("the value for " + inQuotes(key) + " is of class " + std::string(name) + ", which is not allowed there");
    return false;
}

KeyedUnarchiver::Decoded KeyedUnarchiver::decodeEntry(std::uint64_t index, const ClassList* allowed, int depth,
                                                      const ClassList* inner) {
    Decoded result;
    const ClassList* contents = inner ? inner : allowed;
    if (error_) return result;
    if (index == 0 || index >= count_) {
        fail("an object reference points outside the archive");
        return result;
    }
    if (depth > kMaxDepth) {
        fail("the archive nests objects too deeply");
        return result;
    }
    if (budget_ == 0) {
        fail("the archive refers to its objects too many times");
        return result;
    }
    --budget_;

    plist_t node = plist_array_get_item(objects_, static_cast<std::uint32_t>(index));
    if (!node) {
        fail("an object reference points outside the archive");
        return result;
    }
    const std::string where = "entry " + std::to_string(index);

    switch (plist_get_node_type(node)) {
    case PLIST_STRING:
        if (!allows(allowed, Coding::kStringClass, where)) return result;
        result.value = Value(PlistNode::stringValue(node));
        break;
    case PLIST_BOOLEAN: {
        if (!allows(allowed, Coding::kNumberClass, where)) return result;
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        result.value = Value(b != 0);
        break;
    }
    case PLIST_UINT: {
        if (!allows(allowed, Coding::kNumberClass, where)) return result;
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        result.value = Value(static_cast<long long>(static_cast<std::int64_t>(u)));
        break;
    }
    case PLIST_REAL: {
        if (!allows(allowed, Coding::kNumberClass, where)) return result;
        double d = 0;
        plist_get_real_val(node, &d);
        result.value = Value(d);
        break;
    }
    case PLIST_DATA: {
        if (!allows(allowed, Coding::kDataClass, where)) return result;
        std::uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        Data data;
        if (bytes)
            data.assign(reinterpret_cast<const std::uint8_t*>(bytes),
                        reinterpret_cast<const std::uint8_t*>(bytes) + length);
        result.value = Value(std::move(data));
        break;
    }
    case PLIST_DATE: {
        if (!allows(allowed, Coding::kDateClass, where)) return result;
        auto date = PlistNode::dateValue(node);
        if (!date) {
            fail("unreadable date at " + where);
            return result;
        }
        result.value = Value(*date);
        break;
    }
    case PLIST_DICT: {
        plist_t classNode = dictItem(node, "$class");
        if (!classNode || plist_get_node_type(classNode) != PLIST_STRING) {
            fail(where + " has no class");
            return result;
        }
        std::string name = PlistNode::stringValue(classNode);
        if (name == Coding::kNullClass) {
            if (!allows(allowed, name, where)) return result;
            result.value = Value();
            break;
        }
        if (visiting_[index]) {
            fail(where + " contains itself");
            return result;
        }
        if (name == Coding::kArrayClass) {
            if (!allows(allowed, name, where)) return result;
            plist_t items = dictItem(node, "$items");
            if (!items || plist_get_node_type(items) != PLIST_ARRAY) {
                fail(where + " is an array without items");
                return result;
            }
            visiting_[index] = 1;
            Value::Array array;
            std::uint32_t size = plist_array_get_size(items);
            for (std::uint32_t i = 0; i < size && !error_; ++i) {
                auto element = decodeMember(plist_array_get_item(items, i), contents, depth + 1, where, nullptr, i);
                if (!element) break;
                array.push_back(std::move(*element));
            }
            visiting_[index] = 0;
            if (error_) return result;
            result.value = Value(std::move(array));
            break;
        }
        if (name == Coding::kDictionaryClass) {
            if (!allows(allowed, name, where)) return result;
            plist_t entries = dictItem(node, "$entries");
            if (!entries || plist_get_node_type(entries) != PLIST_DICT) {
                fail(where + " is a dictionary without entries");
                return result;
            }
            visiting_[index] = 1;
            Value::Dictionary dictionary;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(entries, &it);
            while (!error_) {
                char* key = nullptr;
                plist_t item = nullptr;
                plist_dict_next_item(entries, it, &key, &item);
                if (!item) {
                    std::free(key);
                    break;
                }
                std::string entryKey = key ? key : "";
                std::free(key);
                auto element = decodeMember(item, contents, depth + 1, where, &entryKey, 0);
                if (!element) break;
                dictionary.insert_or_assign(std::move(entryKey), std::move(*element));
            }
            std::free(it);
            visiting_[index] = 0;
            if (error_) return result;
            result.value = Value(std::move(dictionary));
            break;
        }
        // A registered class.
        if (!allows(allowed, name, where)) return result;
        if (auto it = shared_.find(index); it != shared_.end()) {
            result.ok = true;
            if (it->second) result.value = Value(it->second);
            return result;
        }
        CodingRegistry::Decoder decoder = CodingRegistry::decoderFor(name);
        if (!decoder) {
            fail(where + " is of the unknown class " + inQuotes(name));
            return result;
        }
        visiting_[index] = 1;
        std::shared_ptr<Object> object;
        {
            ContextGuard guard(*this, node, depth + 1);
            object = decoder(*this);
        }
        visiting_[index] = 0;
        if (error_) return result;
        shared_.emplace(index, object);
        if (object) result.value = Value(object);
        break;
    }
    default: fail(where + " is not an archived object"); return result;
    }
    result.ok = true;
    return result;
}

std::optional<Value> KeyedUnarchiver::decodeMember(plist_t item, const ClassList* allowed, int depth,
                                                   const std::string& where, const std::string* key,
                                                   std::uint32_t position) {
    if (!item || plist_get_node_type(item) != PLIST_UID) {
        fail(where + " holds something other than an object reference");
        return std::nullopt;
    }
    std::uint64_t child = 0;
    plist_get_uid_val(item, &child);
    Decoded element = decodeEntry(child, allowed, depth);
    if (!element.ok) return std::nullopt;
    if (!element.value) {
        fail(where + " holds no object " +
             (key ? "under " + inQuotes(*key) : "at position " + std::to_string(position)));
        return std::nullopt;
    }
    return std::move(element.value);
}

std::optional<std::int64_t> KeyedUnarchiver::integerNode(plist_t node, std::string_view key) {
    switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return static_cast<std::int64_t>(u);
    }
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return b ? 1 : 0;
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        // Within the range where the conversion is defined.
        if (std::isfinite(d) && d >= -9223372036854775808.0 && d < 9223372036854775808.0)
            return static_cast<std::int64_t>(d);
        break;
    }
    default: break;
    }
    fail("the value for " + inQuotes(key) + " is not an integer");
    return std::nullopt;
}

std::optional<double> KeyedUnarchiver::realNode(plist_t node, std::string_view key) {
    switch (plist_get_node_type(node)) {
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return d;
    }
    case PLIST_UINT: {
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return static_cast<double>(static_cast<std::int64_t>(u));
    }
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return b ? 1.0 : 0.0;
    }
    default: fail("the value for " + inQuotes(key) + " is not a number"); return std::nullopt;
    }
}

bool KeyedUnarchiver::decodeBool(std::string_view key) {
    plist_t node = lookup(key);
    if (!node) return false;
    auto value = realNode(node, key);
    return value && *value != 0.0;
}

std::int32_t KeyedUnarchiver::decodeInt32(std::string_view key) {
    plist_t node = lookup(key);
    if (!node) return 0;
    auto value = integerNode(node, key);
    if (!value) return 0;
    if (*value < std::numeric_limits<std::int32_t>::min() || *value > std::numeric_limits<std::int32_t>::max()) {
        fail("the value for " + inQuotes(key) + " does not fit 32 bits");
        return 0;
    }
    return static_cast<std::int32_t>(*value);
}

std::int64_t KeyedUnarchiver::decodeInt64(std::string_view key) {
    plist_t node = lookup(key);
    if (!node) return 0;
    return integerNode(node, key).value_or(0);
}

double KeyedUnarchiver::decodeDouble(std::string_view key) {
    plist_t node = lookup(key);
    if (!node) return 0.0;
    return realNode(node, key).value_or(0.0);
}

float KeyedUnarchiver::decodeFloat(std::string_view key) { return static_cast<float>(decodeDouble(key)); }

Point KeyedUnarchiver::decodePoint(std::string_view key) {
    plist_t node = lookup(key);
    if (!node) return {};
    if (plist_get_node_type(node) != PLIST_ARRAY || plist_array_get_size(node) != 2) {
        fail("the value for " + inQuotes(key) + " is not a point");
        return {};
    }
    auto x = realNode(plist_array_get_item(node, 0), key);
    auto y = realNode(plist_array_get_item(node, 1), key);
    if (!x || !y) return {};
    return Point{static_cast<float>(*x), static_cast<float>(*y)};
}

std::string KeyedUnarchiver::nextUnkeyedKey() { return "$" + std::to_string(contexts_.back().nextUnkeyed++); }

std::uint32_t KeyedUnarchiver::decodeNextUInt32() {
    if (error_) return 0;
    std::string key = nextUnkeyedKey();
    plist_t node = plist_dict_get_item(contexts_.back().dictionary, key.c_str());
    if (!node) {
        fail("the archive ends before its value " + key);
        return 0;
    }
    auto value = integerNode(node, key);
    if (!value) return 0;
    if (*value < 0 || *value > std::numeric_limits<std::uint32_t>::max()) {
        fail("the value " + key + " does not fit 32 bits");
        return 0;
    }
    return static_cast<std::uint32_t>(*value);
}

std::optional<Value> KeyedUnarchiver::decodeNextObject(const ClassList& allowedClasses) {
    if (error_) return std::nullopt;
    std::string key = nextUnkeyedKey();
    plist_t node = plist_dict_get_item(contexts_.back().dictionary, key.c_str());
    if (!node) {
        fail("the archive ends before its value " + key);
        return std::nullopt;
    }
    return decodeReference(node, &allowedClasses, key);
}

}  // namespace clipora::platform
