#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"
#include "platform/foundation/StringsTable.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// A folder of resources read by name: the application's main bundle (the
// repository's resources/ folder, or $CLIPORA_BUNDLE_DIR when set) or any
// folder, such as a named bundle inside it ("ShareCore.bundle").
//
// Resources are looked up at the bundle's root first, then in the English
// localization folders ("en.lproj", "English.lproj", "Base.lproj").
// Safe from any thread; strings tables are read once and kept.
class Bundle : public Object {
public:
    static constexpr std::string_view kDefaultStringsTable = "Localizable";

    static std::shared_ptr<Bundle> mainBundle();
    // A bundle on an existing folder; nullptr when `path` is not one.
    static std::shared_ptr<Bundle> bundleWithPath(const std::filesystem::path& path);

    const std::string& bundlePath() const { return path_; }
    // Where resources live; the bundle's own folder (bundles are flat).
    const std::string& resourcePath() const { return path_; }

    // The path of an existing file or folder. `name` may hold folders
    // ("FBDialog.bundle/images/close.png"); `type` is an extension with or
    // without its dot, empty when `name` carries it.
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type = {},
                                               std::string_view subdirectory = {}) const;

    // Info.plist at the bundle's root (empty when missing or unreadable).
    const Value::Dictionary& infoDictionary() const { return info_; }
    const Value* objectForInfoDictionaryKey(std::string_view key) const;
    // A string entry of the info dictionary ("CFBundleName", "CFBundleVersion",
    // "CFBundleShortVersionString", "CFBundleDisplayName").
    std::optional<std::string> infoString(std::string_view key) const;

    // The text for `key` in the strings table `table` (`Localizable` when
    // empty). When the table or the key is missing: `defaultValue` when it is
    // not empty, else the key itself.
    std::string localizedString(std::string_view key, std::string_view defaultValue = {},
                                std::string_view table = {}) const;
    // Whether a strings table `<table>.strings` exists in the bundle.
    bool hasStringsTable(std::string_view table) const;

    std::string description() const override;

private:
    explicit Bundle(std::string path);
    const StringsTable::Entries* stringsTable(std::string_view table) const;

    std::string path_;
    Value::Dictionary info_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, std::optional<StringsTable::Entries>, std::less<>> tables_;
};

}  // namespace clipora::platform
