#include "share/UI/SXFormController.h"

#include <algorithm>

#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/TextField.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/UI/SXCustomFormFieldCell.h"
#include "share/UI/SXFormFieldSettings.h"

namespace clipora {

using platform::BarButtonItem;
using platform::IndexPath;
using platform::TableView;

namespace {

bool isTextRow(int type) {
    return type == SXFormFieldSettings::SXFormFieldTypeText ||
           type == SXFormFieldSettings::SXFormFieldTypeTextNoCorrect ||
           type == SXFormFieldSettings::SXFormFieldTypePassword;
}

std::optional<platform::Color> configuredColor(const char* red, const char* green, const char* blue) {
    if (SXConfiguration::doubleValue(red) == -1) return std::nullopt;
    return platform::Color::colorWithRedGreenBlueAlpha(static_cast<float>(SXConfiguration::doubleValue(red) / 255.0),
                                                       static_cast<float>(SXConfiguration::doubleValue(green) / 255.0),
                                                       static_cast<float>(SXConfiguration::doubleValue(blue) / 255.0),
                                                       1);
}

}  // namespace

SXFormController::SXFormController(TableView::Style style) : TableViewController(style) {}

std::shared_ptr<SXFormController> SXFormController::self() { return sharedAs<SXFormController>(); }

void SXFormController::setUp(std::optional<std::string> title, const std::string& rightButtonTitle) {
    if (title) setTitle(*title);
    auto cancelItem = std::make_shared<BarButtonItem>(BarButtonItem::SystemItemCancel);
    cancelItem->setTargetAction(self(), &SXFormController::cancel);
    navigationItem()->setLeftBarButtonItem(cancelItem);
    auto rightItem = std::make_shared<BarButtonItem>(rightButtonTitle, BarButtonItem::StyleDone);
    rightItem->setTargetAction(self(), &SXFormController::validateForm);
    navigationItem()->setRightBarButtonItem(rightItem);
    values_.clear();
}

void SXFormController::addSectionHeaderFooter(std::vector<std::shared_ptr<SXFormFieldSettings>> rows,
                                              std::optional<std::string> header, std::optional<std::string> footer) {
    sections_.push_back(Section{std::move(rows), std::move(header), std::move(footer)});
    if (!SXConfiguration::boolValue("usePlaceholders") && sections_.size() == 1) {
        auto font = platform::Font::boldSystemFontOfSize(17);
        float width = 0;
        for (const auto& row : sections_.front().rows) {
            if (isTextRow(row->type()) && row->label()) width = std::max(width, font.sizeOfText(*row->label()).width);
        }
        labelWidth_ = width;
    }
}

void SXFormController::call(const Selector& selector) {
    if (selector && !delegate_.expired()) selector(self());
}

void SXFormController::validateForm() {
    if (activeField_) activeField_->resignFirstResponder();
    call(validateSelector_);
}

void SXFormController::saveForm() {
    auto keep = self();
    call(saveSelector_);
    close();
}

void SXFormController::cancel() {
    auto keep = self();
    close();
    call(cancelSelector_);
}

void SXFormController::close() { SX::currentHelper()->hideCurrentViewControllerAnimated(true); }

SXFormController::Values SXFormController::formValuesForSection(int section) {
    Values result;
    if (section < 0 || section >= static_cast<int>(sections_.size())) return result;
    const auto& rows = sections_[section].rows;
    auto table = isViewLoaded() ? tableView() : nullptr;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const auto& row = rows[i];
        auto cell = table ? std::dynamic_pointer_cast<SXFormFieldCell>(
                                table->cellForRowAtIndexPath(IndexPath::indexPathForRowInSection(i, section)))
                          : nullptr;
        if (cell && cell->settings() && cell->settings()->key() == row->key()) {
            if (auto value = cell->getValue()) {
                result[row->key()] = *value;
                continue;
            }
        }
        if (auto it = values_.find(row->key()); it != values_.end()) {
            result[row->key()] = it->second;
        } else if (row->type() == SXFormFieldSettings::SXFormFieldTypeSwitch) {
            // A row never on screen keeps the default the user would have
            // seen there.
            bool on = row->start() && *row->start() == "1";
            result[row->key()] = std::string(on ? "1" : "0");
        } else if (row->start()) {
            result[row->key()] = *row->start();
        }
    }
    return result;
}

std::shared_ptr<SXFormFieldSettings> SXFormController::rowSettingsForIndexPath(const IndexPath& indexPath) const {
    if (indexPath.section < 0 || indexPath.section >= static_cast<int>(sections_.size())) return nullptr;
    const auto& rows = sections_[indexPath.section].rows;
    if (indexPath.row < 0 || indexPath.row >= static_cast<int>(rows.size())) return nullptr;
    return rows[indexPath.row];
}

int SXFormController::numberOfSectionsInTableView(const std::shared_ptr<TableView>&) {
    return static_cast<int>(sections_.size());
}

int SXFormController::tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int section) {
    if (section < 0 || section >= static_cast<int>(sections_.size())) return 0;
    return static_cast<int>(sections_[section].rows.size());
}

std::optional<std::string> SXFormController::tableViewTitleForHeaderInSection(const std::shared_ptr<TableView>&,
                                                                              int section) {
    if (section < 0 || section >= static_cast<int>(sections_.size())) return std::nullopt;
    return sections_[section].header;
}

std::optional<std::string> SXFormController::tableViewTitleForFooterInSection(const std::shared_ptr<TableView>&,
                                                                              int section) {
    if (section < 0 || section >= static_cast<int>(sections_.size())) return std::nullopt;
    return sections_[section].footer;
}

std::shared_ptr<platform::TableViewCell> SXFormController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<TableView>& tableView, const IndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<SXFormFieldCell>(tableView->dequeueReusableCellWithIdentifier("Cell"));
    if (!cell) {
        cell = std::make_shared<SXCustomFormFieldCell>(platform::TableViewCell::CellStyleDefault, "Cell");
        cell->setForm(self());
        if (auto color = configuredColor("formFontColorRed", "formFontColorGreen", "formFontColorBlue")) {
            cell->textLabel()->setTextColor(*color);
        }
    }
    // Keep what was typed into the row this cell showed before.
    if (cell->settings()) {
        if (auto value = cell->getValue()) values_[cell->settings()->key()] = *value;
    }
    auto settings = rowSettingsForIndexPath(indexPath);
    cell->setSettings(settings);
    if (!settings) return cell;
    if (SXConfiguration::boolValue("usePlaceholders")) {
        cell->getTextField()->setPlaceholder(settings->label().value_or(""));
        cell->textLabel()->setText(isTextRow(settings->type()) ? std::string() : settings->label().value_or(""));
    } else {
        cell->setLabelWidth(labelWidth_);
        cell->textLabel()->setText(settings->label().value_or(""));
    }
    std::optional<std::string> value;
    if (auto it = values_.find(settings->key()); it != values_.end()) {
        value = it->second;
    } else {
        value = settings->start();
    }
    cell->setValue(value);
    return cell;
}

bool SXFormController::textFieldShouldReturn(const std::shared_ptr<platform::TextField>&) {
    validateForm();
    return true;
}

void SXFormController::textFieldDidBeginEditing(const std::shared_ptr<platform::TextField>& field) {
    activeField_ = field;
}

void SXFormController::viewDidLoad() {
    TableViewController::viewDidLoad();
    if (auto color = configuredColor("formBgColorRed", "formBgColorGreen", "formBgColorBlue")) {
        tableView()->setBackgroundColor(*color);
    }
}

void SXFormController::viewDidAppear(bool animated) {
    TableViewController::viewDidAppear(animated);
    if (autoSelect_ && !sections_.empty() && !sections_.front().rows.empty()) {
        tableView()->selectRowAtIndexPathAnimatedScrollPosition(IndexPath{}, false, TableView::ScrollPositionNone);
    }
}

void SXFormController::viewDidDisappear(bool animated) {
    TableViewController::viewDidDisappear(animated);
    SX::currentHelper()->viewWasDismissed();
}

}  // namespace clipora
