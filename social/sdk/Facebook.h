#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "social/sdk/FBDialogDelegate.h"
#include "social/sdk/FBLoginDialogDelegate.h"
#include "social/sdk/FBRequestDelegate.h"
#include "social/sdk/FBRequestStateObserver.h"
#include "social/sdk/FBSessionDelegate.h"

namespace clipora {

class FBDialog;
class FBFrictionlessRequestSettings;
class FBLoginDialog;
class FBRequest;

// The session with the social network: application id, URL-scheme suffix,
// permissions, the access token with its expiry, and the requests under way.
// It signs the user in (the network's app, the browser, or the in-app login
// dialog), reads the token from the URL the network returns with, extends
// the token once a day, logs out, builds every REST and graph request and
// opens the web dialogs. It stores nothing: its session delegate keeps the
// token. One instance lives for the process; made with std::make_shared (or
// the init functions). Main thread only.
class Facebook : public FBLoginDialogDelegate,
                 public FBRequestDelegate,
                 public FBRequestStateObserver,
                 public std::enable_shared_from_this<Facebook> {
public:
    static constexpr const char* kRedirectURL = "fbconnect://success";
    static constexpr const char* kSDK = "ios";
    static constexpr const char* kSDKVersion = "2";
    static constexpr const char* kExtendTokenMethod = "auth.extendSSOAccessToken";

    Facebook(std::string appId, std::optional<std::string> urlSchemeSuffix,
             std::weak_ptr<FBSessionDelegate> sessionDelegate);
    ~Facebook() override;
    Facebook(const Facebook&) = delete;
    Facebook& operator=(const Facebook&) = delete;

    static std::shared_ptr<Facebook> initWithAppIdAndDelegate(std::string appId,
                                                              std::weak_ptr<FBSessionDelegate> sessionDelegate);
    static std::shared_ptr<Facebook> initWithAppIdUrlSchemeSuffixAndDelegate(
        std::string appId, std::optional<std::string> urlSchemeSuffix,
        std::weak_ptr<FBSessionDelegate> sessionDelegate);

    // --- Authorization ---
    // Keeps the permissions, then tries the network's app, then the browser,
    // then the in-app dialog.
    void authorize(std::vector<std::string> permissions);
    void authorizeWithFBAppAuthSafariAuth(bool tryFBAppAuth, bool trySafariAuth);
    // "fb" + application id + suffix + "://authorize".
    std::string getOwnBaseUrl() const;
    // True when the URL was the session's own login return, whatever came of
    // it; false (and nothing changes) otherwise.
    bool handleOpenURL(const platform::URL& url);
    // "a=1&b=x%20y" -> {a: "1", b: "x y"}: split at "&", each piece at its
    // first "=" (pieces without one are skipped), values unescaped.
    static platform::Value::Dictionary parseURLParams(std::string_view query);
    // Token and expiry both set, and the expiry later than now.
    bool isSessionValid() const;

    // FBLoginDialogDelegate
    void fbDialogLoginExpirationDate(const std::string& accessToken, platform::Date expirationDate) override;
    void fbDialogNotLogin(bool cancelled) override;

    // --- Token extension ---
    void extendAccessToken();
    // Valid, and 24 or more whole hours since the token was received.
    bool shouldExtendAccessToken() const;
    void extendAccessTokenIfNeeded();

    // FBRequestDelegate (the extension request only)
    void requestDidFailWithError(const std::shared_ptr<FBRequest>& request, const platform::Error& error) override;
    void requestDidLoad(const std::shared_ptr<FBRequest>& request, const platform::Value& result) override;

    // --- Logout ---
    // Forgets the token, deletes the login host's cookies (so the next login
    // page does not sign the same user in again) and empties the
    // frictionless recipients.
    void invalidateSession();
    void logout();
    // Also tells `delegate` (when it is not the session delegate).
    void logout(const std::shared_ptr<FBSessionDelegate>& delegate);

    // --- Requests (each already connecting) ---
    // The parameters must hold "method"; without it the result is null.
    std::shared_ptr<FBRequest> requestWithParamsAndDelegate(platform::Value::Dictionary params,
                                                            std::weak_ptr<FBRequestDelegate> delegate);
    std::shared_ptr<FBRequest> requestWithMethodNameAndParamsAndHttpMethodAndDelegate(
        const std::string& methodName, platform::Value::Dictionary params, const std::string& httpMethod,
        std::weak_ptr<FBRequestDelegate> delegate);
    std::shared_ptr<FBRequest> requestWithGraphPathAndDelegate(const std::string& graphPath,
                                                               std::weak_ptr<FBRequestDelegate> delegate);
    std::shared_ptr<FBRequest> requestWithGraphPathAndParamsAndDelegate(const std::string& graphPath,
                                                                        platform::Value::Dictionary params,
                                                                        std::weak_ptr<FBRequestDelegate> delegate);
    std::shared_ptr<FBRequest> requestWithGraphPathAndParamsAndHttpMethodAndDelegate(
        const std::string& graphPath, platform::Value::Dictionary params, const std::string& httpMethod,
        std::weak_ptr<FBRequestDelegate> delegate);
    std::shared_ptr<FBRequest> openUrlParamsHttpMethodDelegate(const std::string& url,
                                                               platform::Value::Dictionary params,
                                                               const std::string& httpMethod,
                                                               std::weak_ptr<FBRequestDelegate> delegate);

    // FBRequestStateObserver: lets a request go once it is complete, and
    // invalidates the session when the network refused its token.
    void observeValueForKeyPathOfObjectChangeContext(const std::string& keyPath,
                                                     const std::shared_ptr<FBRequest>& request,
                                                     const void* context) override;

    // --- Dialogs ---
    void dialogAndDelegate(const std::string& action, std::weak_ptr<FBDialogDelegate> delegate);
    void dialogAndParamsAndDelegate(const std::string& action, platform::Value::Dictionary params,
                                    std::weak_ptr<FBDialogDelegate> delegate);

    // --- Frictionless requests ---
    bool isFrictionlessRequestsEnabled() const;
    void enableFrictionlessRequests();
    void reloadFrictionlessRecipientCache();
    bool isFrictionlessEnabledForRecipient(std::string_view fbid) const;
    bool isFrictionlessEnabledForRecipients(const platform::Value::Array& fbids) const;

    // --- Fields ---
    const std::optional<std::string>& accessToken() const { return accessToken_; }
    void setAccessToken(std::optional<std::string> token) { accessToken_ = std::move(token); }
    const std::optional<platform::Date>& expirationDate() const { return expirationDate_; }
    void setExpirationDate(std::optional<platform::Date> date) { expirationDate_ = date; }
    std::shared_ptr<FBSessionDelegate> sessionDelegate() const { return sessionDelegate_.lock(); }
    void setSessionDelegate(std::weak_ptr<FBSessionDelegate> delegate) { sessionDelegate_ = std::move(delegate); }
    const std::set<std::shared_ptr<FBRequest>>& requests() const { return requests_; }
    const std::shared_ptr<FBLoginDialog>& loginDialog() const { return loginDialog_; }
    const std::shared_ptr<FBDialog>& fbDialog() const { return fbDialog_; }
    const std::string& appId() const { return appId_; }
    void setAppId(std::string appId) { appId_ = std::move(appId); }
    const std::optional<std::string>& urlSchemeSuffix() const { return urlSchemeSuffix_; }
    void setUrlSchemeSuffix(std::optional<std::string> suffix) { urlSchemeSuffix_ = std::move(suffix); }
    const std::vector<std::string>& permissions() const { return permissions_; }
    void setPermissions(std::vector<std::string> permissions) { permissions_ = std::move(permissions); }
    bool isExtendingAccessToken() const { return isExtendingAccessToken_; }
    platform::Date lastAccessTokenUpdate() const { return lastAccessTokenUpdate_; }
    const std::shared_ptr<FBFrictionlessRequestSettings>& frictionlessRequestSettings() const {
        return frictionlessRequestSettings_;
    }

private:
    bool hasSuffix() const { return urlSchemeSuffix_ && !urlSchemeSuffix_->empty(); }
    void deleteLoginCookies();

    std::optional<std::string> accessToken_;
    std::optional<platform::Date> expirationDate_;
    std::weak_ptr<FBSessionDelegate> sessionDelegate_;
    std::set<std::shared_ptr<FBRequest>> requests_;
    std::shared_ptr<FBLoginDialog> loginDialog_;
    std::shared_ptr<FBDialog> fbDialog_;
    std::string appId_;
    std::optional<std::string> urlSchemeSuffix_;
    std::vector<std::string> permissions_;
    bool isExtendingAccessToken_ = false;
    platform::Date lastAccessTokenUpdate_;
    std::shared_ptr<FBFrictionlessRequestSettings> frictionlessRequestSettings_;
};

}  // namespace clipora
