#pragma once

#include <memory>
#include <optional>

#include "platform/uikit/IndexPath.h"
#include "platform/uikit/ScrollViewDelegate.h"
#include "platform/uikit/TableViewCell.h"

namespace clipora::platform {

class TableView;
class View;

// Told of selection, display and editing in a table and asked for heights and
// section views; also the table's scroll delegate. Every operation is
// optional: no answer (std::nullopt, null) means the table's own default.
class TableViewDelegate : public ScrollViewDelegate {
public:
    virtual std::optional<float> tableViewHeightForRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) {
        return std::nullopt;
    }
    virtual std::optional<float> tableViewHeightForHeaderInSection(const std::shared_ptr<TableView>&, int) {
        return std::nullopt;
    }
    virtual std::optional<float> tableViewHeightForFooterInSection(const std::shared_ptr<TableView>&, int) {
        return std::nullopt;
    }
    virtual std::shared_ptr<View> tableViewViewForHeaderInSection(const std::shared_ptr<TableView>&, int) {
        return nullptr;
    }
    virtual std::shared_ptr<View> tableViewViewForFooterInSection(const std::shared_ptr<TableView>&, int) {
        return nullptr;
    }
    virtual void tableViewWillDisplayCellForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                           const std::shared_ptr<TableViewCell>&, const IndexPath&) {}
    // The row to select instead, or none to refuse the selection.
    virtual std::optional<IndexPath> tableViewWillSelectRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                                       const IndexPath& indexPath) {
        return indexPath;
    }
    virtual void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) {}
    virtual void tableViewDidDeselectRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) {}
    virtual void tableViewAccessoryButtonTappedForRowWithIndexPath(const std::shared_ptr<TableView>&,
                                                                   const IndexPath&) {}
    // Delete for editable rows by default.
    virtual TableViewCell::EditingStyle tableViewEditingStyleForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                                               const IndexPath&) {
        return TableViewCell::EditingStyleDelete;
    }
    virtual bool tableViewShouldIndentWhileEditingRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) {
        return true;
    }
    virtual IndexPath tableViewTargetIndexPathForMoveFromRowAtIndexPathToProposedIndexPath(
        const std::shared_ptr<TableView>&, const IndexPath&, const IndexPath& proposed) {
        return proposed;
    }
    virtual void tableViewWillBeginEditingRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) {}
    virtual void tableViewDidEndEditingRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) {}
};

}  // namespace clipora::platform
