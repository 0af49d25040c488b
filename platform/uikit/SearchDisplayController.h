#pragma once

#include <memory>
#include <string>

#include "platform/uikit/TableView.h"

namespace clipora::platform {

class SearchBar;
class SearchDisplayController;
class TableViewDataSource;
class TableViewDelegate;
class ViewController;

// Told by a search display controller. Every operation is optional; the
// defaults answer what the platform does without a delegate.
class SearchDisplayDelegate {
public:
    virtual ~SearchDisplayDelegate() = default;
    // Whether the results table reloads for the typed text (default yes).
    virtual bool searchDisplayControllerShouldReloadTableForSearchString(
        const std::shared_ptr<SearchDisplayController>& controller, const std::string& searchString) {
        (void)controller, (void)searchString;
        return true;
    }
};

// Shows search results over a screen: it becomes active when the user
// starts typing in its search bar, and its own results table (made on first
// use, with the results data source and delegate) reloads as the delegate
// allows.
class SearchDisplayController : public std::enable_shared_from_this<SearchDisplayController> {
public:
    // Made for the bar and the screen it searches (neither retained by the
    // bar).
    static std::shared_ptr<SearchDisplayController> initWithSearchBarContentsController(
        const std::shared_ptr<SearchBar>& searchBar, const std::shared_ptr<ViewController>& contentsController);

    const std::shared_ptr<SearchBar>& searchBar() const { return searchBar_; }
    std::shared_ptr<ViewController> searchContentsController() const { return contentsController_.lock(); }
    std::shared_ptr<SearchDisplayDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<SearchDisplayDelegate> delegate) { delegate_ = std::move(delegate); }
    void setSearchResultsDataSource(std::weak_ptr<TableViewDataSource> dataSource);
    void setSearchResultsDelegate(std::weak_ptr<TableViewDelegate> delegate);
    const std::shared_ptr<TableView>& searchResultsTableView();

    bool isActive() const { return active_; }
    void setActiveAnimated(bool active, bool animated);

    // Told by the bar when its text was typed.
    void searchBarTextDidChange(const std::string& text);

private:
    std::shared_ptr<SearchBar> searchBar_;
    std::weak_ptr<ViewController> contentsController_;
    std::weak_ptr<SearchDisplayDelegate> delegate_;
    std::weak_ptr<TableViewDataSource> resultsDataSource_;
    std::weak_ptr<TableViewDelegate> resultsDelegate_;
    std::shared_ptr<TableView> resultsTable_;
    bool active_ = false;
};

}  // namespace clipora::platform
