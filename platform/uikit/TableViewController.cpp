#include "platform/uikit/TableViewController.h"

namespace clipora::platform {

TableViewController::TableViewController(TableView::Style style) : style_(style) {}

std::shared_ptr<TableView> TableViewController::tableView() { return std::dynamic_pointer_cast<TableView>(view()); }

void TableViewController::setTableView(const std::shared_ptr<TableView>& tableView) {
    setView(tableView);
    if (!tableView) return;
    tableView->setDataSource(sharedAs<TableViewDataSource>());
    tableView->setDelegate(sharedAs<TableViewDelegate>());
}

void TableViewController::loadView() {
    auto table = std::make_shared<TableView>(fullScreenFrame(), style_);
    table->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    setTableView(table);
}

void TableViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    auto table = tableView();
    if (!table) return;
    if (!loadedOnce_) {
        loadedOnce_ = true;
        table->reloadData();
    }
    if (clearsSelectionOnViewWillAppear_) {
        if (auto selected = table->indexPathForSelectedRow())
            table->deselectRowAtIndexPathAnimated(*selected, animated);
    }
}

void TableViewController::setEditingAnimated(bool editing, bool animated) {
    ViewController::setEditingAnimated(editing, animated);
    if (auto table = tableView()) table->setEditingAnimated(editing, animated);
}

}  // namespace clipora::platform
