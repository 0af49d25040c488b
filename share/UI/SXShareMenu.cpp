#include "share/UI/SXShareMenu.h"

#include <algorithm>

#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Switch.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/Core/SXItem.h"
#include "share/Core/SXSharer.h"
#include "share/Core/SXSharerRegistry.h"
#include "share/UI/SXCustomShareMenuCell.h"

namespace clipora {

using platform::BarButtonItem;
using platform::IndexPath;
using platform::TableView;

SXShareMenu::SXShareMenu(TableView::Style style) : TableViewController(style) {}

void SXShareMenu::setUp() {
    setTitle(localizedShareString("Share"));
    auto self = sharedAs<SXShareMenu>();
    auto cancelItem = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemCancel);
    cancelItem->setTargetAction(self, &SXShareMenu::cancel);
    navigationItem()->setLeftBarButtonItem(cancelItem);
    auto editItem = std::make_shared<BarButtonItem>(localizedShareString("Edit"), BarButtonItem::StyleBordered);
    editItem->setTargetAction(self, &SXShareMenu::edit);
    navigationItem()->setRightBarButtonItem(editItem);
}

void SXShareMenu::setItem(std::shared_ptr<SXItem> item) {
    item_ = std::move(item);
    rebuildTableDataAnimated(false);
}

std::vector<SXShareMenu::Row> SXShareMenu::section(const std::string& key) const {
    std::vector<Row> rows;
    auto it = SX::sharersDictionary().find(key);
    if (it == SX::sharersDictionary().end() || !it->second.isArray()) return rows;
    int type = item_ ? item_->shareType() : 0;
    for (const auto& name : *it->second.array()) {
        if (!name.isString()) continue;
        auto sharer = SXSharerRegistry::create(*name.string());
        if (sharer && sharer->canShare() && sharer->canShareType(type))
            rows.push_back({*name.string(), sharer->sharerTitle()});
    }
    if (!rows.empty() && SXConfiguration::boolValue("shareMenuAlphabeticalOrder")) {
        std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
            return platform::Text::compareCaseInsensitive(a.name, b.name) < 0;
        });
    }
    return rows;
}

void SXShareMenu::rebuildTableDataAnimated(bool animated) {
    auto table = tableView();
    table->setAllowsSelectionDuringEditing(true);
    tableData_ = {section("actions"), section("services")};
    exclusions_ = platform::UserDefaults::standardUserDefaults()
                      ->dictionaryForKey(SX::kExcludedKey)
                      .value_or(platform::Value::Dictionary{});
    bool editing = table->isEditing();
    if (editing && !animated) return;
    std::vector<IndexPath> paths;
    for (int s = 0; s < static_cast<int>(tableData_.size()); ++s) {
        for (int r = 0; r < static_cast<int>(tableData_[s].size()); ++r) {
            if (exclusions_.contains(tableData_[s][r].className))
                paths.push_back(IndexPath::indexPathForRowInSection(r, s));
        }
        if (!editing) {
            std::erase_if(tableData_[s], [&](const Row& row) { return exclusions_.contains(row.className); });
        }
    }
    if (animated && !paths.empty()) {
        table->beginUpdates();
        if (editing) {
            table->insertRowsAtIndexPathsWithRowAnimation(paths, TableView::RowAnimationFade);
        } else {
            table->deleteRowsAtIndexPathsWithRowAnimation(paths, TableView::RowAnimationFade);
        }
        table->endUpdates();
    } else {
        table->reloadData();
    }
}

const SXShareMenu::Row* SXShareMenu::rowDataAtIndexPath(const IndexPath& indexPath) const {
    if (indexPath.section < 0 || indexPath.section >= static_cast<int>(tableData_.size())) return nullptr;
    const auto& rows = tableData_[indexPath.section];
    if (indexPath.row < 0 || indexPath.row >= static_cast<int>(rows.size())) return nullptr;
    return &rows[indexPath.row];
}

int SXShareMenu::numberOfSectionsInTableView(const std::shared_ptr<TableView>&) {
    return static_cast<int>(tableData_.size());
}

int SXShareMenu::tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int section) {
    if (section < 0 || section >= static_cast<int>(tableData_.size())) return 0;
    return static_cast<int>(tableData_[section].size());
}

std::optional<std::string> SXShareMenu::tableViewTitleForHeaderInSection(const std::shared_ptr<TableView>&,
                                                                         int section) {
    if (section < 0 || section >= static_cast<int>(tableData_.size()) || tableData_[section].empty()) {
        return std::nullopt;
    }
    if (section == 0) return localizedShareString("Actions");
    if (section == 1) return localizedShareString("Services");
    return std::nullopt;
}

std::shared_ptr<platform::TableViewCell> SXShareMenu::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<TableView>& tableView, const IndexPath& indexPath) {
    auto cell = tableView->dequeueReusableCellWithIdentifier("Cell");
    if (!cell) {
        cell = std::make_shared<SXCustomShareMenuCell>(platform::TableViewCell::CellStyleDefault, "Cell");
        cell->setAccessoryType(platform::TableViewCell::AccessoryDisclosureIndicator);
    }
    const auto* row = rowDataAtIndexPath(indexPath);
    cell->textLabel()->setText(row ? row->name : std::string());
    if (!cell->editingAccessoryView()) {
        auto toggle = std::make_shared<platform::Switch>(platform::Rect());
        toggle->setUserInteractionEnabled(false);
        cell->setEditingAccessoryView(toggle);
    }
    if (auto toggle = std::dynamic_pointer_cast<platform::Switch>(cell->editingAccessoryView())) {
        toggle->setOn(row && !exclusions_.contains(row->className));
    }
    return cell;
}

platform::TableViewCell::EditingStyle SXShareMenu::tableViewEditingStyleForRowAtIndexPath(
    const std::shared_ptr<TableView>&, const IndexPath&) {
    return platform::TableViewCell::EditingStyleNone;
}

void SXShareMenu::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<TableView>& tableView,
                                                   const IndexPath& indexPath) {
    const auto* row = rowDataAtIndexPath(indexPath);
    if (!row) return;
    auto className = row->className;
    if (tableView->isEditing()) {
        auto cell = tableView->cellForRowAtIndexPath(indexPath);
        auto toggle = cell ? std::dynamic_pointer_cast<platform::Switch>(cell->editingAccessoryView()) : nullptr;
        bool on = toggle ? !toggle->isOn() : exclusions_.contains(className);
        if (toggle) toggle->setOnAnimated(on, true);
        if (on) {
            exclusions_.erase(className);
        } else {
            exclusions_[className] = platform::Value("1");
            SX::logoutOfService(className);
        }
        tableView->deselectRowAtIndexPathAnimated(indexPath, false);
        return;
    }
    auto keep = sharedAs<SXShareMenu>();
    if (auto sharer = SXSharerRegistry::create(className)) {
        sharer->loadItem(item_);
        if (!shareDelegate_ || shareDelegate_->aboutToShareItemWithSharer(item_, sharer)) sharer->share();
    }
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
}

void SXShareMenu::edit() {
    tableView()->setEditingAnimated(true, true);
    rebuildTableDataAnimated(true);
    auto done = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemDone);
    done->setTargetAction(sharedAs<SXShareMenu>(), &SXShareMenu::save);
    navigationItem()->setRightBarButtonItemAnimated(done, true);
}

void SXShareMenu::save() {
    platform::UserDefaults::standardUserDefaults()->setObject(platform::Value(exclusions_), SX::kExcludedKey);
    tableView()->setEditingAnimated(false, true);
    rebuildTableDataAnimated(true);
    auto editItem = std::make_shared<BarButtonItem>(localizedShareString("Edit"), BarButtonItem::StyleBordered);
    editItem->setTargetAction(sharedAs<SXShareMenu>(), &SXShareMenu::edit);
    navigationItem()->setRightBarButtonItemAnimated(editItem, true);
}

void SXShareMenu::cancel() { SX::currentHelper()->hideCurrentViewControllerAnimated(true); }

void SXShareMenu::viewDidDisappear(bool animated) {
    TableViewController::viewDidDisappear(animated);
    SX::currentHelper()->viewWasDismissed();
}

}  // namespace clipora
