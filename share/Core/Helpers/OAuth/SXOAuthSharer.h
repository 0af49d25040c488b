#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/URL.h"
#include "share/Core/Helpers/OAuth/OAConsumer.h"
#include "share/Core/Helpers/OAuth/OAServiceTicket.h"
#include "share/Core/Helpers/OAuth/OASignatureProviding.h"
#include "share/Core/Helpers/OAuth/OAToken.h"
#include "share/Core/SXSharer.h"
#include "share/UI/SXOAuthViewDelegate.h"

namespace clipora {

class OAMutableURLRequest;

// The base of sharers whose service logs in with OAuth 1.0: request token,
// authorization in a web view, access token. The access token is kept in
// the keychain ("accessKey", "accessSecret", "sessionHandle" under the
// sharer id) and restored on the next share. Success is reported once,
// after the access token is stored; every failure ends the attempt with
// authDidFinish(false) after one alert. Subclasses set the four addresses
// and the consumer key and secret in init(). Main thread only.
class SXOAuthSharer : public SXSharer, public SXOAuthViewDelegate {
public:
    bool isAuthorized() override;
    void promptAuthorization() override;

    void tokenRequest();
    virtual void tokenRequestModifyRequest(const std::shared_ptr<OAMutableURLRequest>& request) { (void)request; }
    virtual void tokenRequestTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data);
    virtual void tokenRequestTicketDidFailWithError(const OAServiceTicket& ticket,
                                                    const std::optional<platform::Error>& error);

    virtual void tokenAuthorize();
    void tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(const std::shared_ptr<SXOAuthView>& view, bool success,
                                                                const std::optional<QueryParams>& queryParams,
                                                                const std::optional<platform::Error>& error) override;
    void tokenAuthorizeCancelledView(const std::shared_ptr<SXOAuthView>& view) override;
    std::optional<platform::URL> authorizeCallbackURL() const override { return authorizeCallbackURL_; }

    // The access token request to `url` signed with `token` (a service's own
    // kind of request; the base: signedRequest).
    virtual std::shared_ptr<OAMutableURLRequest> tokenAccessRequest(const platform::URL& url,
                                                                    const std::optional<OAToken>& token) const {
        return signedRequest(url, token);
    }
    void tokenAccess() { tokenAccess(false); }
    virtual void tokenAccess(bool refresh);
    virtual void tokenAccessModifyRequest(const std::shared_ptr<OAMutableURLRequest>& request) { (void)request; }
    virtual void tokenAccessTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data);
    virtual void tokenAccessTicketDidFailWithError(const OAServiceTicket& ticket,
                                                   const std::optional<platform::Error>& error);

    void storeAccessToken();
    bool restoreAccessToken();
    void refreshToken();
    void tryPendingAction() override;
    // Removes the three stored credentials of this sharer class.
    void deleteStoredAccessToken();
    // Forgets the token and the service's cookies (its web login).
    void logout() override;

    // A signed request to `url` with this sharer's consumer, token and
    // signing method (what subclasses send their API calls with).
    std::shared_ptr<OAMutableURLRequest> signedRequest(const platform::URL& url,
                                                       const std::optional<OAToken>& token) const;

    // --- Fields ---
    const std::string& consumerKey() const { return consumerKey_; }
    void setConsumerKey(std::string key) { consumerKey_ = std::move(key); }
    const std::string& secretKey() const { return secretKey_; }
    void setSecretKey(std::string secret) { secretKey_ = std::move(secret); }
    void setAuthorizeCallbackURL(std::optional<platform::URL> url) { authorizeCallbackURL_ = std::move(url); }
    const std::optional<platform::URL>& authorizeURL() const { return authorizeURL_; }
    void setAuthorizeURL(std::optional<platform::URL> url) { authorizeURL_ = std::move(url); }
    const std::optional<platform::URL>& accessURL() const { return accessURL_; }
    void setAccessURL(std::optional<platform::URL> url) { accessURL_ = std::move(url); }
    const std::optional<platform::URL>& requestURL() const { return requestURL_; }
    void setRequestURL(std::optional<platform::URL> url) { requestURL_ = std::move(url); }
    const std::optional<OAConsumer>& consumer() const { return consumer_; }
    const std::optional<OAToken>& requestToken() const { return requestToken_; }
    void setRequestToken(std::optional<OAToken> token) { requestToken_ = std::move(token); }
    const std::optional<OAToken>& accessToken() const { return accessToken_; }
    void setAccessToken(std::optional<OAToken> token) { accessToken_ = std::move(token); }
    const std::shared_ptr<OASignatureProviding>& signatureProvider() const { return signatureProvider_; }
    void setSignatureProvider(std::shared_ptr<OASignatureProviding> provider) {
        signatureProvider_ = std::move(provider);
    }
    const std::optional<QueryParams>& authorizeResponseQueryVars() const { return authorizeResponseQueryVars_; }
    void setAuthorizeResponseQueryVars(std::optional<QueryParams> vars) {
        authorizeResponseQueryVars_ = std::move(vars);
    }

private:
    void fetch(const std::shared_ptr<OAMutableURLRequest>& request, bool access);
    void alertAndFail(const char* title, const std::optional<platform::Error>& error, const char* fallback);

    std::string consumerKey_;
    std::string secretKey_;
    std::optional<platform::URL> authorizeCallbackURL_;
    std::optional<platform::URL> authorizeURL_;
    std::optional<platform::URL> accessURL_;
    std::optional<platform::URL> requestURL_;
    std::optional<OAConsumer> consumer_;
    std::optional<OAToken> requestToken_;
    std::optional<OAToken> accessToken_;
    std::shared_ptr<OASignatureProviding> signatureProvider_;
    std::optional<QueryParams> authorizeResponseQueryVars_;
};

}  // namespace clipora
