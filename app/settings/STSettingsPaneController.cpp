#include "app/settings/STSettingsPaneController.h"

namespace clipora {

using namespace platform;

void STSettingsPaneController::loadView() {
    ViewController::loadView();
    tableView_ = std::make_shared<TableView>(view()->bounds(), TableView::StyleGrouped);
    tableView_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    tableView_->setDataSource(weakAs<TableViewDataSource>());
    tableView_->setDelegate(weakAs<TableViewDelegate>());
    view()->addSubview(tableView_);
}

void STSettingsPaneController::viewDidUnload() {
    ViewController::viewDidUnload();
    tableView_.reset();
}

}  // namespace clipora
