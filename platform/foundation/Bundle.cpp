#include "platform/foundation/Bundle.h"

#include <cstdlib>
#include <system_error>

#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

#ifndef CLIPORA_SOURCE_DIR
#define CLIPORA_SOURCE_DIR "."
#endif

namespace clipora::platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLocalizationFolders[] = {"en.lproj", "English.lproj", "Base.lproj"};

std::string mainBundleRoot() {
    if (const char* dir = std::getenv("CLIPORA_BUNDLE_DIR"); dir && *dir) return dir;
    return (fs::path(CLIPORA_SOURCE_DIR) / "resources").string();
}

}  // namespace

Bundle::Bundle(std::string path) : path_(std::move(path)) {
    fs::path infoPath = fs::path(path_) / "Info.plist";
    std::error_code code;
    if (!fs::exists(infoPath, code)) return;
    std::optional<Error> error;
    auto info = PropertyList::fromFile(infoPath, &error);
    if (info && info->isDictionary()) {
        info_ = *info->dictionary();
    } else {
        Log::write("Bundle: unreadable " + infoPath.string() + (error ? ": " + error->localizedDescription() : ""));
    }
}

std::shared_ptr<Bundle> Bundle::mainBundle() {
    // Never destroyed: request code on background threads reads it (user
    // agent), also while statics are destroyed at exit.
    static std::mutex& mutex = *new std::mutex;
    static std::shared_ptr<Bundle>& shared = *new std::shared_ptr<Bundle>;
    std::string root = mainBundleRoot();
    std::lock_guard lock(mutex);
    // Follows $CLIPORA_BUNDLE_DIR when a test points it elsewhere.
    if (!shared || shared->path_ != root) shared = std::shared_ptr<Bundle>(new Bundle(root));
    return shared;
}

std::shared_ptr<Bundle> Bundle::bundleWithPath(const fs::path& path) {
    std::error_code code;
    if (path.empty() || !fs::is_directory(path, code)) return nullptr;
    return std::shared_ptr<Bundle>(new Bundle(path.string()));
}

std::optional<std::string> Bundle::pathForResource(std::string_view name, std::string_view type,
                                                   std::string_view subdirectory) const {
    if (name.empty()) return std::nullopt;
    std::string file(name);
    if (!type.empty()) {
        if (type.front() != '.') file += '.';
        file += type;
    }
    fs::path relative = subdirectory.empty() ? fs::path(file) : fs::path(subdirectory) / file;
    std::error_code code;
    fs::path candidate = fs::path(path_) / relative;
    if (fs::exists(candidate, code)) return candidate.string();
    for (const char* folder : kLocalizationFolders) {
        candidate = fs::path(path_) / folder / relative;
        if (fs::exists(candidate, code)) return candidate.string();
    }
    return std::nullopt;
}

const Value* Bundle::objectForInfoDictionaryKey(std::string_view key) const {
    auto it = info_.find(key);
    return it == info_.end() ? nullptr : &it->second;
}

std::optional<std::string> Bundle::infoString(std::string_view key) const {
    const Value* value = objectForInfoDictionaryKey(key);
    if (!value || !value->isString()) return std::nullopt;
    return *value->string();
}

const StringsTable::Entries* Bundle::stringsTable(std::string_view table) const {
    std::lock_guard lock(mutex_);
    auto it = tables_.find(table);
    if (it == tables_.end()) {
        std::optional<StringsTable::Entries> entries;
        if (auto path = pathForResource(table, "strings")) {
            std::optional<Error> error;
            entries = StringsTable::fromFile(*path, &error);
            if (!entries)
                Log::write("Bundle: unreadable strings table " + *path +
                           (error ? ": " + error->localizedDescription() : ""));
        }
        it = tables_.emplace(std::string(table), std::move(entries)).first;
    }
    return it->second ? &*it->second : nullptr;
}

std::string Bundle::localizedString(std::string_view key, std::string_view defaultValue, std::string_view table) const {
    if (table.empty()) table = kDefaultStringsTable;
    if (const StringsTable::Entries* entries = stringsTable(table)) {
        auto it = entries->find(key);
        if (it != entries->end()) return it->second;
    }
    if (!defaultValue.empty()) return std::string(defaultValue);
    return std::string(key);
}

bool Bundle::hasStringsTable(std::string_view table) const {
    return !table.empty() && pathForResource(table, "strings").has_value();
}

std::string Bundle::description() const { return "Bundle <" + path_ + ">"; }

}  // namespace clipora::platform
