#pragma once

#include <memory>

#include "platform/uikit/TableView.h"
#include "platform/uikit/TableViewDataSource.h"
#include "platform/uikit/TableViewDelegate.h"
#include "platform/uikit/ViewController.h"

namespace clipora::platform {

// A controller whose view is a table filling the screen, with itself as the
// table's data source and delegate. The table loads its data when the view
// first appears; on each appearance the selection is cleared (unless
// clearsSelectionOnViewWillAppear is off). Editing is passed on to the table.
// Subclasses supply the rows.
class TableViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
public:
    explicit TableViewController(TableView::Style style = TableView::StylePlain);

    TableView::Style tableViewStyle() const { return style_; }
    std::shared_ptr<TableView> tableView();
    void setTableView(const std::shared_ptr<TableView>& tableView);
    bool clearsSelectionOnViewWillAppear() const { return clearsSelectionOnViewWillAppear_; }
    void setClearsSelectionOnViewWillAppear(bool clears) { clearsSelectionOnViewWillAppear_ = clears; }

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void setEditingAnimated(bool editing, bool animated) override;

private:
    TableView::Style style_;
    bool clearsSelectionOnViewWillAppear_ = true;
    bool loadedOnce_ = false;
};

}  // namespace clipora::platform
