#include "app/QRBBaseViewController.h"

#include "platform/foundation/EdgeInsets.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Label.h"

namespace clipora {

using namespace platform;

QRBBaseViewController::QRBBaseViewController(TableView::Style tableViewStyle, std::string title, bool enablePullRefresh)
    : tableViewStyle_(tableViewStyle), theTitle_(std::move(title)), enablePullRefresh_(enablePullRefresh) {}

QRBBaseViewController::~QRBBaseViewController() {
    NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

void QRBBaseViewController::setTheTitle(std::string title) {
    theTitle_ = std::move(title);
    if (!isViewLoaded()) return;  // the view shows it when it loads
    if (auto label = std::dynamic_pointer_cast<Label>(view()->viewWithTag(kTitleLabelTag))) label->setText(theTitle_);
}

void QRBBaseViewController::loadView() {
    // The screen's own layout: a full-screen view with a title label.
    ViewController::loadView();
    auto label = std::make_shared<Label>(Rect(0, 0, view()->bounds().size.width, 44));
    label->setTag(kTitleLabelTag);
    label->setTextAlignment(TextAlignmentCenter);
    label->setBackgroundColor(Color::clearColor());
    label->setAutoresizingMask(View::AutoresizingFlexibleWidth);
    label->setText(theTitle_);
    view()->addSubview(label);
}

void QRBBaseViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    auto root = view();
    tableView_ = std::make_shared<TableView>(root->frame(), tableViewStyle_);
    tableView_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    tableView_->setUserInteractionEnabled(true);
    tableView_->setContentInset(EdgeInsets::zero());
    tableView_->setBackgroundColor(Color::clearColor());
    const bool pad = Device::currentDevice()->userInterfaceIdiom() == Device::UserInterfaceIdiomPad;
    tableView_->setBackgroundView(
        std::make_shared<ImageView>(Image::imageNamed(Text::format("Default%@.png", pad ? "@2x" : ""))));
    tableView_->setDataSource(weakAs<TableViewDataSource>());
    tableView_->setDelegate(weakAs<TableViewDelegate>());
    if (tableViewStyle_ == TableView::StylePlain) tableView_->setSeparatorStyle(TableView::SeparatorStyleNone);
    root->addSubview(tableView_);

    emptyView_ = std::make_shared<ImageView>(Rect(0, 180, 320, 245));
    emptyView_->setImage(Image::imageNamed("no_videos_available.png"));
    emptyView_->setFrame(Rect(0, 180, 320, 245));
    emptyView_->setHidden(true);
    root->addSubview(emptyView_);

    if (enablePullRefresh_) {
        const float height = tableView_->bounds().size.height;
        refreshHeaderView_ =
            PRRefreshTableHeaderView::initWithFrame(Rect(0, -height, root->frame().size.width, height));
        refreshHeaderView_->setBackgroundColor(Color::clearColor());
        refreshHeaderView_->setDelegate(weakAs<PRRefreshTableHeaderDelegate>());
        tableView_->addSubview(refreshHeaderView_);
        refreshHeaderView_->refreshLastUpdatedDate();
    }
}

void QRBBaseViewController::viewDidUnload() {
    ViewController::viewDidUnload();
    tableView_.reset();
    refreshHeaderView_.reset();
}

int QRBBaseViewController::numberOfSectionsInTableView(const std::shared_ptr<TableView>&) { return 0; }

int QRBBaseViewController::tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int) { return 0; }

std::shared_ptr<TableViewCell> QRBBaseViewController::tableViewCellForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                                                     const IndexPath&) {
    return nullptr;
}

std::optional<float> QRBBaseViewController::tableViewHeightForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                                             const IndexPath&) {
    return 44.0f;
}

void QRBBaseViewController::scrollViewDidScroll(const std::shared_ptr<ScrollView>& scrollView) {
    if (refreshHeaderView_) refreshHeaderView_->prRefreshScrollViewDidScroll(scrollView);
}

void QRBBaseViewController::scrollViewDidEndDraggingWillDecelerate(const std::shared_ptr<ScrollView>& scrollView,
                                                                   bool) {
    if (refreshHeaderView_) refreshHeaderView_->prRefreshScrollViewDidEndDragging(scrollView);
}

void QRBBaseViewController::prRefreshTableHeaderDidTriggerRefresh(const std::shared_ptr<PRRefreshTableHeaderView>&) {
    reloadTableViewDataSource();
}

bool QRBBaseViewController::prRefreshTableHeaderDataSourceIsLoading(const std::shared_ptr<PRRefreshTableHeaderView>&) {
    return reloading_;
}

std::optional<Date> QRBBaseViewController::prRefreshTableHeaderDataSourceLastUpdated(
    const std::shared_ptr<PRRefreshTableHeaderView>&) {
    return Date::now();
}

}  // namespace clipora
