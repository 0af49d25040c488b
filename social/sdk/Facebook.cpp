#include "social/sdk/Facebook.h"

#include <algorithm>
#include <utility>

#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/cfnetwork/HTTPCookieStorage.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "social/json/SNJsonParser.h"
#include "social/sdk/FBDialog.h"
#include "social/sdk/FBFrictionlessRequestSettings.h"
#include "social/sdk/FBHosts.h"
#include "social/sdk/FBLoginDialog.h"
#include "social/sdk/FBRequest.h"

namespace clipora {

using platform::Date;
using platform::Error;
using platform::Text;
using platform::URL;
using platform::Value;

namespace {

// The context under which the session observes its requests' state.
const char kFinishedContext = 0;

// A parameter's text: texts as they are, anything else in its text form.
std::string textOf(const Value& value) { return value.string() ? *value.string() : value.description(); }

}  // namespace

Facebook::Facebook(std::string appId, std::optional<std::string> urlSchemeSuffix,
                   std::weak_ptr<FBSessionDelegate> sessionDelegate)
    : lastAccessTokenUpdate_(Date::distantPast()),
      frictionlessRequestSettings_(std::make_shared<FBFrictionlessRequestSettings>()) {
    setAppId(std::move(appId));
    setSessionDelegate(std::move(sessionDelegate));
    setUrlSchemeSuffix(std::move(urlSchemeSuffix));
}

Facebook::~Facebook() {
    for (const auto& request : requests_) request->removeStateObserver(this);
}

std::shared_ptr<Facebook> Facebook::initWithAppIdAndDelegate(std::string appId,
                                                             std::weak_ptr<FBSessionDelegate> sessionDelegate) {
    return initWithAppIdUrlSchemeSuffixAndDelegate(std::move(appId), std::nullopt, std::move(sessionDelegate));
}

std::shared_ptr<Facebook> Facebook::initWithAppIdUrlSchemeSuffixAndDelegate(
    std::string appId, std::optional<std::string> urlSchemeSuffix, std::weak_ptr<FBSessionDelegate> sessionDelegate) {
    return std::make_shared<Facebook>(std::move(appId), std::move(urlSchemeSuffix), std::move(sessionDelegate));
}

// --- Authorization -------------------------------------------------------------

void Facebook::authorize(std::vector<std::string> permissions) {
    setPermissions(std::move(permissions));
    authorizeWithFBAppAuthSafariAuth(true, true);
}

void Facebook::authorizeWithFBAppAuthSafariAuth(bool tryFBAppAuth, bool trySafariAuth) {
    Value::Dictionary params{{"client_id", Value(appId_)},
                             {"type", Value("user_agent")},
                             {"redirect_uri", Value(kRedirectURL)},
                             {"display", Value("touch")},
                             {"sdk", Value(kSDK)}};
    std::string loginDialogURL = FBHosts::current().dialogBaseURL() + "oauth";
    if (!permissions_.empty()) params["scope"] = Value(Text::join(permissions_, ","));
    if (hasSuffix()) params["local_client_id"] = Value(*urlSchemeSuffix_);

    auto app = platform::Application::sharedApplication();
    auto device = platform::Device::currentDevice();
    bool didOpenOtherApp = false;
    if (device->answersMultitaskingSupported() && device->isMultitaskingSupported()) {
        if (tryFBAppAuth) {
            std::string scheme = hasSuffix() ? "fbauth2" : "fbauth";
            std::string urlText = FBRequest::serializeURLParams(scheme + "://authorize", params);
            if (auto url = URL::fromString(urlText)) didOpenOtherApp = app->openURL(*url);
        }
        if (trySafariAuth && !didOpenOtherApp) {
            params["redirect_uri"] = Value(getOwnBaseUrl());
            std::string urlText = FBRequest::serializeURLParams(loginDialogURL, params);
            if (auto url = URL::fromString(urlText)) didOpenOtherApp = app->openURL(*url);
        }
    }
    if (didOpenOtherApp) return;  // the outcome comes back through handleOpenURL

    auto self = shared_from_this();
    loginDialog_ = std::make_shared<FBLoginDialog>(loginDialogURL, params, std::weak_ptr<FBLoginDialogDelegate>(self));
    loginDialog_->show();
}

std::string Facebook::getOwnBaseUrl() const {
    return Text::format("fb%@%@://authorize", appId_, hasSuffix() ? *urlSchemeSuffix_ : std::string());
}

bool Facebook::handleOpenURL(const URL& url) {
    if (!Text::hasPrefix(url.absoluteString(), getOwnBaseUrl())) return false;
    auto self = shared_from_this();
    const std::optional<std::string>& part = url.fragment() ? url.fragment() : url.query();
    Value::Dictionary params = parseURLParams(part.value_or(std::string()));

    auto text = [&params](const char* key) -> std::optional<std::string> {
        auto found = params.find(key);
        if (found == params.end()) return std::nullopt;
        return textOf(found->second);
    };

    if (auto token = text("access_token")) {
        std::optional<Date> expiry = FBLoginDialog::expirationDateForLifetime(text("expires_in"));
        if (!expiry) {
            platform::Log::write("Login refused: the token's lifetime is not a number of seconds");
            fbDialogNotLogin(false);
            return true;
        }
        fbDialogLoginExpirationDate(*token, *expiry);
        return true;
    }

    std::optional<std::string> error = text("error");
    if (error == "service_disabled_use_browser") {
        authorizeWithFBAppAuthSafariAuth(false, true);
        return true;
    }
    if (error == "service_disabled") {
        authorizeWithFBAppAuthSafariAuth(false, false);
        return true;
    }
    bool hasErrorCode = params.count("error_code") != 0;
    bool cancelled = !hasErrorCode && (!error || *error == "access_denied");
    fbDialogNotLogin(cancelled);
    return true;
}

Value::Dictionary Facebook::parseURLParams(std::string_view query) {
    Value::Dictionary params;
    for (const auto& pair : Text::split(query, "&")) {
        auto parts = Text::splitAtFirst(pair, "=");
        if (!parts) continue;
        std::optional<std::string> value = Text::percentUnescape(parts->second);
        params[parts->first] = Value(value ? std::move(*value) : parts->second);
    }
    return params;
}

bool Facebook::isSessionValid() const { return accessToken_ && expirationDate_ && *expirationDate_ > Date::now(); }

void Facebook::fbDialogLoginExpirationDate(const std::string& accessToken, Date expirationDate) {
    auto self = shared_from_this();
    setAccessToken(accessToken);
    setExpirationDate(expirationDate);
    lastAccessTokenUpdate_ = Date::now();
    reloadFrictionlessRecipientCache();
    if (auto d = sessionDelegate()) d->fbDidLogin();
}

void Facebook::fbDialogNotLogin(bool cancelled) {
    auto self = shared_from_this();
    if (auto d = sessionDelegate()) d->fbDidNotLogin(cancelled);
}

// --- Token extension ---------------------------------------------------------

void Facebook::extendAccessToken() {
    if (isExtendingAccessToken_) return;
    isExtendingAccessToken_ = true;
    auto self = shared_from_this();
    requestWithParamsAndDelegate({{"method", Value(kExtendTokenMethod)}}, std::weak_ptr<FBRequestDelegate>(self));
}

bool Facebook::shouldExtendAccessToken() const {
    if (!isSessionValid()) return false;
    return Date::wholeHoursBetween(lastAccessTokenUpdate_, Date::now()) > 23;
}

void Facebook::extendAccessTokenIfNeeded() {
    if (shouldExtendAccessToken()) extendAccessToken();
}

void Facebook::requestDidFailWithError(const std::shared_ptr<FBRequest>&, const Error&) {
    isExtendingAccessToken_ = false;
}

void Facebook::requestDidLoad(const std::shared_ptr<FBRequest>&, const Value& result) {
    isExtendingAccessToken_ = false;
    // A reply of any other shape is a failed extension: the old token stays
    // and the next request that finds it old tries again.
    const Value* token = result.find("access_token");
    const Value* expiresAt = result.find("expires_at");
    if (!token || !token->isString() || token->string()->empty() || !expiresAt) return;
    std::optional<double> seconds;
    if (expiresAt->isInteger() || expiresAt->isReal()) {
        seconds = expiresAt->doubleValue();
    } else if (const std::string* text = expiresAt->string()) {
        if (auto whole = Text::parseInt64(*text)) seconds = static_cast<double>(*whole);
    }
    if (!seconds) return;

    auto self = shared_from_this();
    setAccessToken(*token->string());
    Date expiry = *seconds == 0 ? Date::distantFuture() : Date::fromTimeIntervalSince1970(*seconds);
    setExpirationDate(expiry);
    lastAccessTokenUpdate_ = Date::now();
    if (auto d = sessionDelegate()) d->fbDidExtendTokenExpiresAt(*accessToken_, expiry);
}

// --- Logout ----------------------------------------------------------------------

void Facebook::deleteLoginCookies() {
    // Every cookie that could sign a browser in on the login host: those
    // sent to it (its own, its parent domain's) and those of the family of
    // hosts under its parent domain, secure or not, whatever their path.
    std::string host = FBHosts::current().loginHostName();
    if (host.empty()) return;
    // The parent domain, unless that would be a top-level domain or the
    // host is an address literal.
    bool literal = host.find(':') != std::string::npos || host.find_first_not_of("0123456789.") == std::string::npos;
    std::string family = host;
    if (auto dot = host.find('.'); !literal && dot != std::string::npos && host.find('.', dot + 1) != std::string::npos)
        family = host.substr(dot + 1);
    auto storage = platform::HTTPCookieStorage::sharedHTTPCookieStorage();
    std::vector<std::shared_ptr<platform::HTTPCookie>> doomed;
    for (const auto& cookie : storage->cookies()) {
        if (cookie->domainMatches(host)) doomed.push_back(cookie);
    }
    for (const auto& cookie : storage->cookiesForDomain(family)) doomed.push_back(cookie);
    for (const auto& cookie : doomed) storage->deleteCookie(*cookie);
}

void Facebook::invalidateSession() {
    setAccessToken(std::nullopt);
    setExpirationDate(std::nullopt);
    deleteLoginCookies();
    frictionlessRequestSettings_->updateRecipientCacheWithRecipients(nullptr);
}

void Facebook::logout() {
    auto self = shared_from_this();
    invalidateSession();
    if (auto d = sessionDelegate()) d->fbDidLogout();
}

void Facebook::logout(const std::shared_ptr<FBSessionDelegate>& delegate) {
    auto self = shared_from_this();
    logout();
    if (delegate && delegate != sessionDelegate()) delegate->fbDidLogout();
}

// --- Requests --------------------------------------------------------------------

std::shared_ptr<FBRequest> Facebook::requestWithParamsAndDelegate(Value::Dictionary params,
                                                                  std::weak_ptr<FBRequestDelegate> delegate) {
    auto method = params.find("method");
    if (method == params.end()) {
        platform::Log::write("API Method must be specified");
        return nullptr;
    }
    std::string methodName = textOf(method->second);
    params.erase(method);
    return requestWithMethodNameAndParamsAndHttpMethodAndDelegate(methodName, std::move(params), "GET",
                                                                  std::move(delegate));
}

std::shared_ptr<FBRequest> Facebook::requestWithMethodNameAndParamsAndHttpMethodAndDelegate(
    const std::string& methodName, Value::Dictionary params, const std::string& httpMethod,
    std::weak_ptr<FBRequestDelegate> delegate) {
    return openUrlParamsHttpMethodDelegate(FBHosts::current().restBaseURL() + methodName, std::move(params), httpMethod,
                                           std::move(delegate));
}

std::shared_ptr<FBRequest> Facebook::requestWithGraphPathAndDelegate(const std::string& graphPath,
                                                                     std::weak_ptr<FBRequestDelegate> delegate) {
    return requestWithGraphPathAndParamsAndHttpMethodAndDelegate(graphPath, {}, "GET", std::move(delegate));
}

std::shared_ptr<FBRequest> Facebook::requestWithGraphPathAndParamsAndDelegate(
    const std::string& graphPath, Value::Dictionary params, std::weak_ptr<FBRequestDelegate> delegate) {
    return requestWithGraphPathAndParamsAndHttpMethodAndDelegate(graphPath, std::move(params), "GET",
                                                                 std::move(delegate));
}

std::shared_ptr<FBRequest> Facebook::requestWithGraphPathAndParamsAndHttpMethodAndDelegate(
    const std::string& graphPath, Value::Dictionary params, const std::string& httpMethod,
    std::weak_ptr<FBRequestDelegate> delegate) {
    return openUrlParamsHttpMethodDelegate(FBHosts::current().graphBaseURL() + graphPath, std::move(params), httpMethod,
                                           std::move(delegate));
}

std::shared_ptr<FBRequest> Facebook::openUrlParamsHttpMethodDelegate(const std::string& url, Value::Dictionary params,
                                                                     const std::string& httpMethod,
                                                                     std::weak_ptr<FBRequestDelegate> delegate) {
    auto self = shared_from_this();
    params["format"] = Value("json");
    params["sdk"] = Value(kSDK);
    params["sdk_version"] = Value(kSDKVersion);
    if (isSessionValid()) params["access_token"] = Value(*accessToken_);
    extendAccessTokenIfNeeded();

    auto request = FBRequest::getRequestWithParamsHttpMethodDelegateRequestURL(std::move(params), httpMethod,
                                                                               std::move(delegate), url);
    requests_.insert(request);
    request->addStateObserver(std::weak_ptr<FBRequestStateObserver>(self), &kFinishedContext);
    request->connect();
    return request;
}

void Facebook::observeValueForKeyPathOfObjectChangeContext(const std::string& keyPath,
                                                           const std::shared_ptr<FBRequest>& request,
                                                           const void* context) {
    if (context != &kFinishedContext || keyPath != "state" || !request) return;
    if (request->state() != FBRequest::StateComplete) return;
    auto self = shared_from_this();
    auto keep = request;
    if (request->sessionDidExpire()) {
        invalidateSession();
        if (auto d = sessionDelegate()) d->fbSessionInvalidated();
    }
    keep->removeStateObserver(this);
    requests_.erase(keep);
}

// --- Dialogs ---------------------------------------------------------------------

void Facebook::dialogAndDelegate(const std::string& action, std::weak_ptr<FBDialogDelegate> delegate) {
    dialogAndParamsAndDelegate(action, {}, std::move(delegate));
}

void Facebook::dialogAndParamsAndDelegate(const std::string& action, Value::Dictionary params,
                                          std::weak_ptr<FBDialogDelegate> delegate) {
    auto self = shared_from_this();
    fbDialog_.reset();
    std::string dialogURL = FBHosts::current().dialogBaseURL() + action;
    params["display"] = Value("touch");
    params["sdk"] = Value(kSDKVersion);
    params["redirect_uri"] = Value(kRedirectURL);

    if (action == "oauth") {
        params["type"] = Value("user_agent");
        fbDialog_ =
            std::make_shared<FBLoginDialog>(dialogURL, std::move(params), std::weak_ptr<FBLoginDialogDelegate>(self));
    } else {
        params["app_id"] = Value(appId_);
        if (isSessionValid()) {
            params["access_token"] = Value(Text::percentUnescape(*accessToken_).value_or(*accessToken_));
            extendAccessTokenIfNeeded();
        }
        bool invisible = false;
        if (action == "apprequests" && isFrictionlessRequestsEnabled()) {
            params["frictionless"] = Value("1");
            params["get_frictionless_recipients"] = Value("1");
            if (auto to = params.find("to"); to != params.end()) {
                Value::Array fbids;
                if (const std::string* text = to->second.string()) {
                    SNJsonParser parser;
                    std::optional<Value> parsed = parser.objectWithString(*text);
                    if (parsed && parsed->isArray()) {
                        fbids = *parsed->array();
                    } else {
                        for (auto& piece : Text::split(*text, ",")) fbids.push_back(Value(std::move(piece)));
                    }
                } else if (const Value::Array* list = to->second.array()) {
                    fbids = *list;
                } else {
                    fbids.push_back(to->second);
                }
                // A list the page cannot have come up with (records, nulls)
                // shows the dialog rather than stopping the program.
                bool wellFormed = std::all_of(fbids.begin(), fbids.end(),
                                              [](const Value& id) { return id.isString() || id.isNumber(); });
                invisible = wellFormed && isFrictionlessEnabledForRecipients(fbids);
            }
        }
        fbDialog_ = std::make_shared<FBDialog>(dialogURL, std::move(params), invisible, frictionlessRequestSettings_,
                                               std::move(delegate));
    }
    fbDialog_->show();
}

// --- Frictionless requests ---------------------------------------------------

bool Facebook::isFrictionlessRequestsEnabled() const { return frictionlessRequestSettings_->enabled(); }

void Facebook::enableFrictionlessRequests() { frictionlessRequestSettings_->enableWithFacebook(shared_from_this()); }

void Facebook::reloadFrictionlessRecipientCache() {
    frictionlessRequestSettings_->reloadRecipientCacheWithFacebook(shared_from_this());
}

bool Facebook::isFrictionlessEnabledForRecipient(std::string_view fbid) const {
    return frictionlessRequestSettings_->isFrictionlessEnabledForRecipient(fbid);
}

bool Facebook::isFrictionlessEnabledForRecipients(const Value::Array& fbids) const {
    return frictionlessRequestSettings_->isFrictionlessEnabledForRecipients(fbids);
}

}  // namespace clipora
