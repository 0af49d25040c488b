#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/IndexPath.h"
#include "platform/uikit/TableViewCell.h"

namespace clipora::platform {

class TableView;

// Supplies a table's sections, rows and cells. The row count and the cell
// are required; the rest have the platform's default answers: one section,
// no titles, every row editable, no row movable, edits ignored.
class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;

    virtual int tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>& tableView, int section) = 0;
    // Must answer a cell for every row it is asked about.
    virtual std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(const std::shared_ptr<TableView>& tableView,
                                                                          const IndexPath& indexPath) = 0;

    virtual int numberOfSectionsInTableView(const std::shared_ptr<TableView>&) { return 1; }
    virtual std::optional<std::string> tableViewTitleForHeaderInSection(const std::shared_ptr<TableView>&, int) {
        return std::nullopt;
    }
    virtual std::optional<std::string> tableViewTitleForFooterInSection(const std::shared_ptr<TableView>&, int) {
        return std::nullopt;
    }
    virtual bool tableViewCanEditRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) { return true; }
    // Rows move only when the data source answers yes here.
    virtual bool tableViewCanMoveRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) { return false; }
    virtual void tableViewCommitEditingStyleForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                              TableViewCell::EditingStyle, const IndexPath&) {}
    virtual void tableViewMoveRowAtIndexPathToIndexPath(const std::shared_ptr<TableView>&, const IndexPath&,
                                                        const IndexPath&) {}
};

}  // namespace clipora::platform
