#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/Color.h"
#include "platform/uikit/IndexPath.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/TableViewDataSource.h"
#include "platform/uikit/TableViewDelegate.h"

namespace clipora::platform {

// A scrolling list of rows in sections, filled by a data source. The table
// loads when something first asks it about its rows (or lays it out), and
// again on reloadData; it then asks the data source for the counts and the
// delegate for the heights, and holds cells only for the rows that intersect
// its visible bounds (content offset and size). Cells that scroll away go to
// a reuse queue by identifier.
//
// Section headers and footers default to 22 points in the plain style when
// they have a title or view (0 otherwise); in the grouped style to 46 with a
// title and 10 without. Rows default to rowHeight (44).
//
// Batch updates (insert / delete rows or sections) are checked against the
// data source's new counts; a mismatch is a programming error and raises an
// Exception named InternalInconsistencyException, as does a data source that
// answers no cell.
class TableView : public ScrollView {
public:
    enum Style : int { StylePlain = 0, StyleGrouped = 1 };
    enum ScrollPosition : int {
        ScrollPositionNone = 0,
        ScrollPositionTop = 1,
        ScrollPositionMiddle = 2,
        ScrollPositionBottom = 3
    };
    enum RowAnimation : int {
        RowAnimationFade = 0,
        RowAnimationRight = 1,
        RowAnimationLeft = 2,
        RowAnimationTop = 3,
        RowAnimationBottom = 4,
        RowAnimationNone = 5,
        RowAnimationMiddle = 6,
        RowAnimationAutomatic = 100,
    };
    enum SeparatorStyle : int {
        SeparatorStyleNone = 0,
        SeparatorStyleSingleLine = 1,
        SeparatorStyleSingleLineEtched = 2
    };

    explicit TableView(Rect frame = {}, Style style = StylePlain);

    Style style() const { return style_; }

    std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<TableViewDataSource> dataSource);
    std::shared_ptr<TableViewDelegate> delegate() const { return delegate_.lock(); }
    // Also the scroll delegate.
    void setDelegate(std::weak_ptr<TableViewDelegate> delegate);

    float rowHeight() const { return rowHeight_; }
    void setRowHeight(float height) { rowHeight_ = height; }
    float sectionHeaderHeight() const { return sectionHeaderHeight_; }
    void setSectionHeaderHeight(float height) { sectionHeaderHeight_ = height; }
    float sectionFooterHeight() const { return sectionFooterHeight_; }
    void setSectionFooterHeight(float height) { sectionFooterHeight_ = height; }
    SeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(SeparatorStyle style) { separatorStyle_ = style; }
    const std::optional<Color>& separatorColor() const { return separatorColor_; }
    void setSeparatorColor(std::optional<Color> color) { separatorColor_ = std::move(color); }
    const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<View> view);
    const std::shared_ptr<View>& tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(std::shared_ptr<View> view);
    const std::shared_ptr<View>& tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(std::shared_ptr<View> view);
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }
    bool allowsSelectionDuringEditing() const { return allowsSelectionDuringEditing_; }
    void setAllowsSelectionDuringEditing(bool allows) { allowsSelectionDuringEditing_ = allows; }

    // --- Data ---
    // Drops every cell and asks the data source again.
    void reloadData();
    void reloadRowsAtIndexPathsWithRowAnimation(const std::vector<IndexPath>& indexPaths, RowAnimation animation);
    void reloadSectionsWithRowAnimation(const std::vector<int>& sections, RowAnimation animation);
    int numberOfSections();
    int numberOfRowsInSection(int section);
    // The data source's header / footer title and the delegate's views, as loaded.
    std::optional<std::string> headerTitleForSection(int section);
    std::optional<std::string> footerTitleForSection(int section);
    std::shared_ptr<View> headerViewForSection(int section);
    std::shared_ptr<View> footerViewForSection(int section);

    // --- Geometry (content coordinates) ---
    Rect rectForSection(int section);
    Rect rectForHeaderInSection(int section);
    Rect rectForFooterInSection(int section);
    // A zero rectangle for a row that does not exist.
    Rect rectForRowAtIndexPath(const IndexPath& indexPath);
    std::optional<IndexPath> indexPathForRowAtPoint(Point point);
    std::vector<IndexPath> indexPathsForRowsInRect(Rect rect);

    // --- Cells ---
    // The cell of a visible row; null for a row off screen.
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(const IndexPath& indexPath);
    std::vector<std::shared_ptr<TableViewCell>> visibleCells();
    std::vector<IndexPath> indexPathsForVisibleRows();
    std::optional<IndexPath> indexPathForCell(const std::shared_ptr<TableViewCell>& cell);
    // A queued cell with the identifier (after prepareForReuse), or null.
    std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);

    // --- Batch updates ---
    void beginUpdates();
    void endUpdates();
    void insertRowsAtIndexPathsWithRowAnimation(const std::vector<IndexPath>& indexPaths, RowAnimation animation);
    void deleteRowsAtIndexPathsWithRowAnimation(const std::vector<IndexPath>& indexPaths, RowAnimation animation);
    void insertSectionsWithRowAnimation(const std::vector<int>& sections, RowAnimation animation);
    void deleteSectionsWithRowAnimation(const std::vector<int>& sections, RowAnimation animation);
    // The animation of the last row update (for tests and the renderer).
    std::optional<RowAnimation> lastRowAnimation() const { return lastRowAnimation_; }

    // --- Selection and scrolling (no delegate calls) ---
    std::optional<IndexPath> indexPathForSelectedRow() const { return selected_; }
    void selectRowAtIndexPathAnimatedScrollPosition(std::optional<IndexPath> indexPath, bool animated,
                                                    ScrollPosition position);
    void deselectRowAtIndexPathAnimated(const IndexPath& indexPath, bool animated);
    void scrollToRowAtIndexPathAtScrollPositionAnimated(const IndexPath& indexPath, ScrollPosition position,
                                                        bool animated);

    // --- Editing ---
    bool isEditing() const { return editing_; }
    void setEditing(bool editing) { setEditingAnimated(editing, false); }
    void setEditingAnimated(bool editing, bool animated);

    // --- The finger ---
    // A tap on a visible row: the delegate may redirect or refuse it
    // (will-select); then the previous row is deselected (did-deselect), the
    // row selected and did-select told. False when refused or not possible.
    bool tapRowAtIndexPath(const IndexPath& indexPath);
    // The accessory of a visible row: a control accessory view is tapped; a
    // detail-disclosure button tells the delegate.
    bool tapAccessoryAtIndexPath(const IndexPath& indexPath);
    // The delete button of an editable row (in editing, or swiped): commits
    // the delete to the data source, which removes the row.
    bool tapDeleteAtIndexPath(const IndexPath& indexPath);
    // Drags a row while editing; the delegate may retarget it; the data source
    // moves it.
    bool dragRowFromIndexPathToIndexPath(const IndexPath& from, const IndexPath& to);

    void layoutSubviews() override;
    std::string className() const override { return "TableView"; }

protected:
    void contentOffsetDidChange() override;
    void boundsSizeDidChange(Size oldSize) override;

private:
    struct Section {
        int rows = 0;
        float top = 0;
        float header = 0;
        float footer = 0;
        std::vector<float> heights;
        std::optional<std::string> headerTitle;
        std::optional<std::string> footerTitle;
        std::shared_ptr<View> headerView;
        std::shared_ptr<View> footerView;
    };
    struct PendingUpdates {
        std::vector<IndexPath> insertedRows;
        std::vector<IndexPath> deletedRows;
        std::vector<int> insertedSections;
        std::vector<int> deletedSections;
    };

    std::shared_ptr<TableView> self();
    void ensureLoaded();
    bool isValid(const IndexPath& indexPath) const;
    void rebuildGeometry();
    void layoutCells();
    void recycle(const std::shared_ptr<TableViewCell>& cell);
    void recycleAll();
    void applyUpdates();
    void configureEditing(const std::shared_ptr<TableViewCell>& cell, const IndexPath& indexPath, bool animated);
    float rowTop(const IndexPath& indexPath) const;
    float defaultSectionExtra(bool hasTitle, const std::shared_ptr<View>& view, float base) const;

    Style style_;
    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> delegate_;
    float rowHeight_ = 44;
    float sectionHeaderHeight_;
    float sectionFooterHeight_;
    SeparatorStyle separatorStyle_ = SeparatorStyleSingleLine;
    std::optional<Color> separatorColor_;
    std::shared_ptr<View> backgroundView_;
    std::shared_ptr<View> tableHeaderView_;
    std::shared_ptr<View> tableFooterView_;
    bool allowsSelection_ = true;
    bool allowsSelectionDuringEditing_ = false;
    bool editing_ = false;

    std::vector<Section> sections_;
    bool loaded_ = false;
    bool needsReload_ = true;
    bool busy_ = false;  // inside a reload or layout: data-source callbacks may not reload again
    std::map<IndexPath, std::shared_ptr<TableViewCell>> visible_;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> reuse_;
    std::optional<IndexPath> selected_;
    int updateDepth_ = 0;
    PendingUpdates pending_;
    std::optional<RowAnimation> lastRowAnimation_;
};

}  // namespace clipora::platform
