#pragma once

#include <memory>

#include "platform/uikit/TableView.h"
#include "platform/uikit/TableViewDataSource.h"
#include "platform/uikit/TableViewDelegate.h"
#include "platform/uikit/ViewController.h"

namespace clipora {

// What every settings pane shares: a grouped table filling the controller's
// view (resizing with it), whose data source and delegate the controller is,
// held weakly. The table goes with the view when the view is unloaded.
// Subclasses supply the rows.
class STSettingsPaneController : public platform::ViewController,
                                 public platform::TableViewDataSource,
                                 public platform::TableViewDelegate {
public:
    // Absent until the view loads.
    const std::shared_ptr<platform::TableView>& tableView() const { return tableView_; }

    void loadView() override;
    void viewDidUnload() override;

private:
    std::shared_ptr<platform::TableView> tableView_;
};

}  // namespace clipora
