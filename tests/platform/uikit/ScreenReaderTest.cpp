#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/ActionSheet.h"
#include "platform/uikit/AlertRegistry.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/ScreenReader.h"
#include "platform/uikit/TableViewController.h"
#include "platform/uikit/Window.h"
#include "tests/platform/uikit/UIKitTest.h"

using namespace clipora::platform;
using clipora::test::UIKitTest;

namespace {

class MenuController : public TableViewController, public ActionSheetDelegate {
public:
    std::vector<std::string> rows{"My Videos", "My Friends Videos"};
    std::vector<int> clicked;
    MenuController() { setTitle("Movara"); }
    int tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int) override {
        return static_cast<int>(rows.size());
    }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(const std::shared_ptr<TableView>& table,
                                                                  const IndexPath& ip) override {
        auto cell = table->dequeueReusableCellWithIdentifier("OptionListCell");
        if (!cell) cell = std::make_shared<TableViewCell>(TableViewCell::CellStyleDefault, "OptionListCell");
        cell->textLabel()->setText(rows[static_cast<std::size_t>(ip.row)]);
        cell->setAccessoryType(TableViewCell::AccessoryDisclosureIndicator);
        return cell;
    }
    std::optional<std::string> tableViewTitleForHeaderInSection(const std::shared_ptr<TableView>&, int) override {
        return "Facebook";
    }
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<TableView>& table, const IndexPath& ip) override {
        table->deselectRowAtIndexPathAnimated(ip, true);
        auto sheet = std::make_shared<ActionSheet>("What do you want to do?", sharedAs<ActionSheetDelegate>(),
                                                   std::string("Nothing"), std::nullopt,
                                                   std::vector<std::string>{"Download Video"});
        sheet->showInView(view());
    }
    void actionSheetClickedButtonAtIndex(const std::shared_ptr<ActionSheet>&, int index) override {
        clicked.push_back(index);
    }
};

class ScreenReaderTest : public UIKitTest {};

}  // namespace

TEST_F(ScreenReaderTest, ReadsAndDrivesTheTopmostScreen) {
    EXPECT_EQ(ScreenReader::topViewController(), nullptr);
    auto window = std::make_shared<Window>();
    auto menu = std::make_shared<MenuController>();
    auto nav = std::make_shared<NavigationController>();
    nav->initWithRootViewController(menu);
    menu->navigationItem()->setRightBarButtonItem(menu->editButtonItem());
    window->addSubview(nav->view());
    window->makeKeyAndVisible();

    auto shot = ScreenReader::read();
    EXPECT_EQ(shot.controller, menu);
    EXPECT_EQ(shot.title, "Movara");
    EXPECT_FALSE(shot.backButton.has_value());
    ASSERT_EQ(shot.rows().size(), 2u);
    EXPECT_EQ(shot.rows()[1].text, "My Friends Videos");
    EXPECT_EQ(shot.text(),
              "== Movara ==\n"
              "    [Edit]\n"
              "-- Facebook --\n"
              " 1. My Videos  >\n"
              " 2. My Friends Videos  >\n");

    // A finger on row 2 opens the sheet; the reader shows it; pressing cancel reaches the controller.
    ASSERT_TRUE(shot.table->tapRowAtIndexPath(shot.rows()[1].indexPath));
    shot = ScreenReader::read();
    ASSERT_TRUE(shot.alert.has_value());
    EXPECT_TRUE(shot.alert->isActionSheet);
    EXPECT_EQ(shot.alert->cancelButtonIndex, 1);
    EXPECT_NE(shot.text().find("Sheet \"What do you want to do?\"\n  0) Download Video\n  1) Nothing (cancel)\n"),
              std::string::npos);
    EXPECT_TRUE(AlertRegistry::pressButtonAtIndex(1));
    EXPECT_EQ(menu->clicked, (std::vector<int>{1}));

    // A pushed screen shows the back button; a presented one is on top.
    auto detail = std::make_shared<ViewController>();
    detail->setTitle("My Friends Videos");
    nav->pushViewControllerAnimated(detail, true);
    shot = ScreenReader::read();
    EXPECT_EQ(shot.title, "My Friends Videos");
    EXPECT_EQ(shot.backButton, "Movara");
    EXPECT_EQ(shot.table, nullptr);
    auto modal = std::make_shared<ViewController>();
    modal->setTitle("Settings");
    detail->presentModalViewControllerAnimated(modal, true);
    EXPECT_EQ(ScreenReader::topViewController(), modal);
    EXPECT_EQ(ScreenReader::read().title, "Settings");
}
