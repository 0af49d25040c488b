#include <gtest/gtest.h>

#include "platform/uikit/SearchBar.h"
#include "platform/uikit/SearchDisplayController.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/TableViewDataSource.h"
#include "platform/uikit/ViewController.h"

namespace clipora::platform {
namespace {

struct Screen : SearchBarDelegate, SearchDisplayDelegate, TableViewDataSource {
    std::vector<std::string> events;
    bool reload = true;
    int loads = 0;
    void searchBarTextDidChange(const std::shared_ptr<SearchBar>&, const std::string& text) override {
        events.push_back("typed " + text);
    }
    void searchBarSearchButtonClicked(const std::shared_ptr<SearchBar>& bar) override {
        events.push_back("search " + bar->text());
    }
    bool searchDisplayControllerShouldReloadTableForSearchString(const std::shared_ptr<SearchDisplayController>&,
                                                                 const std::string&) override {
        return reload;
    }
    int tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int) override {
        ++loads;
        return 0;
    }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                                  const IndexPath&) override {
        return nullptr;
    }
};

TEST(SearchTest, TypingActivatesTheDisplayAndTheSearchButtonTellsTheDelegate) {
    auto contents = std::make_shared<ViewController>();
    contents->view()->setFrame(Rect(0, 0, 300, 400));
    auto bar = std::make_shared<SearchBar>();
    contents->view()->addSubview(bar);
    bar->sizeToFit();
    EXPECT_EQ(bar->frame().size.width, 300);
    EXPECT_EQ(bar->frame().size.height, SearchBar::kHeight);

    auto screen = std::make_shared<Screen>();
    bar->setDelegate(screen);
    auto display = SearchDisplayController::initWithSearchBarContentsController(bar, contents);
    display->setDelegate(screen);
    display->setSearchResultsDataSource(screen);
    EXPECT_EQ(bar->displayController(), display);
    EXPECT_FALSE(display->isActive());

    // The delegate may keep the results table from reloading on typing.
    screen->reload = false;
    bar->typeText("caf");
    EXPECT_TRUE(display->isActive());
    EXPECT_EQ(screen->loads, 0);
    screen->reload = true;
    bar->typeText("cafe");
    EXPECT_EQ(screen->loads, 1);
    EXPECT_EQ(display->searchResultsTableView()->dataSource(), screen);

    bar->setText("from code");
    bar->pressSearchButton();
    EXPECT_EQ(screen->events, (std::vector<std::string>{"typed caf", "typed cafe", "search from code"}));
    display->setActiveAnimated(false, false);
    EXPECT_FALSE(display->isActive());
}

}  // namespace
}  // namespace clipora::platform
