#include "share/Core/Helpers/OAuth/SXOAuthSharer.h"

#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/cfnetwork/HTTPCookieStorage.h"
#include "share/Core/Helpers/OAuth/OAAsynchronousDataFetcher.h"
#include "share/Core/Helpers/OAuth/OAMutableURLRequest.h"
#include "share/Core/Helpers/OAuth/OAURLEncoding.h"
#include "share/Core/SX.h"
#include "share/UI/SXActivityIndicator.h"
#include "share/UI/SXOAuthView.h"

namespace clipora {

bool SXOAuthSharer::isAuthorized() { return restoreAccessToken(); }

void SXOAuthSharer::promptAuthorization() { tokenRequest(); }

std::shared_ptr<OAMutableURLRequest> SXOAuthSharer::signedRequest(const platform::URL& url,
                                                                  const std::optional<OAToken>& token) const {
    auto request = std::make_shared<OAMutableURLRequest>(url, consumer_.value_or(OAConsumer(consumerKey_, secretKey_)),
                                                         token, std::nullopt, signatureProvider_);
    request->setHTTPMethod("POST");
    return request;
}

void SXOAuthSharer::fetch(const std::shared_ptr<OAMutableURLRequest>& request, bool access) {
    std::weak_ptr<SXOAuthSharer> weak = std::static_pointer_cast<SXOAuthSharer>(self());
    auto fetcher = OAAsynchronousDataFetcher::asynchronousFetcherWithRequestDelegateDidFinishSelectorDidFailSelector(
        request, weak,
        [weak, access](const OAServiceTicket& ticket, const platform::Data& data) {
            auto s = weak.lock();
            if (!s) return;
            if (access) {
                s->tokenAccessTicketDidFinishWithData(ticket, data);
            } else {
                s->tokenRequestTicketDidFinishWithData(ticket, data);
            }
        },
        [weak, access](const OAServiceTicket& ticket, const std::optional<platform::Error>& error) {
            auto s = weak.lock();
            if (!s) return;
            if (access) {
                s->tokenAccessTicketDidFailWithError(ticket, error);
            } else {
                s->tokenRequestTicketDidFailWithError(ticket, error);
            }
        });
    fetcher->start();
}

void SXOAuthSharer::tokenRequest() {
    auto keep = self();
    SXActivityIndicator::currentIndicator()->displayActivity(localizedShareString("Connecting..."));
    consumer_ = OAConsumer(consumerKey_, secretKey_);
    if (!requestURL_) {
        tokenRequestTicketDidFailWithError(OAServiceTicket(nullptr, nullptr, std::nullopt, false), std::nullopt);
        return;
    }
    auto request = signedRequest(*requestURL_, std::nullopt);
    tokenRequestModifyRequest(request);
    fetch(request, false);
}

void SXOAuthSharer::tokenRequestTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data) {
    auto keep = self();
    SXActivityIndicator::currentIndicator()->hide();
    if (ticket.didSucceed()) {
        requestToken_ = OAToken::initWithHTTPResponseBody(std::string(data.begin(), data.end()));
        tokenAuthorize();
    } else {
        tokenRequestTicketDidFailWithError(
            ticket, SX::error("There was a problem requesting authorization from %@", sharerTitle()));
    }
}

void SXOAuthSharer::alertAndFail(const char* title, const std::optional<platform::Error>& error, const char* fallback) {
    auto keep = self();
    SXActivityIndicator::currentIndicator()->hide();
    showAlert(localizedShareString(title), error ? error->localizedDescription() : localizedShareString(fallback));
    // The login attempt is over: listeners and the sharer's own reference
    // must hear of it.
    authDidFinish(false);
}

void SXOAuthSharer::tokenRequestTicketDidFailWithError(const OAServiceTicket&,
                                                       const std::optional<platform::Error>& error) {
    alertAndFail("Request Error", error, "There was an error while sharing");
}

void SXOAuthSharer::tokenAuthorize() {
    if (!authorizeURL_ || !requestToken_) {
        alertAndFail("Authorize Error", std::nullopt, "There was an error while authorizing");
        return;
    }
    auto address =
        authorizeURL_->absoluteString() + "?oauth_token=" + OAURLEncoding::URLEncodedString(requestToken_->key());
    auto url = platform::URL::fromString(address);
    if (!url) {
        alertAndFail("Authorize Error", std::nullopt, "There was an error while authorizing");
        return;
    }
    auto view = SXOAuthView::initWithURLDelegate(*url, sharedAs<SXOAuthViewDelegate>());
    SX::currentHelper()->showViewController(view);
}

void SXOAuthSharer::tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(
    const std::shared_ptr<SXOAuthView>&, bool success, const std::optional<QueryParams>& queryParams,
    const std::optional<platform::Error>& error) {
    auto keep = self();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    if (!success || (queryParams && queryParams->contains("oauth_problem"))) {
        alertAndFail("Authorize Error", error, "There was an error while authorizing");
        return;
    }
    authorizeResponseQueryVars_ = queryParams;
    // Success is reported once the access token is stored, not here: a
    // listener that acts on it must find the token.
    tokenAccess(false);
}

void SXOAuthSharer::tokenAuthorizeCancelledView(const std::shared_ptr<SXOAuthView>&) {
    auto keep = self();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    authDidFinish(false);
}

void SXOAuthSharer::tokenAccess(bool refresh) {
    auto keep = self();
    if (!refresh) SXActivityIndicator::currentIndicator()->displayActivity(localizedShareString("Authenticating..."));
    if (!consumer_) consumer_ = OAConsumer(consumerKey_, secretKey_);
    if (!accessURL_) {
        tokenAccessTicketDidFailWithError(OAServiceTicket(nullptr, nullptr, std::nullopt, false), std::nullopt);
        return;
    }
    auto request = tokenAccessRequest(*accessURL_, refresh ? accessToken_ : requestToken_);
    tokenAccessModifyRequest(request);
    fetch(request, true);
}

void SXOAuthSharer::tokenAccessTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data) {
    auto keep = self();
    SXActivityIndicator::currentIndicator()->hide();
    if (!ticket.didSucceed()) {
        tokenAccessTicketDidFailWithError(ticket,
                                          SX::error("There was a problem requesting access from %@", sharerTitle()));
        return;
    }
    accessToken_ = OAToken::initWithHTTPResponseBody(std::string(data.begin(), data.end()));
    storeAccessToken();
    tryPendingAction();
    authDidFinish(true);
}

void SXOAuthSharer::tokenAccessTicketDidFailWithError(const OAServiceTicket&,
                                                      const std::optional<platform::Error>& error) {
    alertAndFail("Access Error", error, "There was an error while sharing");
}

void SXOAuthSharer::storeAccessToken() {
    if (!accessToken_) return;
    SX::setAuthValueForKeyForSharer(accessToken_->key(), "accessKey", sharerId());
    SX::setAuthValueForKeyForSharer(accessToken_->secret(), "accessSecret", sharerId());
    if (accessToken_->sessionHandle() && !accessToken_->sessionHandle()->empty()) {
        SX::setAuthValueForKeyForSharer(accessToken_->sessionHandle(), "sessionHandle", sharerId());
    } else {
        // A handle of an earlier token must not ride along with this one.
        SX::removeAuthValueForKeyForSharer("sessionHandle", sharerId());
    }
}

bool SXOAuthSharer::restoreAccessToken() {
    consumer_ = OAConsumer(consumerKey_, secretKey_);
    if (accessToken_) return true;
    auto key = SX::getAuthValueForKeyForSharer("accessKey", sharerId());
    auto secret = SX::getAuthValueForKeyForSharer("accessSecret", sharerId());
    if (!key || !secret) return false;
    OAToken token(*key, *secret);
    token.setSessionHandle(SX::getAuthValueForKeyForSharer("sessionHandle", sharerId()));
    accessToken_ = std::move(token);
    return true;
}

void SXOAuthSharer::refreshToken() {
    setPendingAction(PendingActionResend);
    tokenAccess(true);
}

void SXOAuthSharer::tryPendingAction() {
    if (pendingAction() == PendingActionResend) {
        tryToSend();
    } else {
        SXSharer::tryPendingAction();
    }
}

void SXOAuthSharer::deleteStoredAccessToken() {
    for (const char* key : {"accessKey", "accessSecret", "sessionHandle"})
        SX::removeAuthValueForKeyForSharer(key, sharerId());
}

void SXOAuthSharer::logout() {
    deleteStoredAccessToken();
    accessToken_.reset();
    if (!authorizeURL_) return;
    auto storage = platform::HTTPCookieStorage::sharedHTTPCookieStorage();
    for (const auto& cookie : storage->cookiesForURL(*authorizeURL_)) storage->deleteCookie(*cookie);
}

}  // namespace clipora
