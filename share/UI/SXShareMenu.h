#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/uikit/TableViewController.h"
#include "share/UI/SXShareItemDelegate.h"

namespace clipora {

class SXItem;

// Every sharer that can handle the item, in two sections ("Actions",
// "Services") of the sharer list. In edit mode each row has a switch;
// switching a sharer off logs it out at once and, after Done, hides it here
// and from the favourites ("SXExcluded").
class SXShareMenu : public platform::TableViewController {
public:
    struct Row {
        std::string className;
        std::string name;
    };

    explicit SXShareMenu(platform::TableView::Style style);
    // Title and bar buttons (needs the shared pointer).
    void setUp();

    void setItem(std::shared_ptr<SXItem> item);
    std::vector<Row> section(const std::string& key) const;
    void rebuildTableDataAnimated(bool animated);
    const Row* rowDataAtIndexPath(const platform::IndexPath& indexPath) const;

    int numberOfSectionsInTableView(const std::shared_ptr<platform::TableView>&) override;
    int tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>&, int section) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(const std::shared_ptr<platform::TableView>&,
                                                                int section) override;
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    platform::TableViewCell::EditingStyle tableViewEditingStyleForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>&, const platform::IndexPath&) override;
    bool tableViewShouldIndentWhileEditingRowAtIndexPath(const std::shared_ptr<platform::TableView>&,
                                                         const platform::IndexPath&) override {
        return false;
    }
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                          const platform::IndexPath& indexPath) override;

    void edit();
    void save();
    void cancel();
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int) override { return true; }

    const std::shared_ptr<SXItem>& item() const { return item_; }
    const std::vector<std::vector<Row>>& tableData() const { return tableData_; }
    const platform::Value::Dictionary& exclusions() const { return exclusions_; }
    void setShareDelegate(std::shared_ptr<SXShareItemDelegate> delegate) { shareDelegate_ = std::move(delegate); }

    std::string description() const override { return "SXShareMenu"; }

private:
    std::shared_ptr<SXItem> item_;
    std::vector<std::vector<Row>> tableData_{{}, {}};
    platform::Value::Dictionary exclusions_;
    std::shared_ptr<SXShareItemDelegate> shareDelegate_;
};

// The menu class the framework creates, so that a host can restyle it. Its
// rows are SXCustomShareMenuCell.
class SXCustomShareMenu : public SXShareMenu {
public:
    using SXShareMenu::SXShareMenu;
    std::string description() const override { return "SXCustomShareMenu"; }
};

}  // namespace clipora
