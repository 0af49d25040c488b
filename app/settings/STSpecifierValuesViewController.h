#pragma once

#include <memory>
#include <optional>

#include "app/settings/STSettingsPaneController.h"
#include "app/settings/STSettingsReader.h"
#include "app/settings/STSettingsStore.h"
#include "app/settings/STSpecifier.h"
#include "platform/uikit/IndexPath.h"

namespace clipora {

// The pane of a multi-value row: one row per value, the current one checked.
// Tapping another row stores its value at once, writes the store and
// announces the change. When the current value is none of the values, no
// row is checked and nothing is scrolled to.
class STSpecifierValuesViewController : public STSettingsPaneController {
public:
    static constexpr const char* kCellIdentifier = "kCellValue";
    static constexpr const char* kInterfaceFile = "STSpecifierValuesView";

    STSpecifierValuesViewController() = default;
    ~STSpecifierValuesViewController() override;

    const std::shared_ptr<STSpecifier>& currentSpecifier() const { return currentSpecifier_; }
    void setCurrentSpecifier(std::shared_ptr<STSpecifier> specifier) { currentSpecifier_ = std::move(specifier); }
    const std::optional<platform::IndexPath>& checkedItem() const { return checkedItem_; }
    const std::shared_ptr<STSettingsReader>& settingsReader() const { return settingsReader_; }
    void setSettingsReader(std::shared_ptr<STSettingsReader> reader) { settingsReader_ = std::move(reader); }
    std::shared_ptr<STSettingsStore> settingsStore();
    void setSettingsStore(std::shared_ptr<STSettingsStore> store) { settingsStore_ = std::move(store); }

    // The checked row: the current value's row, none when it has none.
    void updateCheckedItem();
    void userDefaultsDidChange();
    static void selectCell(const std::shared_ptr<platform::TableViewCell>& cell);
    static void deselectCell(const std::shared_ptr<platform::TableViewCell>& cell);

    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;

    int tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>& tableView, int section) override;
    std::optional<std::string> tableViewTitleForFooterInSection(const std::shared_ptr<platform::TableView>& tableView,
                                                                int section) override;
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                          const platform::IndexPath& indexPath) override;

private:
    std::shared_ptr<STSpecifier> currentSpecifier_;
    std::optional<platform::IndexPath> checkedItem_;
    std::shared_ptr<STSettingsReader> settingsReader_;
    std::shared_ptr<STSettingsStore> settingsStore_;
    bool observing_ = false;
};

}  // namespace clipora
