#include "platform/foundation/UserDefaults.h"

#include <cstdint>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/InvalidArgumentException.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"

namespace clipora::platform {

namespace {

// The shared defaults. Never destroyed: request code on background threads
// reads them, also while statics are destroyed at exit.
struct SharedDefaults {
    std::mutex mutex;
    std::shared_ptr<UserDefaults> defaults;
};

SharedDefaults& shared() {
    static SharedDefaults& s = *new SharedDefaults;
    return s;
}
// The preferences folder the shared defaults were loaded from, by identity:
// a home removed and made again under the same name is another home. The
// birth time tells a new folder from an old one even when the file system
// hands out the freed inode number again.
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t bornSeconds = 0;
    std::uint32_t bornNanoseconds = 0;
    friend bool operator==(const FolderIdentity&, const FolderIdentity&) = default;
};
FolderIdentity sharedFolderIdentity;

FolderIdentity folderIdentity(const std::string& folder) {
    struct statx info {};
    if (::statx(AT_FDCWD, folder.c_str(), 0, STATX_INO | STATX_BTIME, &info) != 0) return {};
    FolderIdentity identity;
    identity.device = (std::uint64_t{info.stx_dev_major} << 32) | info.stx_dev_minor;
    identity.inode = info.stx_ino;
    if (info.stx_mask & STATX_BTIME) {
        identity.bornSeconds = info.stx_btime.tv_sec;
        identity.bornNanoseconds = info.stx_btime.tv_nsec;
    }
    return identity;
}

}  // namespace

std::shared_ptr<UserDefaults> UserDefaults::standardUserDefaults() {
    std::string folder = FileManager::preferencesDirectory();
    std::string path = (std::filesystem::path(folder) / kFileName).string();
    auto identity = folderIdentity(folder);
    auto& s = shared();
    std::lock_guard lock(s.mutex);
    if (!s.defaults || s.defaults->path_ != path || sharedFolderIdentity != identity) {
        s.defaults = withFile(path);
        sharedFolderIdentity = identity;
    }
    return s.defaults;
}

void UserDefaults::resetStandardUserDefaults() {
    auto& s = shared();
    std::lock_guard lock(s.mutex);
    s.defaults.reset();
}

std::shared_ptr<UserDefaults> UserDefaults::withFile(std::string path) {
    std::shared_ptr<UserDefaults> defaults(new UserDefaults(std::move(path)));
    defaults->load();
    return defaults;
}

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)) {}

void UserDefaults::load() {
    if (!FileManager::fileExists(path_)) return;
    // A file left readable by others (an earlier version wrote it so) is
    // closed before anything else reads or writes it: it may hold a token.
    if (auto mode = FileManager::permissions(path_); mode && (*mode & 077u)) FileManager::makePrivate(path_);
    std::optional<Error> error;
    auto stored = PropertyList::fromFile(path_, &error);
    std::lock_guard lock(mutex_);
    if (stored && stored->isDictionary()) {
        values_ = *stored->dictionary();
        return;
    }
    // A damaged file must not take the application down, nor be silently
    // replaced by the next write: it is moved aside, as the other stores
    // are, so what it still holds can be recovered by hand.
    std::string why = error ? ": " + error->localizedDescription() : std::string();
    std::optional<Error> moveError;
    if (auto aside = FileManager::moveItemAside(path_, &moveError))
        Log::write("UserDefaults: unreadable " + path_ + why + "; kept as " + aside->string());
    else
        Log::write("UserDefaults: unreadable " + path_ + why + "; could not set it aside" +
                   (moveError ? ": " + moveError->localizedDescription() : std::string()));
}

std::optional<Value> UserDefaults::objectForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    if (auto it = values_.find(key); it != values_.end()) return it->second;
    if (auto it = registered_.find(key); it != registered_.end()) return it->second;
    return std::nullopt;
}

bool UserDefaults::boolForKey(std::string_view key) const {
    auto value = objectForKey(key);
    return value && value->boolValue();
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    auto value = objectForKey(key);
    return value ? value->integerValue() : 0;
}

float UserDefaults::floatForKey(std::string_view key) const { return static_cast<float>(doubleForKey(key)); }

double UserDefaults::doubleForKey(std::string_view key) const {
    auto value = objectForKey(key);
    return value ? value->doubleValue() : 0.0;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (value->isString()) return *value->string();
    if (value->isNumber()) return value->description();
    return std::nullopt;
}

std::optional<Data> UserDefaults::dataForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value || !value->isData()) return std::nullopt;
    return *value->data();
}

std::optional<Date> UserDefaults::dateForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value) return std::nullopt;
    return value->date();
}

std::optional<Value::Array> UserDefaults::arrayForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value || !value->isArray()) return std::nullopt;
    return *value->array();
}

std::optional<Value::Dictionary> UserDefaults::dictionaryForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value || !value->isDictionary()) return std::nullopt;
    return *value->dictionary();
}

Value::Dictionary UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    Value::Dictionary all = registered_;
    for (const auto& [key, value] : values_) all.insert_or_assign(key, value);
    return all;
}

void UserDefaults::setObject(const Value& value, std::string_view key) {
    if (!PropertyList::isValid(value))
        throw InvalidArgumentException("UserDefaults: the value for \"" + std::string(key) +
                                       "\" is not a property-list value");
    {
        std::lock_guard lock(mutex_);
        values_.insert_or_assign(std::string(key), value);
        writeLocked();
    }
    changed();
}

void UserDefaults::setBool(bool value, std::string_view key) { setObject(Value(value), key); }

void UserDefaults::setInteger(std::int64_t value, std::string_view key) {
    setObject(Value(static_cast<long long>(value)), key);
}

void UserDefaults::setFloat(float value, std::string_view key) { setObject(Value(static_cast<double>(value)), key); }

void UserDefaults::setDouble(double value, std::string_view key) { setObject(Value(value), key); }

void UserDefaults::removeObjectForKey(std::string_view key) {
    {
        std::lock_guard lock(mutex_);
        auto it = values_.find(key);
        if (it != values_.end()) {
            values_.erase(it);
            writeLocked();
        }
    }
    changed();
}

void UserDefaults::registerDefaults(const Value::Dictionary& defaults) {
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : defaults) registered_.insert_or_assign(key, value);
}

bool UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    if (!dirty_) return true;
    return writeLocked();
}

bool UserDefaults::writeLocked() {
    std::optional<Error> error;
    std::filesystem::path path(path_);
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    // The defaults hold the session's access token: the file is its owner's
    // alone from the moment it exists. Each rewrite goes through a temporary
    // file that is 0600 before a byte is written, then renamed over the old
    // one, so no reader ever finds the values in a file open to others.
    auto bytes = PropertyList::toData(Value(values_), PropertyList::Format::Binary, &error);
    bool ok = bytes && FileManager::writePrivateData(path, *bytes, &error);
    dirty_ = !ok;
    if (!ok) Log::write("UserDefaults: cannot write " + path_ + (error ? ": " + error->localizedDescription() : ""));
    return ok;
}

void UserDefaults::changed() {
    NotificationCenter::defaultCenter().post(kDidChangeNotification,
                                             Value(std::static_pointer_cast<Object>(shared_from_this())));
}

}  // namespace clipora::platform
