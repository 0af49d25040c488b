#include "platform/uikit/TableView.h"

#include <algorithm>
#include <set>

#include "platform/foundation/Exception.h"
#include "platform/uikit/Control.h"

namespace clipora::platform {

namespace {

[[noreturn]] void inconsistency(const std::string& reason) {
    throw Exception(Exception::kInternalInconsistencyName, reason);
}

}  // namespace

TableView::TableView(Rect frame, Style style)
    : ScrollView(frame), style_(style), sectionHeaderHeight_(style == StyleGrouped ? 10 : 22),
      sectionFooterHeight_(style == StyleGrouped ? 10 : 22) {}

std::shared_ptr<TableView> TableView::self() { return std::static_pointer_cast<TableView>(shared_from_this()); }

void TableView::setDataSource(std::weak_ptr<TableViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    needsReload_ = true;
}

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> delegate) {
    delegate_ = delegate;
    ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(delegate.lock()));
    needsReload_ = true;
}

void TableView::setBackgroundView(std::shared_ptr<View> view) {
    if (backgroundView_ && backgroundView_->superview().get() == this) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(view);
    if (backgroundView_) insertSubviewAtIndex(backgroundView_, 0);
    if (loaded_) layoutCells();
}

void TableView::setTableHeaderView(std::shared_ptr<View> view) {
    if (tableHeaderView_ && tableHeaderView_->superview().get() == this) tableHeaderView_->removeFromSuperview();
    tableHeaderView_ = std::move(view);
    if (tableHeaderView_) addSubview(tableHeaderView_);
    if (loaded_ && !busy_) {
        rebuildGeometry();
        layoutCells();
    }
}

void TableView::setTableFooterView(std::shared_ptr<View> view) {
    if (tableFooterView_ && tableFooterView_->superview().get() == this) tableFooterView_->removeFromSuperview();
    tableFooterView_ = std::move(view);
    if (tableFooterView_) addSubview(tableFooterView_);
    if (loaded_ && !busy_) {
        rebuildGeometry();
        layoutCells();
    }
}

// --- Loading ---

void TableView::ensureLoaded() {
    if (needsReload_ && !busy_) reloadData();
}

void TableView::reloadData() {
    if (busy_) {
        // Asked from inside a data-source callback: done once the current pass ends.
        needsReload_ = true;
        return;
    }
    auto keep = self();
    for (int pass = 0; pass < 2; ++pass) {
        needsReload_ = false;
        recycleAll();
        rebuildGeometry();
        loaded_ = true;
        if (selected_ && !isValid(*selected_)) selected_.reset();
        layoutCells();
        if (!needsReload_) break;
    }
}

bool TableView::isValid(const IndexPath& ip) const {
    return ip.section >= 0 && ip.section < static_cast<int>(sections_.size()) && ip.row >= 0 &&
           ip.row < sections_[static_cast<std::size_t>(ip.section)].rows;
}

float TableView::defaultSectionExtra(bool hasTitle, const std::shared_ptr<View>& view, float base) const {
    if (view) {
        float h = view->frame().size.height;
        return h > 0 ? h : base;
    }
    if (style_ == StyleGrouped) return hasTitle ? base + 36 : base;
    return hasTitle ? base : 0;
}

void TableView::rebuildGeometry() {
    auto keep = self();
    bool wasBusy = busy_;
    busy_ = true;
    for (auto& s : sections_) {
        if (s.headerView && s.headerView->superview().get() == this) s.headerView->removeFromSuperview();
        if (s.footerView && s.footerView->superview().get() == this) s.footerView->removeFromSuperview();
    }
    sections_.clear();
    auto ds = dataSource_.lock();
    auto d = delegate_.lock();
    int count = ds ? std::max(0, ds->numberOfSectionsInTableView(keep)) : 0;
    float y = tableHeaderView_ ? tableHeaderView_->frame().size.height : 0;
    for (int s = 0; s < count; ++s) {
        Section section;
        section.rows = std::max(0, ds->tableViewNumberOfRowsInSection(keep, s));
        section.headerTitle = ds->tableViewTitleForHeaderInSection(keep, s);
        section.footerTitle = ds->tableViewTitleForFooterInSection(keep, s);
        if (d) {
            section.headerView = d->tableViewViewForHeaderInSection(keep, s);
            section.footerView = d->tableViewViewForFooterInSection(keep, s);
        }
        bool headerTitle = section.headerTitle && !section.headerTitle->empty();
        bool footerTitle = section.footerTitle && !section.footerTitle->empty();
        std::optional<float> h = d ? d->tableViewHeightForHeaderInSection(keep, s) : std::nullopt;
        section.header = h ? *h : defaultSectionExtra(headerTitle, section.headerView, sectionHeaderHeight_);
        section.top = y;
        y += section.header;
        for (int r = 0; r < section.rows; ++r) {
            std::optional<float> rh = d ? d->tableViewHeightForRowAtIndexPath(keep, {s, r}) : std::nullopt;
            float height = rh ? *rh : rowHeight_;
            section.heights.push_back(height);
            y += height;
        }
        std::optional<float> f = d ? d->tableViewHeightForFooterInSection(keep, s) : std::nullopt;
        section.footer = f ? *f : defaultSectionExtra(footerTitle, section.footerView, sectionFooterHeight_);
        y += section.footer;
        if (section.headerView) addSubview(section.headerView);
        if (section.footerView) addSubview(section.footerView);
        sections_.push_back(std::move(section));
    }
    if (tableFooterView_) y += tableFooterView_->frame().size.height;
    setContentSize({bounds().size.width, y});
    busy_ = wasBusy;
}

float TableView::rowTop(const IndexPath& ip) const {
    const Section& s = sections_[static_cast<std::size_t>(ip.section)];
    float y = s.top + s.header;
    for (int r = 0; r < ip.row; ++r) y += s.heights[static_cast<std::size_t>(r)];
    return y;
}

void TableView::recycle(const std::shared_ptr<TableViewCell>& cell) {
    cell->removeFromSuperview();
    if (!cell->reuseIdentifier().empty()) reuse_[cell->reuseIdentifier()].push_back(cell);
}

void TableView::recycleAll() {
    auto cells = std::move(visible_);
    visible_.clear();
    for (auto& [ip, cell] : cells) recycle(cell);
}

void TableView::configureEditing(const std::shared_ptr<TableViewCell>& cell, const IndexPath& ip, bool animated) {
    auto keep = self();
    auto ds = dataSource_.lock();
    auto d = delegate_.lock();
    bool editable = ds && ds->tableViewCanEditRowAtIndexPath(keep, ip);
    auto style = editable
                     ? (d ? d->tableViewEditingStyleForRowAtIndexPath(keep, ip) : TableViewCell::EditingStyleDelete)
                     : TableViewCell::EditingStyleNone;
    cell->setEditingStyle(style);
    cell->setShouldIndentWhileEditing(d ? d->tableViewShouldIndentWhileEditingRowAtIndexPath(keep, ip) : true);
    cell->setShowsReorderControl(editing_ && ds && ds->tableViewCanMoveRowAtIndexPath(keep, ip));
    cell->setEditingAnimated(editing_, animated);
}

void TableView::layoutCells() {
    if (!loaded_ || busy_) return;
    auto keep = self();
    busy_ = true;
    Rect b = bounds();
    const float width = b.size.width;
    setContentSize({width, contentSize().height});
    if (backgroundView_) backgroundView_->setFrame(b);
    if (tableHeaderView_) {
        Rect f = tableHeaderView_->frame();
        tableHeaderView_->setFrame({0, 0, width, f.size.height});
    }
    std::set<IndexPath> wanted;
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        Section& section = sections_[s];
        if (section.headerView) section.headerView->setFrame({0, section.top, width, section.header});
        float y = section.top + section.header;
        for (int r = 0; r < section.rows; ++r) {
            float h = section.heights[static_cast<std::size_t>(r)];
            Rect row{0, y, width, h};
            if (h > 0 && row.intersects(b)) wanted.insert({static_cast<int>(s), r});
            y += h;
        }
        if (section.footerView) section.footerView->setFrame({0, y, width, section.footer});
    }
    if (tableFooterView_) {
        Rect f = tableFooterView_->frame();
        tableFooterView_->setFrame({0, contentSize().height - f.size.height, width, f.size.height});
    }
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        auto cell = it->second;
        it = visible_.erase(it);
        recycle(cell);
    }
    auto ds = dataSource_.lock();
    std::vector<std::pair<IndexPath, std::shared_ptr<TableViewCell>>> shown;
    try {
        for (const IndexPath& ip : wanted) {
            float top = rowTop(ip);
            float h = sections_[static_cast<std::size_t>(ip.section)].heights[static_cast<std::size_t>(ip.row)];
            auto found = visible_.find(ip);
            if (found != visible_.end()) {
                found->second->setFrame({0, top, width, h});
                continue;
            }
            if (!ds) break;
            auto cell = ds->tableViewCellForRowAtIndexPath(keep, ip);
            if (!cell)
                inconsistency("The table's data source answered no cell for row " + std::to_string(ip.row) +
                              " of section " + std::to_string(ip.section) + ".");
            cell->setFrame({0, top, width, h});
            configureEditing(cell, ip, false);
            cell->setSelected(selected_ == ip);
            insertSubviewAtIndex(cell, backgroundView_ ? 1 : 0);
            visible_[ip] = cell;
            shown.emplace_back(ip, cell);
        }
    } catch (...) {
        busy_ = false;
        throw;
    }
    busy_ = false;
    if (auto d = delegate_.lock()) {
        for (auto& [ip, cell] : shown) d->tableViewWillDisplayCellForRowAtIndexPath(keep, cell, ip);
    }
    for (auto& [ip, cell] : shown) cell->layoutIfNeeded();
}

void TableView::layoutSubviews() {
    ensureLoaded();
    layoutCells();
}

void TableView::contentOffsetDidChange() { layoutCells(); }

void TableView::boundsSizeDidChange(Size oldSize) {
    ScrollView::boundsSizeDidChange(oldSize);
    layoutCells();
}

// --- Data ---

void TableView::reloadRowsAtIndexPathsWithRowAnimation(const std::vector<IndexPath>& indexPaths,
                                                       RowAnimation animation) {
    ensureLoaded();
    lastRowAnimation_ = animation;
    for (const IndexPath& ip : indexPaths) {
        auto it = visible_.find(ip);
        if (it == visible_.end()) continue;
        auto cell = it->second;
        visible_.erase(it);
        recycle(cell);
    }
    rebuildGeometry();
    layoutCells();
}

void TableView::reloadSectionsWithRowAnimation(const std::vector<int>&, RowAnimation animation) {
    lastRowAnimation_ = animation;
    reloadData();
}

int TableView::numberOfSections() {
    ensureLoaded();
    return static_cast<int>(sections_.size());
}

int TableView::numberOfRowsInSection(int section) {
    ensureLoaded();
    if (section < 0 || section >= static_cast<int>(sections_.size())) return 0;
    return sections_[static_cast<std::size_t>(section)].rows;
}

std::optional<std::string> TableView::headerTitleForSection(int section) {
    if (section < 0 || section >= numberOfSections()) return std::nullopt;
    return sections_[static_cast<std::size_t>(section)].headerTitle;
}

std::optional<std::string> TableView::footerTitleForSection(int section) {
    if (section < 0 || section >= numberOfSections()) return std::nullopt;
    return sections_[static_cast<std::size_t>(section)].footerTitle;
}

std::shared_ptr<View> TableView::headerViewForSection(int section) {
    if (section < 0 || section >= numberOfSections()) return nullptr;
    return sections_[static_cast<std::size_t>(section)].headerView;
}

std::shared_ptr<View> TableView::footerViewForSection(int section) {
    if (section < 0 || section >= numberOfSections()) return nullptr;
    return sections_[static_cast<std::size_t>(section)].footerView;
}

// --- Geometry ---

Rect TableView::rectForSection(int section) {
    if (section < 0 || section >= numberOfSections()) return {};
    const Section& s = sections_[static_cast<std::size_t>(section)];
    float h = s.header + s.footer;
    for (float rh : s.heights) h += rh;
    return {0, s.top, bounds().size.width, h};
}

Rect TableView::rectForHeaderInSection(int section) {
    if (section < 0 || section >= numberOfSections()) return {};
    const Section& s = sections_[static_cast<std::size_t>(section)];
    return {0, s.top, bounds().size.width, s.header};
}

Rect TableView::rectForFooterInSection(int section) {
    Rect all = rectForSection(section);
    if (all.isEmpty()) return {};
    const Section& s = sections_[static_cast<std::size_t>(section)];
    return {0, all.maxY() - s.footer, bounds().size.width, s.footer};
}

Rect TableView::rectForRowAtIndexPath(const IndexPath& ip) {
    ensureLoaded();
    if (!isValid(ip)) return {};
    return {0, rowTop(ip), bounds().size.width,
            sections_[static_cast<std::size_t>(ip.section)].heights[static_cast<std::size_t>(ip.row)]};
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(Point point) {
    ensureLoaded();
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        const Section& section = sections_[s];
        float y = section.top + section.header;
        for (int r = 0; r < section.rows; ++r) {
            float h = section.heights[static_cast<std::size_t>(r)];
            if (point.y >= y && point.y < y + h) return IndexPath{static_cast<int>(s), r};
            y += h;
        }
    }
    return std::nullopt;
}

std::vector<IndexPath> TableView::indexPathsForRowsInRect(Rect rect) {
    ensureLoaded();
    std::vector<IndexPath> out;
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        for (int r = 0; r < sections_[s].rows; ++r) {
            IndexPath ip{static_cast<int>(s), r};
            if (rectForRowAtIndexPath(ip).intersects(rect)) out.push_back(ip);
        }
    }
    return out;
}

// --- Cells ---

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(const IndexPath& ip) {
    ensureLoaded();
    auto it = visible_.find(ip);
    return it == visible_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() {
    ensureLoaded();
    std::vector<std::shared_ptr<TableViewCell>> out;
    for (auto& [ip, cell] : visible_) out.push_back(cell);
    return out;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() {
    ensureLoaded();
    std::vector<IndexPath> out;
    for (auto& [ip, cell] : visible_) out.push_back(ip);
    return out;
}

std::optional<IndexPath> TableView::indexPathForCell(const std::shared_ptr<TableViewCell>& cell) {
    ensureLoaded();
    for (auto& [ip, c] : visible_) {
        if (c == cell) return ip;
    }
    return std::nullopt;
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
    auto it = reuse_.find(identifier);
    if (it == reuse_.end() || it->second.empty()) return nullptr;
    auto cell = it->second.back();
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

// --- Updates ---

void TableView::beginUpdates() {
    if (updateDepth_++ == 0) ensureLoaded();
}

void TableView::endUpdates() {
    if (updateDepth_ == 0) return;
    if (--updateDepth_ == 0) applyUpdates();
}

void TableView::insertRowsAtIndexPathsWithRowAnimation(const std::vector<IndexPath>& indexPaths,
                                                       RowAnimation animation) {
    beginUpdates();
    lastRowAnimation_ = animation;
    pending_.insertedRows.insert(pending_.insertedRows.end(), indexPaths.begin(), indexPaths.end());
    endUpdates();
}

void TableView::deleteRowsAtIndexPathsWithRowAnimation(const std::vector<IndexPath>& indexPaths,
                                                       RowAnimation animation) {
    beginUpdates();
    lastRowAnimation_ = animation;
    pending_.deletedRows.insert(pending_.deletedRows.end(), indexPaths.begin(), indexPaths.end());
    endUpdates();
}

void TableView::insertSectionsWithRowAnimation(const std::vector<int>& sections, RowAnimation animation) {
    beginUpdates();
    lastRowAnimation_ = animation;
    pending_.insertedSections.insert(pending_.insertedSections.end(), sections.begin(), sections.end());
    endUpdates();
}

void TableView::deleteSectionsWithRowAnimation(const std::vector<int>& sections, RowAnimation animation) {
    beginUpdates();
    lastRowAnimation_ = animation;
    pending_.deletedSections.insert(pending_.deletedSections.end(), sections.begin(), sections.end());
    endUpdates();
}

void TableView::applyUpdates() {
    PendingUpdates updates = std::move(pending_);
    pending_ = {};
    auto keep = self();
    auto ds = dataSource_.lock();
    if (!ds || needsReload_) {
        reloadData();
        return;
    }
    std::vector<int> oldRows;
    for (auto& s : sections_) oldRows.push_back(s.rows);
    const int oldSections = static_cast<int>(oldRows.size());
    const int newSections = ds->numberOfSectionsInTableView(keep);
    const int expectedSections = oldSections - static_cast<int>(updates.deletedSections.size()) +
                                 static_cast<int>(updates.insertedSections.size());
    if (newSections != expectedSections)
        inconsistency("Invalid update: invalid number of sections. The table had " + std::to_string(oldSections) +
                      " sections and now has " + std::to_string(newSections) + ", but " +
                      std::to_string(updates.insertedSections.size()) + " were inserted and " +
                      std::to_string(updates.deletedSections.size()) + " deleted.");
    for (const IndexPath& ip : updates.deletedRows) {
        if (ip.section < 0 || ip.section >= oldSections || ip.row < 0 ||
            ip.row >= oldRows[static_cast<std::size_t>(ip.section)])
            inconsistency("Invalid update: deleting row " + ip.description() + ", which does not exist.");
    }
    if (updates.insertedSections.empty() && updates.deletedSections.empty()) {
        for (int s = 0; s < newSections; ++s) {
            int deleted = static_cast<int>(std::count_if(updates.deletedRows.begin(), updates.deletedRows.end(),
                                                         [s](const IndexPath& ip) { return ip.section == s; }));
            int inserted = static_cast<int>(std::count_if(updates.insertedRows.begin(), updates.insertedRows.end(),
                                                          [s](const IndexPath& ip) { return ip.section == s; }));
            int now = ds->tableViewNumberOfRowsInSection(keep, s);
            int before = oldRows[static_cast<std::size_t>(s)];
            if (now != before - deleted + inserted)
                inconsistency("Invalid update: invalid number of rows in section " + std::to_string(s) +
                              ". The section had " + std::to_string(before) + " rows and now has " +
                              std::to_string(now) + ", but " + std::to_string(inserted) + " were inserted and " +
                              std::to_string(deleted) + " deleted.");
            for (const IndexPath& ip : updates.insertedRows) {
                if (ip.section == s && (ip.row < 0 || ip.row >= now))
                    inconsistency("Invalid update: inserting row " + ip.description() + ", which does not exist.");
            }
        }
    }
    // Deletions count in the old numbering, insertions in the new one.
    if (selected_) {
        IndexPath sel = *selected_;
        bool gone =
            std::find(updates.deletedRows.begin(), updates.deletedRows.end(), sel) != updates.deletedRows.end() ||
            std::find(updates.deletedSections.begin(), updates.deletedSections.end(), sel.section) !=
                updates.deletedSections.end();
        if (gone || !updates.insertedSections.empty() || !updates.deletedSections.empty()) {
            selected_.reset();
        } else {
            int row = sel.row;
            for (const IndexPath& ip : updates.deletedRows) {
                if (ip.section == sel.section && ip.row < sel.row) --row;
            }
            std::vector<int> insertedHere;
            for (const IndexPath& ip : updates.insertedRows) {
                if (ip.section == sel.section) insertedHere.push_back(ip.row);
            }
            std::sort(insertedHere.begin(), insertedHere.end());
            for (int r : insertedHere) {
                if (r <= row) ++row;
            }
            selected_ = IndexPath{sel.section, row};
        }
    }
    recycleAll();
    rebuildGeometry();
    layoutCells();
}

// --- Selection and scrolling ---

void TableView::selectRowAtIndexPathAnimatedScrollPosition(std::optional<IndexPath> indexPath, bool animated,
                                                           ScrollPosition position) {
    ensureLoaded();
    if (!indexPath) {
        if (selected_) deselectRowAtIndexPathAnimated(*selected_, animated);
        return;
    }
    if (!isValid(*indexPath)) return;
    if (selected_ && *selected_ != *indexPath) deselectRowAtIndexPathAnimated(*selected_, animated);
    selected_ = indexPath;
    if (auto cell = cellForRowAtIndexPath(*indexPath)) cell->setSelectedAnimated(true, animated);
    if (position != ScrollPositionNone) scrollToRowAtIndexPathAtScrollPositionAnimated(*indexPath, position, animated);
}

void TableView::deselectRowAtIndexPathAnimated(const IndexPath& indexPath, bool animated) {
    if (selected_ != indexPath) return;
    selected_.reset();
    auto it = visible_.find(indexPath);
    if (it != visible_.end()) it->second->setSelectedAnimated(false, animated);
}

void TableView::scrollToRowAtIndexPathAtScrollPositionAnimated(const IndexPath& indexPath, ScrollPosition position,
                                                               bool animated) {
    ensureLoaded();
    if (!isValid(indexPath)) return;
    Rect row = rectForRowAtIndexPath(indexPath);
    Rect visible = bounds();
    EdgeInsets inset = contentInset();
    float y = visible.origin.y;
    float viewHeight = visible.size.height - inset.top - inset.bottom;
    if (position == ScrollPositionNone) {
        if (row.minY() < visible.minY() + inset.top)
            position = ScrollPositionTop;
        else if (row.maxY() > visible.maxY() - inset.bottom)
            position = ScrollPositionBottom;
        else
            return;
    }
    switch (position) {
    case ScrollPositionTop: y = row.minY() - inset.top; break;
    case ScrollPositionMiddle: y = row.midY() - viewHeight / 2 - inset.top; break;
    case ScrollPositionBottom: y = row.maxY() - viewHeight - inset.top; break;
    default: break;
    }
    Point target = clampedOffset({visible.origin.x, y});
    if (!(target == visible.origin)) setContentOffsetAnimated(target, animated);
}

// --- Editing ---

void TableView::setEditingAnimated(bool editing, bool animated) {
    ensureLoaded();
    editing_ = editing;
    auto cells = visible_;
    for (auto& [ip, cell] : cells) configureEditing(cell, ip, animated);
}

// --- The finger ---

bool TableView::tapRowAtIndexPath(const IndexPath& indexPath) {
    ensureLoaded();
    if (!isValid(indexPath) || !cellForRowAtIndexPath(indexPath)) return false;
    if (!isUserInteractionEnabled() || !allowsSelection_ || (editing_ && !allowsSelectionDuringEditing_)) return false;
    auto keep = self();
    auto d = delegate_.lock();
    std::optional<IndexPath> target = d ? d->tableViewWillSelectRowAtIndexPath(keep, indexPath) : indexPath;
    if (!target || !isValid(*target)) return false;
    if (selected_ && *selected_ != *target) {
        IndexPath previous = *selected_;
        deselectRowAtIndexPathAnimated(previous, false);
        if (auto dd = delegate_.lock()) dd->tableViewDidDeselectRowAtIndexPath(keep, previous);
    }
    selected_ = target;
    if (auto cell = cellForRowAtIndexPath(*target)) cell->setSelected(true);
    if (auto dd = delegate_.lock()) dd->tableViewDidSelectRowAtIndexPath(keep, *target);
    return true;
}

bool TableView::tapAccessoryAtIndexPath(const IndexPath& indexPath) {
    auto cell = cellForRowAtIndexPath(indexPath);
    if (!cell) return false;
    auto keep = self();
    auto accessory = cell->isEditing() ? cell->editingAccessoryView() : cell->accessoryView();
    if (auto control = std::dynamic_pointer_cast<Control>(accessory)) return control->tap();
    auto type = cell->isEditing() ? cell->editingAccessoryType() : cell->accessoryType();
    if (accessory || type != TableViewCell::AccessoryDetailDisclosureButton) return false;
    if (auto d = delegate_.lock()) d->tableViewAccessoryButtonTappedForRowWithIndexPath(keep, indexPath);
    return true;
}

bool TableView::tapDeleteAtIndexPath(const IndexPath& indexPath) {
    ensureLoaded();
    if (!isValid(indexPath)) return false;
    auto keep = self();
    auto ds = dataSource_.lock();
    if (!ds || !ds->tableViewCanEditRowAtIndexPath(keep, indexPath)) return false;
    auto d = delegate_.lock();
    auto style = d ? d->tableViewEditingStyleForRowAtIndexPath(keep, indexPath) : TableViewCell::EditingStyleDelete;
    if (style != TableViewCell::EditingStyleDelete) return false;
    ds->tableViewCommitEditingStyleForRowAtIndexPath(keep, TableViewCell::EditingStyleDelete, indexPath);
    return true;
}

bool TableView::dragRowFromIndexPathToIndexPath(const IndexPath& from, const IndexPath& to) {
    ensureLoaded();
    if (!editing_ || !isValid(from)) return false;
    if (to.section < 0 || to.section >= static_cast<int>(sections_.size())) return false;
    int limit = sections_[static_cast<std::size_t>(to.section)].rows - (to.section == from.section ? 1 : 0);
    IndexPath proposed{to.section, std::clamp(to.row, 0, std::max(0, limit))};
    auto keep = self();
    auto ds = dataSource_.lock();
    if (!ds || !ds->tableViewCanMoveRowAtIndexPath(keep, from)) return false;
    auto d = delegate_.lock();
    IndexPath target =
        d ? d->tableViewTargetIndexPathForMoveFromRowAtIndexPathToProposedIndexPath(keep, from, proposed) : proposed;
    // A destination past the end of its section would corrupt the data source's lists.
    if (target.section < 0 || target.section >= static_cast<int>(sections_.size())) target.section = from.section;
    int last = sections_[static_cast<std::size_t>(target.section)].rows - (target.section == from.section ? 1 : 0);
    target.row = std::clamp(target.row, 0, std::max(0, last));
    if (target != from) ds->tableViewMoveRowAtIndexPathToIndexPath(keep, from, target);
    if (selected_ == from) selected_ = target;
    recycleAll();
    rebuildGeometry();
    layoutCells();
    return true;
}

}  // namespace clipora::platform
