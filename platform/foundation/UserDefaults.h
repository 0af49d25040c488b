#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// The application's user defaults: a dictionary of property-list values kept
// in <home>/Library/Preferences/Clipora.plist (binary), loaded when the
// object is made and written atomically after every change, so what a set
// stored survives the process. The file is readable by its owner only (mode
// 0600 from its creation, and for the temporary file of every rewrite): it
// holds the session's access token.
//
// Lookups answer the stored value, else the registered default, else
// "absent" (std::nullopt / false / 0). Registered defaults live in memory
// only and never replace a stored value. Every set or remove posts
// kDidChangeNotification (object: the defaults) on the calling thread after
// the change is written. Safe from any thread.
class UserDefaults : public Object, public std::enable_shared_from_this<UserDefaults> {
public:
    static constexpr const char* kDidChangeNotification = "NSUserDefaultsDidChangeNotification";
    static constexpr const char* kFileName = "Clipora.plist";

    // The shared defaults of the current home. When the home names
    // another folder than the one the shared defaults were loaded from (a new
    // test), or that folder was removed and made again, fresh defaults are
    // loaded from the new home.
    static std::shared_ptr<UserDefaults> standardUserDefaults();
    // Forgets the shared defaults; the next standardUserDefaults() loads
    // them again from disk (as a new process would).
    static void resetStandardUserDefaults();

    // Defaults kept in the given file (loaded now if it exists).
    static std::shared_ptr<UserDefaults> withFile(std::string path);

    const std::string& filePath() const { return path_; }

    // ---- Reading ----
    std::optional<Value> objectForKey(std::string_view key) const;
    // Number or text read as a boolean ("YES", "true", "1" ...); false when absent.
    bool boolForKey(std::string_view key) const;
    std::int64_t integerForKey(std::string_view key) const;
    float floatForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    // A string, or a number's text form; std::nullopt for anything else.
    std::optional<std::string> stringForKey(std::string_view key) const;
    std::optional<Data> dataForKey(std::string_view key) const;
    std::optional<Date> dateForKey(std::string_view key) const;
    std::optional<Value::Array> arrayForKey(std::string_view key) const;
    std::optional<Value::Dictionary> dictionaryForKey(std::string_view key) const;
    // Stored values over registered ones.
    Value::Dictionary dictionaryRepresentation() const;

    // ---- Writing ----
    // The value must have a property-list form (no null, no objects, also
    // not inside collections): anything else throws InvalidArgumentException.
    void setObject(const Value& value, std::string_view key);
    void setBool(bool value, std::string_view key);
    void setInteger(std::int64_t value, std::string_view key);
    void setFloat(float value, std::string_view key);
    void setDouble(double value, std::string_view key);
    void removeObjectForKey(std::string_view key);

    // Adds defaults answered for keys that hold no stored value. Not written
    // to disk; no notification.
    void registerDefaults(const Value::Dictionary& defaults);

    // Writes the stored values if an earlier write failed; answers whether
    // the file on disk now holds them.
    bool synchronize();

private:
    explicit UserDefaults(std::string path);
    void load();
    // Writes `values_` (caller holds mutex_); answers success.
    bool writeLocked();
    void changed();

    const std::string path_;
    mutable std::mutex mutex_;
    Value::Dictionary values_;
    Value::Dictionary registered_;
    bool dirty_ = false;
};

}  // namespace clipora::platform
