#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/PRRefreshTableHeaderDelegate.h"
#include "app/PRRefreshTableHeaderView.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TableViewDataSource.h"
#include "platform/uikit/TableViewDelegate.h"
#include "platform/uikit/ViewController.h"

namespace clipora {

// The base of the table screens: a full-size table with a background image,
// an "empty" picture the subclass shows and hides, and, when asked, a
// pull-to-refresh header above the first row. A subclass supplies the rows
// and the reload, setting and clearing the reloading flag around it.
class QRBBaseViewController : public platform::ViewController,
                              public platform::TableViewDataSource,
                              public platform::TableViewDelegate,
                              public PRRefreshTableHeaderDelegate {
public:
    // The tag of the title label in the screen's view.
    static constexpr int kTitleLabelTag = 100;

    // initWithTableViewStyleTitleEnablePullRefresh.
    QRBBaseViewController(platform::TableView::Style tableViewStyle, std::string title, bool enablePullRefresh);
    ~QRBBaseViewController() override;

    const std::shared_ptr<platform::TableView>& tableView() const { return tableView_; }
    void setTableView(std::shared_ptr<platform::TableView> tableView) { tableView_ = std::move(tableView); }
    platform::TableView::Style tableViewStyle() const { return tableViewStyle_; }
    void setTableViewStyle(platform::TableView::Style style) { tableViewStyle_ = style; }
    const std::string& theTitle() const { return theTitle_; }
    // Also shown in the view's title label (tag 100).
    void setTheTitle(std::string title);
    bool enablePullRefresh() const { return enablePullRefresh_; }
    void setEnablePullRefresh(bool enable) { enablePullRefresh_ = enable; }
    const std::shared_ptr<platform::ImageView>& emptyView() const { return emptyView_; }
    const std::shared_ptr<PRRefreshTableHeaderView>& refreshHeaderView() const { return refreshHeaderView_; }
    bool isReloading() const { return reloading_; }

    // Hooks for the subclass; empty here.
    virtual void reloadTableViewDataSource() {}
    virtual void doneLoadingTableViewData() {}
    // A hook with no visible effect.
    virtual void themeChanged() {}

    void loadView() override;
    void viewDidLoad() override;
    void viewDidUnload() override;

    // --- Table defaults for subclasses: no sections, no rows ---
    int numberOfSectionsInTableView(const std::shared_ptr<platform::TableView>& tableView) override;
    int tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>& tableView, int section) override;
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    std::optional<float> tableViewHeightForRowAtIndexPath(const std::shared_ptr<platform::TableView>& tableView,
                                                          const platform::IndexPath& indexPath) override;

    // --- Scrolling drives the header ---
    void scrollViewDidScroll(const std::shared_ptr<platform::ScrollView>& scrollView) override;
    void scrollViewDidEndDraggingWillDecelerate(const std::shared_ptr<platform::ScrollView>& scrollView,
                                                bool decelerate) override;

    // --- PRRefreshTableHeaderDelegate ---
    void prRefreshTableHeaderDidTriggerRefresh(const std::shared_ptr<PRRefreshTableHeaderView>& header) override;
    bool prRefreshTableHeaderDataSourceIsLoading(const std::shared_ptr<PRRefreshTableHeaderView>& header) override;
    std::optional<platform::Date> prRefreshTableHeaderDataSourceLastUpdated(
        const std::shared_ptr<PRRefreshTableHeaderView>& header) override;

protected:
    void setReloading(bool reloading) { reloading_ = reloading; }

private:
    std::shared_ptr<platform::TableView> tableView_;
    platform::TableView::Style tableViewStyle_;
    std::string theTitle_;
    bool enablePullRefresh_;
    std::shared_ptr<platform::ImageView> emptyView_;
    std::shared_ptr<PRRefreshTableHeaderView> refreshHeaderView_;
    bool reloading_ = false;
};

}  // namespace clipora
