#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/request/RQAutorotatingViewController.h"
#include "net/request/RQChallengedRequest.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TableViewDataSource.h"
#include "platform/uikit/TableViewDelegate.h"
#include "platform/uikit/TextField.h"

namespace clipora {

// The login sheet the request engine shows when a server (401) or a proxy
// (407) wants credentials and no delegate answers: user name and password
// (and a domain for NTLM). Login applies what was typed to every waiting
// request that needs the same credentials and lets them retry; Cancel
// cancels them all. One dialog is on screen at a time; other requests wait
// their turn. Main thread only.
class RQAuthenticationDialog : public RQAutorotatingViewController,
                               public platform::TableViewDataSource,
                               public platform::TableViewDelegate {
public:
    enum Type : int { kServerCredentials = 0, kProxyCredentials = 1 };

    static void presentAuthenticationDialogForRequest(const std::shared_ptr<RQChallengedRequest>& request);
    // The dialog on screen, if any, and the requests waiting for one.
    static std::shared_ptr<RQAuthenticationDialog> currentDialog();
    static std::vector<std::shared_ptr<RQChallengedRequest>> waitingRequests();
    static void dismissCurrentDialog();
    // The request no longer waits for credentials (it was cancelled): it
    // leaves the waiting list, and a dialog on screen for it goes without
    // answering anyone (the next waiting request then gets its own).
    static void withdrawRequest(const std::shared_ptr<RQChallengedRequest>& request);
    // Tests: forget the dialog and the waiting list.
    static void reset();

    RQAuthenticationDialog();
    ~RQAuthenticationDialog() override;

    const std::shared_ptr<RQChallengedRequest>& request() const { return request_; }
    void setRequest(std::shared_ptr<RQChallengedRequest> request) { request_ = std::move(request); }
    int type() const { return type_; }
    void setType(int type) { type_ = type; }
    const std::shared_ptr<platform::TableView>& tableView() const { return tableView_; }
    bool didEnableRotationNotifications() const { return didEnableRotationNotifications_; }

    void show();
    void showTitle();
    void loginWithCredentialsFromDialog();
    void cancelAuthenticationFromDialog();
    std::vector<std::shared_ptr<RQChallengedRequest>> requestsRequiringTheseCredentials();
    std::shared_ptr<platform::TextField> usernameField();
    std::shared_ptr<platform::TextField> passwordField();
    std::shared_ptr<platform::TextField> domainField();
    void dismiss();
    void viewDidDisappear(bool animated) override;
    std::shared_ptr<platform::ViewController> presentingController();
    void orientationChanged();

    // The navigation bar's buttons (tests press them).
    std::shared_ptr<platform::BarButtonItem> loginButton() const;
    std::shared_ptr<platform::BarButtonItem> cancelButton() const;
    std::shared_ptr<platform::NavigationItem> navigationItemShown() const { return item_; }

    // Table data source and delegate.
    int numberOfSectionsInTableView(const std::shared_ptr<platform::TableView>& tableView) override;
    int tableViewNumberOfRowsInSection(const std::shared_ptr<platform::TableView>& tableView, int section) override;
    std::shared_ptr<platform::TableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<platform::TableView>& tableView, const platform::IndexPath& indexPath) override;
    std::optional<float> tableViewHeightForHeaderInSection(const std::shared_ptr<platform::TableView>& tableView,
                                                           int section) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(const std::shared_ptr<platform::TableView>& tableView,
                                                                int section) override;
    std::optional<float> tableViewHeightForFooterInSection(const std::shared_ptr<platform::TableView>& tableView,
                                                           int section) override;
    std::optional<std::string> tableViewTitleForFooterInSection(const std::shared_ptr<platform::TableView>& tableView,
                                                                int section) override;

private:
    static void presentNextDialog();
    std::string scheme() const;
    RQChallengedRequest::Challenge challenge() const;
    bool isNTLM() const;
    std::shared_ptr<platform::TextField> textFieldInRowSection(int row, int section);
    void keyboardWillShow(const platform::Notification& notification);
    void disappeared();

    std::shared_ptr<RQChallengedRequest> request_;
    int type_ = kServerCredentials;
    std::shared_ptr<platform::TableView> tableView_;
    bool didEnableRotationNotifications_ = false;
    std::shared_ptr<platform::ViewController> presentingController_;
    std::shared_ptr<platform::NavigationBar> bar_;
    std::shared_ptr<platform::NavigationItem> item_;
    std::vector<std::shared_ptr<platform::TableViewCell>> cells_;
    std::vector<platform::NotificationCenter::ObserverId> observers_;
    bool disappeared_ = false;
};

}  // namespace clipora
