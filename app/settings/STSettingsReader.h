#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/settings/STSpecifier.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Value.h"

namespace clipora {

// Reads a settings description (a property list in the settings folder of
// the main bundle) and groups its specifiers into table sections: a group
// entry starts a section with a heading; entries before the first group form
// a section without one. Titles are localised through the string table the
// description names (else one named after the file, else "Root"), with the
// text itself as the fallback. A missing file gives a reader with no
// sections.
class STSettingsReader : public std::enable_shared_from_this<STSettingsReader> {
public:
    static constexpr const char* kDefaultFile = "Root";

    struct Section {
        // The group entry's raw dictionary; none for a section without heading.
        std::optional<platform::Value::Dictionary> heading;
        std::vector<std::shared_ptr<STSpecifier>> specifiers;
    };

    // initWithFile ("Root" for init).
    static std::shared_ptr<STSettingsReader> create(const std::string& file = kDefaultFile);

    const std::string& path() const { return path_; }
    const std::string& localizationTable() const { return localizationTable_; }
    const std::string& bundlePath() const { return bundlePath_; }
    const std::optional<platform::Value::Dictionary>& settingsBundle() const { return settingsBundle_; }
    const std::vector<Section>& dataSource() const { return dataSource_; }
    const std::shared_ptr<platform::Bundle>& bundle() const { return bundle_; }

    int numberOfSections() const { return static_cast<int>(dataSource_.size()); }
    int numberOfRowsForSection(int section) const;
    // Null for a row that does not exist. Makes this reader the specifier's
    // localiser.
    std::shared_ptr<STSpecifier> specifierForIndexPath(int section, int row);
    // The first row (headings skipped) whose "Key" is exactly `key`.
    std::shared_ptr<STSpecifier> specifierForKey(const std::string& key) const;
    std::optional<std::string> titleForSection(int section) const;
    std::optional<std::string> keyForSection(int section) const;
    std::optional<std::string> footerTextForSection(int section) const;
    // The localised text of a string id; the id when untranslated; "" for none.
    std::string titleForStringId(const std::optional<std::string>& stringId) const;
    std::string pathForImageNamed(const std::string& name) const;

    // "~ipad" on a tablet, else "~iphone".
    static std::string platformSuffix();
    static std::string fileWithBundleSuffixExtension(const std::string& file, const std::string& bundle,
                                                     const std::string& suffix, const std::string& extension);
    // The first existing candidate: "STSettings.bundle" before "Settings.bundle",
    // ".inApp.plist" before ".plist", the platform suffix before none; the last
    // candidate when none exists.
    static std::string locateSettingsFile(const std::string& file);

private:
    STSettingsReader() = default;
    void load(const std::string& file);
    void reinterpretBundle();
    const platform::Value::Dictionary* heading(int section) const;
    std::optional<std::string> headingString(int section, const char* key) const;

    std::string path_;
    std::string localizationTable_;
    std::string bundlePath_;
    std::optional<platform::Value::Dictionary> settingsBundle_;
    std::vector<Section> dataSource_;
    std::shared_ptr<platform::Bundle> bundle_;
};

}  // namespace clipora
