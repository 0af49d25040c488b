#include "net/request/RQAuthenticationDialog.h"

#include <cmath>
#include <utility>

#include "platform/cfnetwork/HTTPAuthentication.h"
#include "platform/foundation/EdgeInsets.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/View.h"
#include "platform/uikit/Window.h"

namespace clipora {

using platform::Device;
using platform::IndexPath;
using platform::Rect;
using platform::TableView;
using platform::TableViewCell;
using platform::TextField;

namespace {

struct DialogState {
    std::shared_ptr<RQAuthenticationDialog> current;
    std::vector<std::shared_ptr<RQChallengedRequest>> waiting;
};

DialogState& dialogState() {
    static DialogState state;
    return state;
}

bool isPhone() {
    auto device = Device::currentDevice();
    return !device->answersUserInterfaceIdiom() || device->userInterfaceIdiom() == Device::UserInterfaceIdiomPhone;
}

bool isPortrait() {
    auto orientation = Device::currentDevice()->orientation();
    return orientation == Device::OrientationPortrait || orientation == Device::OrientationPortraitUpsideDown;
}

}  // namespace

// ---------------------------------------------------------------------------
// Class operations

void RQAuthenticationDialog::presentAuthenticationDialogForRequest(
    const std::shared_ptr<RQChallengedRequest>& request) {
    auto& state = dialogState();
    if (state.current) {
        state.waiting.push_back(request);
        return;
    }
    auto dialog = std::make_shared<RQAuthenticationDialog>();
    dialog->setRequest(request);
    dialog->setType(request->credentialsChallenge().party == RQChallengedRequest::kProxy ? kProxyCredentials
                                                                                         : kServerCredentials);
    state.current = dialog;
    dialog->show();
}

std::shared_ptr<RQAuthenticationDialog> RQAuthenticationDialog::currentDialog() { return dialogState().current; }

std::vector<std::shared_ptr<RQChallengedRequest>> RQAuthenticationDialog::waitingRequests() {
    return dialogState().waiting;
}

void RQAuthenticationDialog::dismissCurrentDialog() {
    if (auto current = dialogState().current) current->dismissModalViewControllerAnimated(true);
}

void RQAuthenticationDialog::withdrawRequest(const std::shared_ptr<RQChallengedRequest>& request) {
    auto& state = dialogState();
    std::erase(state.waiting, request);
    if (auto current = state.current; current && current->request() == request) current->dismiss();
}

void RQAuthenticationDialog::reset() {
    auto& state = dialogState();
    state.current.reset();
    state.waiting.clear();
}

void RQAuthenticationDialog::presentNextDialog() {
    auto& state = dialogState();
    if (state.waiting.empty() || state.current) return;
    auto next = state.waiting.front();
    state.waiting.erase(state.waiting.begin());
    presentAuthenticationDialogForRequest(next);
}

// ---------------------------------------------------------------------------
// Life

RQAuthenticationDialog::RQAuthenticationDialog() {
    auto& center = platform::NotificationCenter::defaultCenter();
    observers_.push_back(center.addObserver(
        platform::Keyboard::kWillShowNotification, [this](const platform::Notification& n) { keyboardWillShow(n); },
        this));
    if (isPhone()) {
        auto device = Device::currentDevice();
        if (!device->isGeneratingDeviceOrientationNotifications()) {
            device->beginGeneratingDeviceOrientationNotifications();
            didEnableRotationNotifications_ = true;
        }
        observers_.push_back(center.addObserver(
            Device::kOrientationDidChangeNotification, [this](const platform::Notification&) { orientationChanged(); },
            this));
    }
}

RQAuthenticationDialog::~RQAuthenticationDialog() {
    auto& center = platform::NotificationCenter::defaultCenter();
    for (auto id : observers_) center.removeObserver(id);
    if (didEnableRotationNotifications_) Device::currentDevice()->endGeneratingDeviceOrientationNotifications();
    if (presentingController_ && presentingController_->isViewLoaded())
        presentingController_->view()->removeFromSuperview();
}

RQChallengedRequest::Challenge RQAuthenticationDialog::challenge() const {
    return request_ ? request_->credentialsChallenge() : RQChallengedRequest::Challenge{};
}

std::string RQAuthenticationDialog::scheme() const { return challenge().scheme; }

bool RQAuthenticationDialog::isNTLM() const { return scheme() == platform::HTTPAuthentication::kSchemeNTLM; }

void RQAuthenticationDialog::show() {
    auto root = view();
    for (auto subview : std::vector(root->subviews())) subview->removeFromSuperview();

    bar_ = std::make_shared<platform::NavigationBar>(Rect(0, 0, root->bounds().size.width, 44));
    bar_->setAutoresizingMask(platform::View::AutoresizingFlexibleWidth);
    root->addSubview(bar_);
    item_ = std::make_shared<platform::NavigationItem>();
    bar_->pushNavigationItemAnimated(item_, false);

    if (type_ == kProxyCredentials) {
        item_->setTitle(challenge().proxyHost);
    } else {
        auto url = request_->url();
        item_->setTitle(url ? url->host() : std::string());
    }
    auto cancel = std::make_shared<platform::BarButtonItem>(platform::BarButtonItem::SystemItemCancel);
    auto login = std::make_shared<platform::BarButtonItem>("Login", platform::BarButtonItem::StyleDone);
    std::weak_ptr<RQAuthenticationDialog> weak = std::static_pointer_cast<RQAuthenticationDialog>(shared_from_this());
    cancel->setAction([weak](const std::shared_ptr<platform::BarButtonItem>&) {
        if (auto dialog = weak.lock()) dialog->cancelAuthenticationFromDialog();
    });
    login->setAction([weak](const std::shared_ptr<platform::BarButtonItem>&) {
        if (auto dialog = weak.lock()) dialog->loginWithCredentialsFromDialog();
    });
    item_->setLeftBarButtonItem(cancel);
    item_->setRightBarButtonItem(login);
    showTitle();

    const float barHeight = bar_->frame().size.height;
    tableView_ = std::make_shared<TableView>(
        Rect(0, barHeight, root->bounds().size.width, root->bounds().size.height - barHeight), TableView::StyleGrouped);
    tableView_->setAutoresizingMask(platform::View::AutoresizingFlexibleWidth |
                                    platform::View::AutoresizingFlexibleHeight);
    auto self = std::static_pointer_cast<RQAuthenticationDialog>(shared_from_this());
    tableView_->setDelegate(std::weak_ptr<platform::TableViewDelegate>(self));
    tableView_->setDataSource(std::weak_ptr<platform::TableViewDataSource>(self));
    root->addSubview(tableView_);
    tableView_->reloadData();
    if (auto field = usernameField()) field->becomeFirstResponder();

    auto device = Device::currentDevice();
    if (device->answersUserInterfaceIdiom() && device->userInterfaceIdiom() == Device::UserInterfaceIdiomPad)
        setModalPresentationStyle(ModalPresentationStyleFormSheet);
    presentingController()->presentModalViewControllerAnimated(self, true);
}

void RQAuthenticationDialog::showTitle() {
    if (!item_) return;
    if (isPortrait()) {
        item_->setPrompt(type_ == kProxyCredentials ? "Login to this secure proxy server."
                                                    : "Login to this secure server.");
    } else {
        item_->setPrompt(std::nullopt);
    }
    if (bar_) {
        bar_->sizeToFit();
        if (tableView_) {
            const float barHeight = bar_->frame().size.height;
            auto bounds = view()->bounds();
            tableView_->setFrame(Rect(0, barHeight, bounds.size.width, bounds.size.height - barHeight));
        }
    }
}

std::shared_ptr<platform::ViewController> RQAuthenticationDialog::presentingController() {
    if (!presentingController_) {
        presentingController_ = std::make_shared<RQAutorotatingViewController>();
        auto windows = platform::Application::sharedApplication()->windows();
        auto controllerView = presentingController_->view();
        controllerView->setFrame(Rect::zero());
        controllerView->setUserInteractionEnabled(false);
        if (!windows.empty()) windows.front()->addSubview(controllerView);
    }
    return presentingController_;
}

std::shared_ptr<platform::BarButtonItem> RQAuthenticationDialog::loginButton() const {
    return item_ ? item_->rightBarButtonItem() : nullptr;
}

std::shared_ptr<platform::BarButtonItem> RQAuthenticationDialog::cancelButton() const {
    return item_ ? item_->leftBarButtonItem() : nullptr;
}

// ---------------------------------------------------------------------------
// Answers

std::vector<std::shared_ptr<RQChallengedRequest>> RQAuthenticationDialog::requestsRequiringTheseCredentials() {
    std::vector<std::shared_ptr<RQChallengedRequest>> result;
    if (!request_) return result;
    const auto mine = request_->credentialsChallenge();
    const auto& url = mine.url;
    for (const auto& other : dialogState().waiting) {
        if (other == request_) continue;
        const auto theirs = other->credentialsChallenge();
        if (theirs.party != mine.party) continue;
        if (mine.party == RQChallengedRequest::kProxy) {
            // Proxy credentials belong to the proxy, not to the target.
            if (theirs.proxyHost != mine.proxyHost || theirs.proxyPort != mine.proxyPort) continue;
            if (theirs.realm != mine.realm) continue;
        } else {
            const auto& otherURL = theirs.url;
            if (!url || !otherURL) continue;
            if (otherURL->host() != url->host()) continue;
            if (otherURL->port().has_value() != url->port().has_value()) continue;
            if (url->port() && *url->port() != *otherURL->port()) continue;
            if (otherURL->scheme() != url->scheme()) continue;
            if (theirs.realm != mine.realm) continue;
        }
        result.push_back(other);
    }
    result.push_back(request_);
    return result;
}

void RQAuthenticationDialog::loginWithCredentialsFromDialog() {
    auto keep = shared_from_this();
    const bool ntlm = isNTLM();
    auto user = usernameField();
    auto pass = passwordField();
    auto domain = ntlm ? domainField() : nullptr;
    const std::string userText = user ? user->text() : std::string();
    const std::string passText = pass ? pass->text() : std::string();
    const std::optional<std::string> domainText =
        ntlm ? std::optional<std::string>(domain ? domain->text() : std::string()) : std::nullopt;
    for (const auto& request : requestsRequiringTheseCredentials()) {
        request->retryWithCredentials(userText, passText, domainText);
        std::erase(dialogState().waiting, request);
    }
    dismiss();
}

void RQAuthenticationDialog::cancelAuthenticationFromDialog() {
    auto keep = shared_from_this();
    for (const auto& request : requestsRequiringTheseCredentials()) {
        request->cancelAuthentication();
        std::erase(dialogState().waiting, request);
    }
    dismiss();
}

void RQAuthenticationDialog::dismiss() {
    auto keep = std::static_pointer_cast<RQAuthenticationDialog>(shared_from_this());
    dismissModalViewControllerAnimated(true);
    // Off screen (no window to show in) nothing tells the dialog it went.
    if (!disappeared_) disappeared();
}

void RQAuthenticationDialog::viewDidDisappear(bool animated) {
    RQAutorotatingViewController::viewDidDisappear(animated);
    disappeared();
}

void RQAuthenticationDialog::disappeared() {
    if (disappeared_) return;
    disappeared_ = true;
    auto keep = shared_from_this();
    auto& state = dialogState();
    if (state.current.get() == this) state.current.reset();
    platform::RunLoop::main()->performAfterDelay(0, [] { presentNextDialog(); });
}

// ---------------------------------------------------------------------------
// Fields, keyboard, rotation

std::shared_ptr<TextField> RQAuthenticationDialog::textFieldInRowSection(int row, int section) {
    if (!tableView_) return nullptr;
    auto cell = tableView_->cellForRowAtIndexPath(IndexPath::indexPathForRowInSection(row, section));
    if (!cell) return nullptr;
    const auto& subviews = cell->contentView()->subviews();
    if (subviews.empty()) return nullptr;
    return std::dynamic_pointer_cast<TextField>(subviews.front());
}

std::shared_ptr<TextField> RQAuthenticationDialog::usernameField() { return textFieldInRowSection(0, 0); }
std::shared_ptr<TextField> RQAuthenticationDialog::passwordField() { return textFieldInRowSection(1, 0); }
std::shared_ptr<TextField> RQAuthenticationDialog::domainField() { return textFieldInRowSection(0, 1); }

void RQAuthenticationDialog::keyboardWillShow(const platform::Notification& notification) {
    if (!isPhone() || !tableView_) return;
    float height = 0;
    if (const auto* frame = notification.userInfo.find(platform::Keyboard::kFrameEndUserInfoKey)) {
        if (auto value = frame->objectAs<platform::GeometryValue>()) height = value->rectValue().size.height;
    }
    platform::EdgeInsets insets{0, 0, height, 0};
    tableView_->setContentInset(insets);
    tableView_->setScrollIndicatorInsets(insets);
}

void RQAuthenticationDialog::orientationChanged() {
    showTitle();
    if (!isViewLoaded()) return;
    float angle = 0;
    const auto orientation = platform::Application::sharedApplication()->statusBarOrientation();
    if (orientation == 2) angle = static_cast<float>(M_PI);
    if (orientation == 3) angle = static_cast<float>(M_PI / 2);
    if (orientation == 4) angle = static_cast<float>(-M_PI / 2);
    Rect frame = platform::Screen::mainScreen()->applicationFrame();
    if (orientation == 3 || orientation == 4) std::swap(frame.size.width, frame.size.height);
    auto root = view();
    const auto previous = root->layer()->affineTransform();
    root->layer()->setAffineTransform(platform::AffineTransform::identity());
    root->setFrame(Rect(0, 0, frame.size.width, frame.size.height));
    root->layer()->setAffineTransform(previous);
    platform::View::animateWithDurationAnimations(0.3, [root, angle, frame] {
        root->layer()->setAffineTransform(platform::AffineTransform::makeRotation(angle));
        auto current = root->frame();
        root->setFrame(Rect(frame.origin, current.size));
    });
}

// ---------------------------------------------------------------------------
// Table

int RQAuthenticationDialog::numberOfSectionsInTableView(const std::shared_ptr<TableView>&) { return isNTLM() ? 2 : 1; }

int RQAuthenticationDialog::tableViewNumberOfRowsInSection(const std::shared_ptr<TableView>&, int section) {
    return section == 0 ? 2 : 1;
}

std::shared_ptr<TableViewCell> RQAuthenticationDialog::tableViewCellForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                                                      const IndexPath& indexPath) {
    auto cell = std::make_shared<TableViewCell>(TableViewCell::CellStyleDefault, std::string());
    cell->setSelectionStyle(TableViewCell::SelectionStyleNone);
    auto bounds = cell->bounds();
    auto field = std::make_shared<TextField>(
        Rect(10, 10, std::max(0.0f, bounds.size.width - 20), std::max(0.0f, bounds.size.height - 20)));
    field->setAutoresizingMask(platform::View::AutoresizingFlexibleWidth | platform::View::AutoresizingFlexibleHeight);
    field->setAutocapitalizationType(TextField::AutocapitalizationNone);
    field->setAutocorrectionType(TextField::AutocorrectionNo);
    if (indexPath.section == 0 && indexPath.row == 0) {
        field->setPlaceholder("User");
    } else if (indexPath.section == 0) {
        field->setPlaceholder("Password");
        field->setSecureTextEntry(true);
    } else {
        field->setPlaceholder("Domain");
    }
    cell->contentView()->addSubview(field);
    // Cells hold what was typed: keep them while the dialog lives.
    cells_.push_back(cell);
    return cell;
}

std::optional<float> RQAuthenticationDialog::tableViewHeightForHeaderInSection(const std::shared_ptr<TableView>&,
                                                                               int section) {
    if (section != 0) return 0.0f;
    auto device = Device::currentDevice();
    const bool tablet =
        device->answersUserInterfaceIdiom() && device->userInterfaceIdiom() == Device::UserInterfaceIdiomPad;
    return tablet ? 54.0f : 30.0f;
}

std::optional<std::string> RQAuthenticationDialog::tableViewTitleForHeaderInSection(const std::shared_ptr<TableView>&,
                                                                                    int section) {
    if (section != 0 || !request_) return std::nullopt;
    return challenge().realm;
}

std::optional<float> RQAuthenticationDialog::tableViewHeightForFooterInSection(const std::shared_ptr<TableView>& table,
                                                                               int section) {
    return section == numberOfSectionsInTableView(table) - 1 ? 30.0f : 0.0f;
}

std::optional<std::string> RQAuthenticationDialog::tableViewTitleForFooterInSection(
    const std::shared_ptr<TableView>& table, int section) {
    if (section != numberOfSectionsInTableView(table) - 1 || !request_) return std::nullopt;
    // The password travels in the clear with Basic over a plain link: to
    // the proxy, that link is the one to the proxy itself.
    bool inTheClear = false;
    if (scheme() == platform::HTTPAuthentication::kSchemeBasic) {
        if (type_ == kProxyCredentials) {
            inTheClear = true;
        } else {
            auto url = request_->url();
            inTheClear = !url || platform::Text::lowercase(url->scheme()) != "https";
        }
    }
    return inTheClear ? "Password will be sent in the clear." : "Password will be sent securely.";
}

}  // namespace clipora
