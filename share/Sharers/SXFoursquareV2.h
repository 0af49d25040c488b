#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/system/Location.h"
#include "share/Core/SXSharer.h"
#include "share/UI/SXFormControllerLargeTextFieldDelegate.h"
#include "share/UI/SXOAuthViewDelegate.h"

namespace clipora {

class SXFoursquareV2Request;
class SXFoursquareV2Venue;

// Shares a text as a check-in at a nearby place of the check-in service:
// a web sign-in whose token is kept in the keychain, a screen of places
// found from the device's location, a screen for the message, then the
// check-in.
class SXFoursquareV2 : public SXSharer, public SXOAuthViewDelegate, public SXFormControllerLargeTextFieldDelegate {
public:
    static constexpr const char* kAccessTokenKey = "accessToken";
    // Configuration key of the authorization page.
    static constexpr const char* kAuthorizeURLKey = "foursquareV2AuthorizeURL";
    static constexpr const char* kDefaultAuthorizeURL = "https://foursquare.com/oauth2/authenticate";

    void init() override;

    std::string sharerTitle() const override { return "Foursquare"; }
    std::string sharerId() const override { return "SXFoursquareV2"; }
    bool canShareText() const override { return true; }
    bool canShareURL() const override { return false; }
    bool canShareImage() const override { return false; }
    bool canShareOffline() const override { return false; }
    bool shouldAutoShare() const override { return false; }
    // Location services on, and the application allowed (or not asked yet).
    bool canShare() const override;

    bool isAuthorized() override { return restoreAccessToken(); }
    bool restoreAccessToken();
    void storeAccessToken(const std::string& token);
    void deleteStoredAccessToken();
    static std::string authorizeAddress();
    void authorizationFormShow() override;
    void logout() override;

    void show() override;
    void showFoursquareV2VenuesForm();
    void showFoursquareV2CheckInForm();
    void startCheckInRequest();
    // The message screen's text becomes the item's; then the check-in.
    void sendForm(const std::shared_ptr<SXFormControllerLargeTextField>& form) override;
    void sendDidCancel() override { SXSharer::sendDidCancel(); }
    void finishCheckInRequest(const std::shared_ptr<SXFoursquareV2Request>& request);

    void tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(const std::shared_ptr<SXOAuthView>& view, bool success,
                                                                const std::optional<QueryParams>& queryParams,
                                                                const std::optional<platform::Error>& error) override;
    void tokenAuthorizeCancelledView(const std::shared_ptr<SXOAuthView>& view) override;
    std::optional<platform::URL> authorizeCallbackURL() const override { return authorizeCallbackURL_; }

    const std::string& clientId() const { return clientId_; }
    const std::optional<std::string>& accessToken() const { return accessToken_; }
    const std::optional<platform::Location>& location() const { return location_; }
    void setLocation(std::optional<platform::Location> location) { location_ = std::move(location); }
    const std::shared_ptr<SXFoursquareV2Venue>& venue() const { return venue_; }
    void setVenue(std::shared_ptr<SXFoursquareV2Venue> venue) { venue_ = std::move(venue); }

private:
    std::string clientId_;
    std::optional<platform::URL> authorizeCallbackURL_;
    std::optional<std::string> accessToken_;
    std::optional<platform::Location> location_;
    std::shared_ptr<SXFoursquareV2Venue> venue_;
};

}  // namespace clipora
