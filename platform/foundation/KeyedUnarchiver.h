#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/PlistNode.h"
#include "platform/foundation/Point.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// Reads a keyed archive written by KeyedArchiver.
//
// Nothing in the bytes is trusted: every reference, kind and class is
// checked as it is read, so a truncated, corrupt or type-confused archive
// ends in an error and never in a crash. The first failure is kept in
// error(); from then on every decode answers absent / 0 at once, and the
// whole-archive functions answer std::nullopt with that error.
//
// Type-checked decoding takes the list of class names allowed for the
// object and, inside arrays and dictionaries, for everything they hold: the
// value kinds of Coding (kStringClass, kArrayClass, ...) and registered
// class names. A registered object decodes its own fields with its own
// checks. Anything outside the list fails the archive.
//
// Inside CodingRegistry decoders the keys are those of the object being read.
class KeyedUnarchiver {
public:
    using ClassList = std::vector<std::string>;

    static constexpr std::string_view kErrorDomain = "NSCocoaErrorDomain";
    static constexpr std::int64_t kReadCorruptError = 4864;

    explicit KeyedUnarchiver(const Data& archive);
    ~KeyedUnarchiver();
    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;

    // The object under `key` of the archive, type-checked. std::nullopt when
    // the key holds nothing (error left empty) or on failure (error set).
    static std::optional<Value> unarchivedObject(const Data& archive, const ClassList& allowedClasses,
                                                 std::string_view key = "root", std::optional<Error>* error = nullptr);
    // The same for a file (a missing file is an error).
    static std::optional<Value> unarchivedObjectFromFile(const std::filesystem::path& path,
                                                         const ClassList& allowedClasses, std::string_view key = "root",
                                                         std::optional<Error>* error = nullptr);
    // Any value kind and any registered class.
    static std::optional<Value> unarchivedObjectOfAnyClass(const Data& archive, std::string_view key = "root",
                                                           std::optional<Error>* error = nullptr);

    bool containsValue(std::string_view key) const;

    // std::nullopt when absent, "no object", or on failure.
    std::optional<Value> decodeObject(std::string_view key, const ClassList& allowedClasses);
    std::optional<Value> decodeObject(std::string_view key);  // any class
    // An array or dictionary (anything else fails the archive) whose
    // contents, all the way down, are of the listed classes.
    std::optional<Value::Array> decodeArray(std::string_view key, const ClassList& elementClasses);
    std::optional<Value::Dictionary> decodeDictionary(std::string_view key, const ClassList& elementClasses);
    std::optional<std::string> decodeString(std::string_view key);
    std::optional<Date> decodeDate(std::string_view key);
    std::optional<Data> decodeData(std::string_view key);

    // Absent keys read as false / 0 / (0, 0). Numbers convert among
    // themselves; a value that does not fit (an int32 read of a larger
    // number) or that is not a number fails the archive.
    bool decodeBool(std::string_view key);
    int decodeInt(std::string_view key) { return decodeInt32(key); }
    std::int32_t decodeInt32(std::string_view key);
    std::int64_t decodeInt64(std::string_view key);
    std::int64_t decodeInteger(std::string_view key) { return decodeInt64(key); }
    double decodeDouble(std::string_view key);
    float decodeFloat(std::string_view key);
    Point decodePoint(std::string_view key);

    // Values written without keys, in order; reading past the last one
    // fails the archive.
    std::uint32_t decodeNextUInt32();
    std::optional<Value> decodeNextObject(const ClassList& allowedClasses);

    void failWithError(Error error);
    const std::optional<Error>& error() const { return error_; }
    bool failed() const { return error_.has_value(); }

    // Limits that keep hostile archives from exhausting the stack or memory.
    static constexpr int kMaxDepth = 256;

private:
    struct Context {
        plist_t dictionary;
        std::uint32_t nextUnkeyed = 0;
    };
    struct Decoded {
        bool ok = false;
        std::optional<Value> value;  // std::nullopt with ok: "no object"
    };
    class ContextGuard;

    plist_t lookup(std::string_view key) const;
    // `allowed` null: any class. `inner`: the classes allowed inside a
    // container entry (null: the same as `allowed`).
    std::optional<Value> decodeReference(plist_t node, const ClassList* allowed, std::string_view key,
                                         const ClassList* inner = nullptr);
    Decoded decodeEntry(std::uint64_t index, const ClassList* allowed, int depth, const ClassList* inner = nullptr);
    // One member of an archived array (`key` null, at `position`) or
    // dictionary (under `key`): a reference to an object that is there.
    // None once the archive has failed.
    std::optional<Value> decodeMember(plist_t item, const ClassList* allowed, int depth, const std::string& where,
                                      const std::string* key, std::uint32_t position);
    bool allows(const ClassList* allowed, std::string_view name, std::string_view key);
    std::optional<std::int64_t> integerNode(plist_t node, std::string_view key);
    std::optional<double> realNode(plist_t node, std::string_view key);
    std::string nextUnkeyedKey();
    void fail(const std::string& reason);

    PlistNode root_;
    plist_t objects_ = nullptr;
    std::uint32_t count_ = 0;
    std::vector<Context> contexts_;
    std::vector<std::uint8_t> visiting_;
    std::map<std::uint64_t, std::shared_ptr<Object>> shared_;
    std::uint64_t budget_ = 0;
    int objectDepth_ = 0;  // nesting of the object whose fields are being read
    std::optional<Error> error_;
};

}  // namespace clipora::platform
