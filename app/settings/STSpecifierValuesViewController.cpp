#include "app/settings/STSpecifierValuesViewController.h"

#include "app/settings/STAppSettingsViewController.h"
#include "app/settings/STSettingsStoreUserDefaults.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/InterfaceOrientation.h"
#include "platform/uikit/Label.h"

namespace clipora {

using namespace platform;

STSpecifierValuesViewController::~STSpecifierValuesViewController() {
    if (observing_) NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

std::shared_ptr<STSettingsStore> STSpecifierValuesViewController::settingsStore() {
    if (!settingsStore_) settingsStore_ = std::make_shared<STSettingsStoreUserDefaults>();
    return settingsStore_;
}

void STSpecifierValuesViewController::updateCheckedItem() {
    checkedItem_.reset();
    if (!currentSpecifier_) return;
    const auto key = currentSpecifier_->key();
    std::optional<Value> value = key ? settingsStore()->objectForKey(*key) : std::nullopt;
    if (!value) value = currentSpecifier_->defaultValue();
    if (!value) return;
    if (auto index = currentSpecifier_->indexOfValue(*value)) checkedItem_ = IndexPath{0, static_cast<int>(*index)};
}

void STSpecifierValuesViewController::userDefaultsDidChange() {
    if (!currentSpecifier_) return;
    const auto before = checkedItem_;
    updateCheckedItem();
    if (before != checkedItem_ && tableView()) tableView()->reloadData();
}

void STSpecifierValuesViewController::selectCell(const std::shared_ptr<TableViewCell>& cell) {
    if (!cell) return;
    cell->setAccessoryType(TableViewCell::AccessoryCheckmark);
    cell->textLabel()->setTextColor(Color::colorWithRedGreenBlueAlpha(0.318f, 0.4f, 0.569f, 1));
}

void STSpecifierValuesViewController::deselectCell(const std::shared_ptr<TableViewCell>& cell) {
    if (!cell) return;
    cell->setAccessoryType(TableViewCell::AccessoryNone);
    cell->textLabel()->setTextColor(Color::darkTextColor());
}

void STSpecifierValuesViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    if (currentSpecifier_) {
        setTitle(currentSpecifier_->title());
        updateCheckedItem();
    }
    if (tableView()) {
        tableView()->reloadData();
        // A value none of the rows stands for checks nothing and scrolls nowhere.
        if (checkedItem_)
            tableView()->scrollToRowAtIndexPathAtScrollPositionAnimated(*checkedItem_, TableView::ScrollPositionMiddle,
                                                                        false);
    }
}

void STSpecifierValuesViewController::viewDidAppear(bool animated) {
    ViewController::viewDidAppear(animated);
    if (tableView()) tableView()->flashScrollIndicators();
    if (observing_) return;
    observing_ = true;
    std::weak_ptr<STSpecifierValuesViewController> weak = sharedAs<STSpecifierValuesViewController>();
    NotificationCenter::defaultCenter().addObserver(
        UserDefaults::kDidChangeNotification, UserDefaults::standardUserDefaults().get(),
        [weak](const Notification&) {
            // The change is announced on the thread that wrote it; the table
            // is redrawn on the main thread only.
            if (!Thread::isMainThread()) {
                Thread::performOnMainThread(
                    [weak] {
                        if (auto s = weak.lock()) s->userDefaultsDidChange();
                    },
                    false);
                return;
            }
            if (auto s = weak.lock()) s->userDefaultsDidChange();
        },
        this);
}

void STSpecifierValuesViewController::viewDidDisappear(bool animated) {
    ViewController::viewDidDisappear(animated);
    if (!observing_) return;
    observing_ = false;
    NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

bool STSpecifierValuesViewController::shouldAutorotateToInterfaceOrientation(int orientation) {
    return orientation == InterfaceOrientationPortrait || orientation == InterfaceOrientationPortraitUpsideDown;
}

int STSpecifierValuesViewController::tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int) {
    return currentSpecifier_ ? static_cast<int>(currentSpecifier_->multipleValuesCount()) : 0;
}

std::optional<std::string> STSpecifierValuesViewController::tableViewTitleForFooterInSection(
    const std::shared_ptr<TableView>&, int) {
    if (!currentSpecifier_) return std::nullopt;
    return currentSpecifier_->footerText();
}

std::shared_ptr<TableViewCell> STSpecifierValuesViewController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<TableView>& tableView, const IndexPath& indexPath) {
    auto cell = tableView->dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) cell = std::make_shared<TableViewCell>(TableViewCell::CellStyleDefault, kCellIdentifier);
    if (checkedItem_ == indexPath)
        selectCell(cell);
    else
        deselectCell(cell);
    auto* titles = currentSpecifier_ ? currentSpecifier_->multipleTitles() : nullptr;
    const auto row = static_cast<std::size_t>(indexPath.row);
    // A missing or non-text title leaves the row's text empty.
    if (titles && row < titles->size() && (*titles)[row].string() && settingsReader_)
        cell->textLabel()->setText(settingsReader_->titleForStringId(*(*titles)[row].string()));
    else
        cell->textLabel()->setText("");
    return cell;
}

void STSpecifierValuesViewController::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<TableView>& tableView,
                                                                       const IndexPath& indexPath) {
    if (checkedItem_ == indexPath) {
        tableView->deselectRowAtIndexPathAnimated(indexPath, true);
        return;
    }
    tableView->deselectRowAtIndexPathAnimated(indexPath, true);
    auto* values = currentSpecifier_ ? currentSpecifier_->multipleValues() : nullptr;
    const auto row = static_cast<std::size_t>(indexPath.row);
    if (!values || row >= values->size()) return;
    if (checkedItem_) deselectCell(tableView->cellForRowAtIndexPath(*checkedItem_));
    selectCell(tableView->cellForRowAtIndexPath(indexPath));
    checkedItem_ = indexPath;

    const Value value = (*values)[row];
    const auto key = currentSpecifier_->key();
    if (key) settingsStore()->setObjectForKey(value, *key);
    settingsStore()->synchronize();
    STAppSettingsViewController::announce(key, value);
}

}  // namespace clipora
