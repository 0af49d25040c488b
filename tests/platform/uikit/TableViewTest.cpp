#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Switch.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TableViewCell.h"
#include "tests/platform/uikit/UIKitTest.h"

using namespace clipora::platform;
using clipora::test::UIKitTest;

namespace {

using Log = std::vector<std::string>;

// Rows are the strings of `sections`; each cell is dequeued by identifier
// "Cell" when possible.
class ListSource : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<std::vector<std::string>> sections;
    std::map<int, std::string> headers;
    std::map<IndexPath, float> heights;
    std::optional<IndexPath> refuse;      // will-select answers none for it
    std::optional<IndexPath> redirectTo;  // will-select answers this instead
    std::vector<int> movable;             // sections whose rows move
    bool deleteOnCommit = true;
    int cellRequests = 0;
    int cellsMade = 0;
    Log log;

    int numberOfSectionsInTableView(const std::shared_ptr<TableView>&) override {
        return static_cast<int>(sections.size());
    }
    int tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int section) override {
        return static_cast<int>(sections[static_cast<std::size_t>(section)].size());
    }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(const std::shared_ptr<TableView>& table,
                                                                  const IndexPath& ip) override {
        ++cellRequests;
        auto cell = table->dequeueReusableCellWithIdentifier("Cell");
        if (!cell) {
            cell = std::make_shared<TableViewCell>(TableViewCell::CellStyleSubtitle, "Cell");
            ++cellsMade;
        }
        cell->textLabel()->setText(sections[static_cast<std::size_t>(ip.section)][static_cast<std::size_t>(ip.row)]);
        return cell;
    }
    std::optional<std::string> tableViewTitleForHeaderInSection(const std::shared_ptr<TableView>&, int s) override {
        auto it = headers.find(s);
        if (it == headers.end()) return std::nullopt;
        return it->second;
    }
    bool tableViewCanMoveRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath& ip) override {
        return std::find(movable.begin(), movable.end(), ip.section) != movable.end();
    }
    void tableViewCommitEditingStyleForRowAtIndexPath(const std::shared_ptr<TableView>& table,
                                                      TableViewCell::EditingStyle style, const IndexPath& ip) override {
        log.push_back("commit " + std::to_string(style) + " " + ip.description());
        if (!deleteOnCommit) return;
        auto& rows = sections[static_cast<std::size_t>(ip.section)];
        rows.erase(rows.begin() + ip.row);
        table->deleteRowsAtIndexPathsWithRowAnimation({ip}, TableView::RowAnimationFade);
    }
    void tableViewMoveRowAtIndexPathToIndexPath(const std::shared_ptr<TableView>&, const IndexPath& from,
                                                const IndexPath& to) override {
        log.push_back("move " + from.description() + " " + to.description());
        auto& src = sections[static_cast<std::size_t>(from.section)];
        std::string value = src[static_cast<std::size_t>(from.row)];
        src.erase(src.begin() + from.row);
        auto& dst = sections[static_cast<std::size_t>(to.section)];
        dst.insert(dst.begin() + to.row, value);
    }

    std::optional<float> tableViewHeightForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                          const IndexPath& ip) override {
        auto it = heights.find(ip);
        if (it == heights.end()) return std::nullopt;
        return it->second;
    }
    std::optional<IndexPath> tableViewWillSelectRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                               const IndexPath& ip) override {
        log.push_back("willSelect " + ip.description());
        if (refuse == ip) return std::nullopt;
        if (redirectTo) return redirectTo;
        return ip;
    }
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath& ip) override {
        log.push_back("didSelect " + ip.description());
    }
    void tableViewDidDeselectRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath& ip) override {
        log.push_back("didDeselect " + ip.description());
    }
    void tableViewAccessoryButtonTappedForRowWithIndexPath(const std::shared_ptr<TableView>&,
                                                           const IndexPath& ip) override {
        log.push_back("accessory " + ip.description());
    }
    IndexPath tableViewTargetIndexPathForMoveFromRowAtIndexPathToProposedIndexPath(const std::shared_ptr<TableView>&,
                                                                                   const IndexPath& from,
                                                                                   const IndexPath& proposed) override {
        // Rows stay in their own section.
        if (proposed.section != from.section) return {from.section, proposed.section < from.section ? 0 : 99};
        return proposed;
    }
    void scrollViewWillBeginDragging(const std::shared_ptr<ScrollView>&) override { log.push_back("beginDrag"); }
    void scrollViewDidScroll(const std::shared_ptr<ScrollView>& sv) override {
        log.push_back("scroll " + std::to_string(static_cast<int>(sv->contentOffset().y)));
    }
    void scrollViewDidEndDraggingWillDecelerate(const std::shared_ptr<ScrollView>& sv, bool) override {
        log.push_back("endDrag");
        // As a pull-to-refresh header does: keep room for a spinner.
        if (sv->contentOffset().y <= -85) sv->setContentInset({80, 0, 0, 0});
    }
};

std::vector<std::string> numbered(const std::string& prefix, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(prefix + std::to_string(i));
    return out;
}

class TableViewTest : public UIKitTest {
protected:
    void SetUp() override {
        UIKitTest::SetUp();
        source = std::make_shared<ListSource>();
        table = std::make_shared<TableView>(Rect{0, 0, 320, 440});
        table->setDataSource(source);
        table->setDelegate(source);
    }
    std::vector<std::string> visibleTexts() {
        std::vector<std::string> out;
        for (auto& cell : table->visibleCells()) out.push_back(cell->textLabel()->text());
        return out;
    }

    std::shared_ptr<ListSource> source;
    std::shared_ptr<TableView> table;
};

}  // namespace

TEST_F(TableViewTest, ReloadShowsWhatTheDataSourceHoldsNow) {
    source->sections = {{"a", "b"}};
    EXPECT_EQ(visibleTexts(), (std::vector<std::string>{"a", "b"}));
    // A changed data source is not seen until the reload.
    source->sections = {{"x"}, {"y", "z"}};
    EXPECT_EQ(table->numberOfSections(), 1);
    table->reloadData();
    EXPECT_EQ(table->numberOfSections(), 2);
    EXPECT_EQ(table->numberOfRowsInSection(1), 2);
    EXPECT_EQ(visibleTexts(), (std::vector<std::string>{"x", "y", "z"}));
    // Cells were reused across the reload.
    EXPECT_EQ(source->cellsMade, 3);
    source->sections = {};
    table->reloadData();
    EXPECT_TRUE(table->visibleCells().empty());
    EXPECT_EQ(table->contentSize().height, 0);
}

TEST_F(TableViewTest, CellsExistOnlyForVisibleRows) {
    source->sections = {numbered("row", 100)};
    // 440 points show rows 0..9 of 44 points.
    EXPECT_EQ(table->indexPathsForVisibleRows().size(), 10u);
    EXPECT_NE(table->cellForRowAtIndexPath({0, 9}), nullptr);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 10}), nullptr);
    EXPECT_EQ(table->contentSize().height, 4400);
    EXPECT_EQ(source->cellsMade, 10);

    table->setContentOffset({0, 22});  // half of row 0 scrolled away, half of row 10 shown
    EXPECT_NE(table->cellForRowAtIndexPath({0, 10}), nullptr);
    EXPECT_EQ(table->indexPathsForVisibleRows().size(), 11u);
    table->setContentOffset({0, 44 * 50});
    auto rows = table->indexPathsForVisibleRows();
    EXPECT_EQ(rows.front(), (IndexPath{0, 50}));
    EXPECT_EQ(rows.back(), (IndexPath{0, 59}));
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0}), nullptr);
    // Scrolling reused the cells that went off screen.
    EXPECT_EQ(source->cellsMade, 11);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 50})->textLabel()->text(), "row50");

    table->scrollToRowAtIndexPathAtScrollPositionAnimated({0, 99}, TableView::ScrollPositionMiddle, false);
    EXPECT_EQ(table->contentOffset().y, 4400 - 440);  // clamped to the end
    EXPECT_NE(table->cellForRowAtIndexPath({0, 99}), nullptr);
}

TEST_F(TableViewTest, GeometryWithHeadersAndHeights) {
    source->sections = {{"a", "b"}, {"c"}};
    source->headers = {{0, "First"}, {1, "Second"}};
    source->heights = {{{0, 1}, 75}};
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 0}), (Rect{0, 22, 320, 44}));
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 1}), (Rect{0, 66, 320, 75}));
    EXPECT_EQ(table->rectForHeaderInSection(1), (Rect{0, 141, 320, 22}));
    EXPECT_EQ(table->rectForRowAtIndexPath({1, 0}), (Rect{0, 163, 320, 44}));
    EXPECT_EQ(table->rectForRowAtIndexPath({1, 5}), Rect::zero());
    EXPECT_EQ(table->indexPathForRowAtPoint({10, 100}), (IndexPath{0, 1}));
    EXPECT_EQ(table->indexPathForRowAtPoint({10, 150}), std::nullopt);  // a header
    EXPECT_EQ(table->headerTitleForSection(1), "Second");
    EXPECT_EQ(table->indexPathForCell(table->cellForRowAtIndexPath({1, 0})), (IndexPath{1, 0}));
}

TEST_F(TableViewTest, WillSelectMayRefuseOrRedirect) {
    source->sections = {{"a", "b", "c"}};
    EXPECT_TRUE(table->tapRowAtIndexPath({0, 0}));
    EXPECT_EQ(source->log, (Log{"willSelect [0, 0]", "didSelect [0, 0]"}));
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 0})->isSelected());
    source->log.clear();

    source->refuse = IndexPath{0, 1};
    EXPECT_FALSE(table->tapRowAtIndexPath({0, 1}));
    EXPECT_EQ(source->log, (Log{"willSelect [0, 1]"}));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 0}));
    source->log.clear();

    source->redirectTo = IndexPath{0, 2};
    EXPECT_TRUE(table->tapRowAtIndexPath({0, 0}));
    EXPECT_EQ(source->log, (Log{"willSelect [0, 0]", "didDeselect [0, 0]", "didSelect [0, 2]"}));
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 0})->isSelected());

    // Programmatic deselection tells nobody.
    source->log.clear();
    table->deselectRowAtIndexPathAnimated({0, 2}, true);
    EXPECT_TRUE(source->log.empty());
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);
    // Rows off screen or out of range cannot be tapped.
    EXPECT_FALSE(table->tapRowAtIndexPath({0, 7}));
    table->setAllowsSelection(false);
    EXPECT_FALSE(table->tapRowAtIndexPath({0, 1}));
}

TEST_F(TableViewTest, DeletingARowThroughTheDataSource) {
    source->sections = {{"a", "b", "c"}};
    table->selectRowAtIndexPathAnimatedScrollPosition(IndexPath{0, 2}, false, TableView::ScrollPositionNone);
    table->setEditingAnimated(true, true);
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 0})->isEditing());
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0})->editingStyle(), TableViewCell::EditingStyleDelete);
    EXPECT_TRUE(table->tapDeleteAtIndexPath({0, 1}));
    EXPECT_EQ(source->log, (Log{"commit 1 [0, 1]"}));
    EXPECT_EQ(visibleTexts(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(table->lastRowAnimation(), TableView::RowAnimationFade);
    // The selection moved up with its row.
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 1}));
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 1})->isSelected());
}

TEST_F(TableViewTest, UpdatesThatDisagreeWithTheDataSourceAreRefused) {
    source->sections = {{"a", "b"}};
    table->reloadData();
    // The row count did not change, yet a row is said to be deleted.
    EXPECT_THROW(table->deleteRowsAtIndexPathsWithRowAnimation({{0, 0}}, TableView::RowAnimationNone), Exception);
    source->sections[0].push_back("c");
    source->sections[0].push_back("d");
    table->beginUpdates();
    table->insertRowsAtIndexPathsWithRowAnimation({{0, 2}}, TableView::RowAnimationFade);
    table->insertRowsAtIndexPathsWithRowAnimation({{0, 3}}, TableView::RowAnimationFade);
    table->endUpdates();
    EXPECT_EQ(table->numberOfRowsInSection(0), 4);
    // Deleting a row that never existed.
    source->sections[0].pop_back();
    EXPECT_THROW(table->deleteRowsAtIndexPathsWithRowAnimation({{0, 9}}, TableView::RowAnimationNone), Exception);
}

TEST_F(TableViewTest, MovingRowsStaysWithinTheSectionTheDelegateAllows) {
    source->sections = {{"a", "b", "c"}, {"d"}};
    source->movable = {0};
    EXPECT_FALSE(table->dragRowFromIndexPathToIndexPath({0, 0}, {0, 2}));  // not editing
    table->setEditing(true);
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 0})->showsReorderControl());
    EXPECT_FALSE(table->cellForRowAtIndexPath({1, 0})->showsReorderControl());
    EXPECT_TRUE(table->dragRowFromIndexPathToIndexPath({0, 0}, {0, 2}));
    EXPECT_EQ(source->sections[0], (std::vector<std::string>{"b", "c", "a"}));
    // Dragged into the next section, the row lands at the end of its own
    // (the delegate's row 99 is held to the section's last row).
    EXPECT_TRUE(table->dragRowFromIndexPathToIndexPath({0, 0}, {1, 0}));
    EXPECT_EQ(source->log.back(), "move [0, 0] [0, 2]");
    EXPECT_EQ(source->sections[0], (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_FALSE(table->dragRowFromIndexPathToIndexPath({1, 0}, {0, 0}));  // section 1 does not move
}

TEST_F(TableViewTest, AccessoryTaps) {
    source->sections = {{"a", "b"}};
    auto cellA = table->cellForRowAtIndexPath({0, 0});
    cellA->setAccessoryType(TableViewCell::AccessoryDetailDisclosureButton);
    EXPECT_TRUE(table->tapAccessoryAtIndexPath({0, 0}));
    EXPECT_EQ(source->log, (Log{"accessory [0, 0]"}));
    auto toggle = std::make_shared<Switch>();
    table->cellForRowAtIndexPath({0, 1})->setAccessoryView(toggle);
    EXPECT_TRUE(table->tapAccessoryAtIndexPath({0, 1}));
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(source->log.size(), 1u);
}

TEST_F(TableViewTest, DraggingTellsTheScrollDelegateAndSettlesOnRelease) {
    source->sections = {numbered("row", 3)};
    table->reloadData();
    EXPECT_TRUE(table->drag({{0, -40}, {0, -90}}));
    EXPECT_FALSE(table->isDragging());
    // Released at -90 the delegate widened the top inset to 80, so the
    // content settles at -80 (the top of the range).
    EXPECT_EQ(source->log, (Log{"beginDrag", "scroll -40", "scroll -90", "endDrag", "scroll -80"}));
    source->log.clear();
    table->setContentInset({});
    EXPECT_TRUE(table->drag({{0, 30}}));
    // Less content than the table holds: it settles back at the top.
    EXPECT_EQ(source->log, (Log{"beginDrag", "scroll 30", "endDrag", "scroll 0"}));
    table->setScrollEnabled(false);
    EXPECT_FALSE(table->drag({{0, 10}}));
}

TEST_F(TableViewTest, CellStylesAndReuse) {
    auto plain = std::make_shared<TableViewCell>(TableViewCell::CellStyleDefault, "id");
    EXPECT_EQ(plain->detailTextLabel(), nullptr);
    auto value1 = std::make_shared<TableViewCell>(TableViewCell::CellStyleValue1, "id");
    ASSERT_NE(value1->detailTextLabel(), nullptr);
    EXPECT_EQ(value1->detailTextLabel()->textAlignment(), TextAlignmentRight);
    EXPECT_TRUE(value1->textLabel()->isDescendantOfView(value1->contentView()));
    value1->setSelected(true);
    value1->prepareForReuse();
    EXPECT_FALSE(value1->isSelected());

    source->sections = {{"a"}};
    table->reloadData();
    source->sections = {};
    table->reloadData();
    // The cell of the removed row waits in the queue.
    auto reused = table->dequeueReusableCellWithIdentifier("Cell");
    ASSERT_NE(reused, nullptr);
    EXPECT_EQ(reused->superview(), nullptr);
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier("Cell"), nullptr);
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier("Other"), nullptr);
}
