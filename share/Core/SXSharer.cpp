#include "share/Core/SXSharer.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/AlertView.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/Core/SXRequest.h"
#include "share/Core/SXSharerRegistry.h"
#include "share/UI/SXActivityIndicator.h"
#include "share/UI/SXCustomFormController.h"
#include "share/UI/SXFormFieldSettings.h"

namespace clipora {

using platform::Text;
using platform::Value;

namespace {

constexpr const char* kGenericFailure = "There was an error while sharing";

}  // namespace

SXSharer::SXSharer() = default;
SXSharer::~SXSharer() = default;

std::shared_ptr<SXSharer> SXSharer::self() { return sharedAs<SXSharer>(); }

bool SXSharer::isOwnDelegate() const {
    auto delegate = shareDelegate_.lock();
    return delegate && delegate.get() == static_cast<const SXSharerDelegate*>(this);
}

void SXSharer::releaseSelf() {
    isRetainingSelf_ = false;
    // The caller holds its own reference for the rest of its work.
    auto released = std::move(retainedSelf_);
    retainedSelf_.reset();
}

bool SXSharer::isServiceAuthorized(const std::string& sharerId) {
    auto sharer = SXSharerRegistry::create(sharerId);
    return sharer && sharer->isAuthorized();
}

bool SXSharer::canShareType(int type) const {
    switch (type) {
    case SXItem::SXShareTypeURL: return canShareURL();
    case SXItem::SXShareTypeText: return canShareText();
    case SXItem::SXShareTypeImage: return canShareImage();
    case SXItem::SXShareTypeFile: return canShareFile();
    case SXItem::SXShareTypeUserInfoRequest: return canGetUserInfo();
    default: return false;
    }
}

std::vector<std::shared_ptr<SXFormFieldSettings>> SXSharer::authorizationFormFields() const {
    return {SXFormFieldSettings::labelKeyTypeStart(localizedShareString("Username"), "username",
                                                   SXFormFieldSettings::SXFormFieldTypeTextNoCorrect, std::nullopt),
            SXFormFieldSettings::labelKeyTypeStart(localizedShareString("Password"), "password",
                                                   SXFormFieldSettings::SXFormFieldTypePassword, std::nullopt)};
}

void SXSharer::logout() {
    for (const auto& row : authorizationFormFields()) SX::removeAuthValueForKeyForSharer(row->key(), sharerId());
}

void SXSharer::init() {
    shareDelegate_ = sharedAs<SXSharerDelegate>();
    isRetainingSelf_ = false;
    item_ = std::make_shared<SXItem>();
    setModalPresentationStyle(static_cast<ModalPresentationStyle>(SX::modalPresentationStyle()));
    setModalTransitionStyle(static_cast<ModalTransitionStyle>(SX::modalTransitionStyle()));
}

void SXSharer::loadItem(const std::shared_ptr<SXItem>& item) {
    if (item) SX::pushOnFavoritesForType(sharerId(), item->shareType());
    item_ = item;
}

void SXSharer::share() {
    auto keep = self();
    if (!validateItem()) return;
    if (isOwnDelegate() && !isRetainingSelf_) {
        retainedSelf_ = keep;
        isRetainingSelf_ = true;
    }
    if (!authorize()) {
        pendingAction_ = PendingActionShareAgain;
        return;
    }
    if (!SXConfiguration::boolValue("allowAutoShare") || !shouldAutoShare() || !tryToSend()) show();
}

bool SXSharer::validateItem() {
    if (!item_) return false;
    switch (item_->shareType()) {
    case SXItem::SXShareTypeURL: return item_->URL().has_value();
    case SXItem::SXShareTypeText: return item_->text().has_value();
    case SXItem::SXShareTypeImage: return item_->image() != nullptr;
    case SXItem::SXShareTypeFile: return item_->data().has_value();
    case SXItem::SXShareTypeUserInfoRequest: return canGetUserInfo();
    default: return false;
    }
}

bool SXSharer::isAuthorized() {
    if (!requiresAuthentication()) return true;
    for (const auto& row : authorizationFormFields()) {
        if (SX::getAuthValueForKeyForSharer(row->key(), sharerId())) return true;
    }
    return false;
}

bool SXSharer::authorize() {
    if (isAuthorized()) return true;
    promptAuthorization();
    return false;
}

void SXSharer::promptAuthorization() {
    if (!shareRequiresInternetConnection() || SX::connected()) {
        authorizationFormShow();
        return;
    }
    showAlert(localizedShareString("Offline"),
              localizedShareFormat("You must be online to login to %@", sharerTitle()));
    // No login can happen now: end the attempt.
    authDidFinish(false);
}

void SXSharer::showAlert(const std::string& title, const std::string& message) {
    if (quiet_) return;
    auto alert = std::make_shared<platform::AlertView>(title, message, std::weak_ptr<platform::AlertViewDelegate>(),
                                                       localizedShareString("Close"));
    alert->show();
}

void SXSharer::wireForm(const std::shared_ptr<SXFormController>& form, FormOperation validate, FormOperation save,
                        FormOperation cancel) {
    std::weak_ptr<SXSharer> weak = self();
    form->setDelegate(weak);
    auto bind = [weak](FormOperation operation) {
        return [weak, operation](const std::shared_ptr<SXFormController>& f) {
            if (auto s = weak.lock()) ((*s).*operation)(f);
        };
    };
    form->setValidateSelector(bind(validate));
    form->setSaveSelector(bind(save));
    form->setCancelSelector(bind(cancel));
}

void SXSharer::authorizationFormShow() {
    auto form = SXFormController::initWithStyleTitleRightButtonTitle<SXCustomFormController>(
        platform::TableView::StyleGrouped, localizedShareString("Login"), localizedShareString("Login"));
    form->addSectionHeaderFooter(authorizationFormFields(), std::nullopt, authorizationFormCaption());
    wireForm(form, &SXSharer::authorizationFormValidate, &SXSharer::authorizationFormSave,
             &SXSharer::authorizationFormCancel);
    form->setAutoSelect(true);
    SX::currentHelper()->showViewController(form);
}

void SXSharer::authorizationFormValidate(const std::shared_ptr<SXFormController>&) {}

void SXSharer::authorizationFormSave(const std::shared_ptr<SXFormController>& form) {
    auto keep = self();
    auto values = form->formValues();
    if (!form->sections().empty()) {
        for (const auto& row : form->sections().front().rows) {
            auto it = values.find(row->key());
            SX::setAuthValueForKeyForSharer(it == values.end() ? std::nullopt : std::optional(it->second), row->key(),
                                            sharerId());
        }
    }
    share();
}

void SXSharer::authorizationFormCancel(const std::shared_ptr<SXFormController>&) { sendDidCancel(); }

void SXSharer::show() {
    auto keep = self();
    auto rows = shareFormFieldsForType(item_ ? item_->shareType() : SXItem::SXShareTypeUndefined);
    if (rows.empty()) {
        if (!tryToSend()) sendDidFailWithError(SX::error(kGenericFailure));
        return;
    }
    auto form = SXFormController::initWithStyleTitleRightButtonTitle<SXCustomFormController>(
        platform::TableView::StyleGrouped, std::nullopt, localizedShareFormat("Send to %@", sharerTitle()));
    std::optional<std::string> footer;
    if (item_ && item_->URL()) footer = item_->URL()->absoluteString();
    form->addSectionHeaderFooter(std::move(rows), std::nullopt, footer);
    if (SXConfiguration::boolValue("allowAutoShare") && canAutoShare()) {
        form->addSectionHeaderFooter({SXFormFieldSettings::labelKeyTypeStart(
                                         localizedShareString("Auto Share"), "autoShare",
                                         SXFormFieldSettings::SXFormFieldTypeSwitch, shouldAutoShare() ? "1" : "0")},
                                     std::nullopt,
                                     localizedShareString("Enable auto share to skip this step in the future."));
    }
    wireForm(form, &SXSharer::shareFormValidate, &SXSharer::shareFormSave, &SXSharer::shareFormCancel);
    if (viewControllers().empty()) {
        pushViewControllerAnimated(form, false);
    } else {
        setViewControllers({form});
    }
    SX::currentHelper()->showViewController(keep);
}

std::vector<std::shared_ptr<SXFormFieldSettings>> SXSharer::shareFormFieldsForType(int type) {
    if (type != SXItem::SXShareTypeURL) return {};
    return {SXFormFieldSettings::labelKeyTypeStart(localizedShareString("Title"), "title",
                                                   SXFormFieldSettings::SXFormFieldTypeText,
                                                   item_ ? item_->title() : std::nullopt)};
}

void SXSharer::shareFormValidate(const std::shared_ptr<SXFormController>& form) { form->saveForm(); }

void SXSharer::shareFormSave(const std::shared_ptr<SXFormController>& form) {
    auto keep = self();
    for (const auto& [key, value] : form->formValues()) {
        if (key == "title") {
            item_->setTitle(value);
        } else if (key == "text") {
            item_->setText(value);
        } else if (key == "tags") {
            item_->setTags(value);
        } else {
            item_->setCustomValueForKey(Value(value), key);
        }
    }
    if (SXConfiguration::boolValue("allowAutoShare") && canAutoShare()) {
        auto second = form->formValuesForSection(1);
        if (auto it = second.find("autoShare"); it != second.end()) setShouldAutoShare(it->second == "1");
    }
    // The user's input must not vanish without a word.
    if (!tryToSend()) sendDidFailWithError(SX::error(kGenericFailure));
}

void SXSharer::shareFormCancel(const std::shared_ptr<SXFormController>&) { sendDidCancel(); }

bool SXSharer::tryToSend() {
    auto keep = self();
    if (!shareRequiresInternetConnection() || SX::connected()) return send();
    if (SXConfiguration::boolValue("allowOffline") && canShareOffline()) {
        if (!item_ || !SX::addToOfflineQueueForSharer(*item_, sharerId())) return false;
        // Safely queued: the share is done as far as this attempt goes; the
        // offline queue delivers it later.
        sendDidFinish();
        return true;
    }
    if (quiet_) return false;
    auto message = localizedShareFormat("You must be online in order to share with %@", sharerTitle());
    showAlert(localizedShareString("Offline"), message);
    // The alert said it all: end the share without a second alert.
    quiet_ = true;
    sendDidFailWithError(SX::error("%@", message));
    return true;
}

bool SXSharer::shouldAutoShare() const {
    return platform::UserDefaults::standardUserDefaults()->boolForKey(Text::format("%@_shouldAutoShare", sharerId()));
}

void SXSharer::setShouldAutoShare(bool autoShare) {
    platform::UserDefaults::standardUserDefaults()->setBool(autoShare, Text::format("%@_shouldAutoShare", sharerId()));
}

std::optional<std::string> SXSharer::getAuthValueForKey(const std::string& key) const {
    return SX::getAuthValueForKeyForSharer(key, sharerId());
}

// --- Outcome ---

void SXSharer::post(const char* name, const Value& userInfo) {
    platform::NotificationCenter::defaultCenter().post(name, Value(std::static_pointer_cast<platform::Object>(self())),
                                                       userInfo);
}

void SXSharer::sendDidStart() {
    auto keep = self();
    post(kSendDidStartNotification);
    if (auto delegate = shareDelegate()) delegate->sharerStartedSending(keep);
}

void SXSharer::sendDidFinish() {
    auto keep = self();
    post(kSendDidFinishNotification);
    if (auto delegate = shareDelegate()) delegate->sharerFinishedSending(keep);
}

void SXSharer::sendDidFailWithError(const std::optional<platform::Error>& error) {
    sendDidFailWithErrorShouldRelogin(error, false);
}

void SXSharer::sendDidFailWithErrorShouldRelogin(const std::optional<platform::Error>& error, bool shouldRelogin) {
    auto keep = self();
    lastError_ = error;
    post(kSendDidFailWithErrorNotification);
    if (auto delegate = shareDelegate()) delegate->sharerFailedWithErrorShouldRelogin(keep, error, shouldRelogin);
}

void SXSharer::sendDidFailShouldRelogin() {
    sendDidFailWithErrorShouldRelogin(SX::error("Could not authenticate you. Please relogin."), true);
}

void SXSharer::sendDidCancel() {
    auto keep = self();
    post(kSendDidCancelNotification);
    if (auto delegate = shareDelegate()) delegate->sharerCancelledSending(keep);
}

void SXSharer::authDidFinish(bool success) {
    auto keep = self();
    post(kAuthDidFinishNotification, Value::makeDictionary({{"success", Value(success)}}));
    if (auto delegate = shareDelegate()) delegate->sharerAuthDidFinishSuccess(keep, success);
}

void SXSharer::tryPendingAction() {
    if (pendingAction_ == PendingActionShareAgain) share();
}

// --- The sharer as its own delegate ---

void SXSharer::sharerStartedSending(const std::shared_ptr<SXSharer>&) {
    if (!quiet_)
        SXActivityIndicator::currentIndicator()->displayActivity(localizedShareFormat("Saving to %@", sharerTitle()));
}

void SXSharer::sharerFinishedSending(const std::shared_ptr<SXSharer>&) {
    if (!quiet_) SXActivityIndicator::currentIndicator()->displayCompleted(localizedShareString("Saved!"));
    if (isRetainingSelf_) releaseSelf();
}

void SXSharer::sharerFailedWithErrorShouldRelogin(const std::shared_ptr<SXSharer>&,
                                                  const std::optional<platform::Error>&, bool shouldRelogin) {
    if (!quiet_) {
        SXActivityIndicator::currentIndicator()->hide();
        showAlert(localizedShareString("Error"),
                  lastError_ ? lastError_->localizedDescription() : localizedShareString(kGenericFailure));
        if (shouldRelogin) promptAuthorization();
    }
    if (!shouldRelogin && isRetainingSelf_) releaseSelf();
}

void SXSharer::sharerCancelledSending(const std::shared_ptr<SXSharer>&) {
    if (isRetainingSelf_) releaseSelf();
}

void SXSharer::sharerAuthDidFinishSuccess(const std::shared_ptr<SXSharer>& sharer, bool success) {
    if (success) {
        auto userInfoKey = Text::format("kSX%@UserInfo", sharer->sharerTitle());
        if (sharer->canGetUserInfo() && !platform::UserDefaults::standardUserDefaults()->objectForKey(userInfoKey)) {
            if (auto fetcher = SXSharerRegistry::create(sharer->sharerId())) {
                auto item = std::make_shared<SXItem>();
                item->setShareType(SXItem::SXShareTypeUserInfoRequest);
                fetcher->setItem(item);
                fetcher->share();
            }
        }
    } else if (isRetainingSelf_) {
        releaseSelf();
    }
}

void SXSharer::viewDidDisappear(bool animated) {
    NavigationController::viewDidDisappear(animated);
    SX::currentHelper()->viewWasDismissed();
}

}  // namespace clipora
