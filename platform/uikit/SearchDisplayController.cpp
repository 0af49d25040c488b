#include "platform/uikit/SearchDisplayController.h"

#include "platform/uikit/SearchBar.h"
#include "platform/uikit/TableViewDataSource.h"
#include "platform/uikit/TableViewDelegate.h"
#include "platform/uikit/ViewController.h"

namespace clipora::platform {

std::shared_ptr<SearchDisplayController> SearchDisplayController::initWithSearchBarContentsController(
    const std::shared_ptr<SearchBar>& searchBar, const std::shared_ptr<ViewController>& contentsController) {
    auto controller = std::make_shared<SearchDisplayController>();
    controller->searchBar_ = searchBar;
    controller->contentsController_ = contentsController;
    if (searchBar) searchBar->displayController_ = controller;
    return controller;
}

void SearchDisplayController::setSearchResultsDataSource(std::weak_ptr<TableViewDataSource> dataSource) {
    resultsDataSource_ = dataSource;
    if (resultsTable_) resultsTable_->setDataSource(std::move(dataSource));
}

void SearchDisplayController::setSearchResultsDelegate(std::weak_ptr<TableViewDelegate> delegate) {
    resultsDelegate_ = delegate;
    if (resultsTable_) resultsTable_->setDelegate(std::move(delegate));
}

const std::shared_ptr<TableView>& SearchDisplayController::searchResultsTableView() {
    if (!resultsTable_) {
        auto contents = contentsController_.lock();
        resultsTable_ =
            std::make_shared<TableView>(contents ? contents->view()->bounds() : Rect(), TableView::StylePlain);
        resultsTable_->setDataSource(resultsDataSource_);
        resultsTable_->setDelegate(resultsDelegate_);
    }
    return resultsTable_;
}

void SearchDisplayController::setActiveAnimated(bool active, bool) { active_ = active; }

void SearchDisplayController::searchBarTextDidChange(const std::string& text) {
    auto keep = shared_from_this();
    active_ = true;
    auto d = delegate();
    if (!d || d->searchDisplayControllerShouldReloadTableForSearchString(keep, text))
        searchResultsTableView()->reloadData();
}

}  // namespace clipora::platform
