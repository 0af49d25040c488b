#include "share/Sharers/SXFoursquareV2.h"

#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/cfnetwork/HTTPCookieStorage.h"
#include "platform/foundation/Text.h"
#include "platform/system/LocationManager.h"
#include "platform/uikit/TextView.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/Sharers/SXFoursquareV2CheckInForm.h"
#include "share/Sharers/SXFoursquareV2OAuthView.h"
#include "share/Sharers/SXFoursquareV2Request.h"
#include "share/Sharers/SXFoursquareV2VenuesForm.h"

namespace clipora {

using platform::LocationManager;
using platform::Text;

void SXFoursquareV2::init() {
    SXSharer::init();
    clientId_ = SXConfiguration::stringValue("foursquareV2ClientId");
    authorizeCallbackURL_ = platform::URL::fromString(SXConfiguration::stringValue("foursquareV2RedirectURI"));
}

bool SXFoursquareV2::canShare() const {
    if (!LocationManager::locationServicesEnabled()) return false;
    const auto status = LocationManager::authorizationStatus();
    return status == LocationManager::AuthorizationStatusAuthorized ||
           status == LocationManager::AuthorizationStatusNotDetermined;
}

std::string SXFoursquareV2::authorizeAddress() {
    auto configured = SXConfiguration::stringValue(kAuthorizeURLKey);
    return configured.empty() ? std::string(kDefaultAuthorizeURL) : configured;
}

bool SXFoursquareV2::restoreAccessToken() {
    if (accessToken_ && !accessToken_->empty()) return true;
    accessToken_ = SX::getAuthValueForKeyForSharer(kAccessTokenKey, sharerId());
    return accessToken_ && !accessToken_->empty();
}

void SXFoursquareV2::storeAccessToken(const std::string& token) {
    accessToken_ = token;
    SX::setAuthValueForKeyForSharer(token, kAccessTokenKey, sharerId());
}

void SXFoursquareV2::deleteStoredAccessToken() {
    accessToken_.reset();
    SX::removeAuthValueForKeyForSharer(kAccessTokenKey, sharerId());
}

void SXFoursquareV2::logout() {
    deleteStoredAccessToken();
    // The service's sign-in cookies go too, so the next sign-in asks again.
    if (auto url = platform::URL::fromString(authorizeAddress())) {
        auto storage = platform::HTTPCookieStorage::sharedHTTPCookieStorage();
        for (const auto& cookie : storage->cookiesForURL(*url)) storage->deleteCookie(*cookie);
    }
}

void SXFoursquareV2::authorizationFormShow() {
    auto keep = sharedAs<SXFoursquareV2>();
    const std::string callback = authorizeCallbackURL_ ? authorizeCallbackURL_->absoluteString() : std::string();
    auto url = platform::URL::fromString(authorizeAddress() + "?client_id=" + Text::percentEscape(clientId_) +
                                         "&response_type=token&redirect_uri=" + Text::percentEscape(callback));
    if (!url) {
        authDidFinish(false);
        return;
    }
    auto view = SXFoursquareV2OAuthView::initWithURLDelegate(*url, std::static_pointer_cast<SXOAuthViewDelegate>(keep));
    SX::currentHelper()->showViewController(view);
}

void SXFoursquareV2::tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(
    const std::shared_ptr<SXOAuthView>&, bool success, const std::optional<QueryParams>& queryParams,
    const std::optional<platform::Error>& error) {
    auto keep = sharedAs<SXFoursquareV2>();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    std::string token;
    if (success && queryParams) {
        if (auto it = queryParams->find("access_token"); it != queryParams->end()) token = it->second;
    }
    // A callback without a token is no sign-in: nothing to share with.
    if (success && !token.empty()) {
        storeAccessToken(token);
        tryPendingAction();
    } else {
        success = false;
        showAlert(localizedShareString("Access Error"),
                  error ? error->localizedDescription() : localizedShareString("There was an error while sharing"));
    }
    authDidFinish(success);
}

void SXFoursquareV2::tokenAuthorizeCancelledView(const std::shared_ptr<SXOAuthView>&) {
    auto keep = sharedAs<SXFoursquareV2>();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    authDidFinish(false);
}

void SXFoursquareV2::show() {
    auto keep = sharedAs<SXFoursquareV2>();
    if (item() && item()->shareType() == SXItem::SXShareTypeText) {
        showFoursquareV2VenuesForm();
        return;
    }
    // Nothing else can be checked in; the share must still end.
    sendDidFailWithError(SX::error("There was an error while sharing"));
}

void SXFoursquareV2::showFoursquareV2VenuesForm() {
    auto keep = sharedAs<SXFoursquareV2>();
    auto form = SXFoursquareV2VenuesForm::initWithDelegate(keep);
    if (viewControllers().empty()) {
        pushViewControllerAnimated(form, false);
    } else {
        setViewControllers({form});
    }
    SX::currentHelper()->showViewController(keep);
}

void SXFoursquareV2::showFoursquareV2CheckInForm() {
    pushViewControllerAnimated(SXFoursquareV2CheckInForm::initWithDelegate(sharedAs<SXFoursquareV2>()), true);
}

void SXFoursquareV2::sendForm(const std::shared_ptr<SXFormControllerLargeTextField>& form) {
    auto keep = sharedAs<SXFoursquareV2>();
    if (item()) item()->setText(form->textView()->text());
    startCheckInRequest();
}

void SXFoursquareV2::startCheckInRequest() {
    auto keep = sharedAs<SXFoursquareV2>();
    sendDidStart();
    std::weak_ptr<SXFoursquareV2> weak = keep;
    auto request =
        SXFoursquareV2Request::requestCheckinLocationVenueMessageDelegateIsFinishedSelectorAccessTokenAutostart(
            location_, venue_, item() ? item()->text() : std::nullopt, keep,
            [weak](const std::shared_ptr<SXRequest>& finished) {
                auto self = weak.lock();
                auto request = std::dynamic_pointer_cast<SXFoursquareV2Request>(finished);
                if (self && request) self->finishCheckInRequest(request);
            },
            accessToken_.value_or(""), true);
    setRequest(request);
}

void SXFoursquareV2::finishCheckInRequest(const std::shared_ptr<SXFoursquareV2Request>& request) {
    auto keep = sharedAs<SXFoursquareV2>();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    if (request->success()) {
        sendDidFinish();
    } else {
        const auto& error = request->getFoursquareError();
        sendDidFailWithErrorShouldRelogin(error, SXFoursquareV2Request::getFoursquareRelogin(error));
    }
    setRequest(nullptr);
}

}  // namespace clipora
