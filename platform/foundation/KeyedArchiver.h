#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/PlistNode.h"
#include "platform/foundation/Point.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// Writes a graph of values and codable objects as a keyed archive: a binary
// property list holding a table of objects that refer to each other by
// index, so a shared object is written once and read back shared.
//
// Values of every kind may be archived (null, numbers, strings, data,
// dates, arrays, dictionaries); a shared object must implement Coding and
// be registered in the CodingRegistry. Anything else (a stream, an
// unregistered class) makes the archive fail with an error; after a
// failure every further encode is ignored and finishEncoding() answers the
// error.
//
// Keys are per object: inside Coding::encodeWithCoder the keys belong to
// the object being written. The "next" operations write values without
// keys, in order, for classes that archive a sequence.
class KeyedArchiver {
public:
    static constexpr std::string_view kRootKey = "root";
    static constexpr std::string_view kErrorDomain = "NSCocoaErrorDomain";
    static constexpr std::int64_t kInvalidValueError = 4866;

    KeyedArchiver();
    ~KeyedArchiver();
    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

    // The archive of `root` under `key`.
    static std::optional<Data> archivedData(const Value& root, std::string_view key = kRootKey,
                                            std::optional<Error>* error = nullptr);
    // The same, written to a file atomically.
    static bool archiveToFile(const Value& root, const std::filesystem::path& path, std::string_view key = kRootKey,
                              std::optional<Error>* error = nullptr);

    // std::nullopt is "no object" (read back as absent, though the key is
    // present); a Null Value is the null object.
    void encodeObject(const std::optional<Value>& object, std::string_view key);
    template <class T, class = std::enable_if_t<std::is_base_of_v<Object, T>>>
    void encodeObject(const std::shared_ptr<T>& object, std::string_view key) {
        if (object)
            encodeObject(std::optional<Value>(Value(std::static_pointer_cast<Object>(object))), key);
        else
            encodeObject(std::optional<Value>(), key);
    }
    void encodeBool(bool value, std::string_view key);
    void encodeInt(int value, std::string_view key) { encodeInt64(value, key); }
    void encodeInt32(std::int32_t value, std::string_view key) { encodeInt64(value, key); }
    void encodeInt64(std::int64_t value, std::string_view key);
    void encodeInteger(std::int64_t value, std::string_view key) { encodeInt64(value, key); }
    void encodeDouble(double value, std::string_view key);
    void encodeFloat(float value, std::string_view key) { encodeDouble(static_cast<double>(value), key); }
    // Two 32-bit floating-point coordinates.
    void encodePoint(Point point, std::string_view key);

    // Values without keys, read back in the same order.
    void encodeNextUInt32(std::uint32_t value);
    void encodeNextObject(const std::optional<Value>& object);

    // Marks the archive failed (an object that cannot archive its state).
    void failWithError(Error error);
    const std::optional<Error>& error() const { return error_; }

    // The archive's bytes; std::nullopt when an encode failed. Once only:
    // further calls answer the same result.
    std::optional<Data> finishEncoding();

private:
    struct Context {
        plist_t dictionary;
        std::uint32_t nextUnkeyed = 0;
    };

    // Index of the new or shared entry; std::nullopt after a failure.
    std::optional<std::uint64_t> encodeEntry(const Value& value, int depth);
    void setKey(std::string_view key, plist_t node);
    std::string nextUnkeyedKey();
    void fail(const std::string& reason);

    PlistNode objects_;
    PlistNode top_;
    std::vector<Context> contexts_;
    std::map<const Object*, std::uint64_t> shared_;
    std::uint64_t count_ = 0;
    int objectDepth_ = 0;  // nesting of the object whose fields are being written
    std::optional<Error> error_;
    bool finished_ = false;
    std::optional<Data> result_;
};

}  // namespace clipora::platform
