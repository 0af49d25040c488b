#include "app/settings/STSettingsReader.h"

#include <filesystem>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Device.h"

namespace clipora {

using namespace platform;

std::shared_ptr<STSettingsReader> STSettingsReader::create(const std::string& file) {
    std::shared_ptr<STSettingsReader> reader(new STSettingsReader());
    reader->load(file);
    return reader;
}

std::string STSettingsReader::platformSuffix() {
    auto device = Device::currentDevice();
    const bool pad =
        device->answersUserInterfaceIdiom() && device->userInterfaceIdiom() == Device::UserInterfaceIdiomPad;
    return pad ? "~ipad" : "~iphone";
}

std::string STSettingsReader::fileWithBundleSuffixExtension(const std::string& file, const std::string& bundle,
                                                            const std::string& suffix, const std::string& extension) {
    return Bundle::mainBundle()->bundlePath() + "/" + bundle + "/" + file + suffix + extension;
}

std::string STSettingsReader::locateSettingsFile(const std::string& file) {
    std::string candidate;
    for (const char* folder : {"STSettings.bundle", "Settings.bundle"})
        for (const char* extension : {".inApp.plist", ".plist"})
            for (const std::string& suffix : {platformSuffix(), std::string()}) {
                candidate = fileWithBundleSuffixExtension(file, folder, suffix, extension);
                if (FileManager::fileExists(candidate)) return candidate;
            }
    return candidate;
}

void STSettingsReader::load(const std::string& file) {
    path_ = locateSettingsFile(file);
    if (auto root = PropertyList::fromFile(path_); root && root->dictionary()) settingsBundle_ = *root->dictionary();
    bundlePath_ = std::filesystem::path(path_).parent_path().string();
    bundle_ = Bundle::bundleWithPath(bundlePath_);

    std::optional<std::string> table;
    if (settingsBundle_)
        if (auto found = settingsBundle_->find("StringsTable");
            found != settingsBundle_->end() && found->second.string())
            table = *found->second.string();
    if (table) {
        localizationTable_ = *table;
    } else {
        // Root.inApp.plist and Root.plist give "Root"; Root~iphone.plist too.
        std::filesystem::path name = std::filesystem::path(path_).filename();
        name = name.stem().stem();
        localizationTable_ = Text::replaceAll(name.string(), platformSuffix(), "");
        if (!bundle_ || !bundle_->hasStringsTable(localizationTable_)) localizationTable_ = kDefaultFile;
    }
    if (settingsBundle_) reinterpretBundle();
}

void STSettingsReader::reinterpretBundle() {
    auto found = settingsBundle_->find("PreferenceSpecifiers");
    if (found == settingsBundle_->end() || !found->second.array()) return;
    for (const Value& entry : *found->second.array()) {
        // An entry that is not a dictionary describes nothing.
        if (!entry.dictionary()) continue;
        const Value* type = entry.find("Type");
        if (type && type->string() && *type->string() == STSpecifier::kGroup) {
            dataSource_.push_back(Section{*entry.dictionary(), {}});
            continue;
        }
        if (dataSource_.empty()) dataSource_.emplace_back();
        dataSource_.back().specifiers.push_back(std::make_shared<STSpecifier>(*entry.dictionary()));
    }
}

int STSettingsReader::numberOfRowsForSection(int section) const {
    if (section < 0 || section >= numberOfSections()) return 0;
    return static_cast<int>(dataSource_[static_cast<std::size_t>(section)].specifiers.size());
}

std::shared_ptr<STSpecifier> STSettingsReader::specifierForIndexPath(int section, int row) {
    if (row < 0 || row >= numberOfRowsForSection(section)) return nullptr;
    auto specifier = dataSource_[static_cast<std::size_t>(section)].specifiers[static_cast<std::size_t>(row)];
    specifier->setSettingsReader(weak_from_this());
    return specifier;
}

std::shared_ptr<STSpecifier> STSettingsReader::specifierForKey(const std::string& key) const {
    for (const auto& section : dataSource_)
        for (const auto& specifier : section.specifiers)
            if (specifier->key() == key) return specifier;
    return nullptr;
}

const Value::Dictionary* STSettingsReader::heading(int section) const {
    if (section < 0 || section >= numberOfSections()) return nullptr;
    const auto& found = dataSource_[static_cast<std::size_t>(section)].heading;
    return found ? &*found : nullptr;
}

std::optional<std::string> STSettingsReader::headingString(int section, const char* key) const {
    auto* dict = heading(section);
    if (!dict) return std::nullopt;
    auto found = dict->find(key);
    if (found == dict->end() || !found->second.string()) return std::nullopt;
    return *found->second.string();
}

std::optional<std::string> STSettingsReader::titleForSection(int section) const {
    if (!heading(section)) return std::nullopt;
    return titleForStringId(headingString(section, "Title"));
}

std::optional<std::string> STSettingsReader::keyForSection(int section) const { return headingString(section, "Key"); }

std::optional<std::string> STSettingsReader::footerTextForSection(int section) const {
    if (!heading(section)) return std::nullopt;
    return titleForStringId(headingString(section, "FooterText"));
}

std::string STSettingsReader::titleForStringId(const std::optional<std::string>& stringId) const {
    if (!stringId) return {};
    if (!bundle_ || stringId->empty()) return *stringId;
    return bundle_->localizedString(*stringId, *stringId, localizationTable_);
}

std::string STSettingsReader::pathForImageNamed(const std::string& name) const { return bundlePath_ + "/" + name; }

}  // namespace clipora
