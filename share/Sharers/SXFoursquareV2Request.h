#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/system/Location.h"
#include "share/Core/SXRequest.h"

namespace clipora {

class SXFoursquareV2Venue;

// One request of the check-in service's API (user profile, venue search,
// check-in) with its JSON reply and the error its "meta" block makes.
class SXFoursquareV2Request : public SXRequest {
public:
    static constexpr const char* kErrorDomain = "SXFoursquareV2ErrorDomain";
    static constexpr const char* kErrorTypeKey = "SXFoursquareV2ErrorTypeKey";
    static constexpr const char* kMetaKey = "SXFoursquareV2MetaKey";
    static constexpr const char* kAPIVersion = "20110927";
    // Configuration key of the API's base address (".../v2").
    static constexpr const char* kAPIBaseKey = "foursquareV2APIBase";
    static constexpr const char* kDefaultAPIBase = "https://api.foursquare.com/v2";

    static std::string APIBase();

    static std::shared_ptr<SXFoursquareV2Request> requestProfileForUserIdDelegateIsFinishedSelectorAccessTokenAutostart(
        const std::string& userId, std::weak_ptr<void> delegate, FinishedSelector isFinishedSelector,
        const std::string& accessToken, bool autostart);
    static std::shared_ptr<SXFoursquareV2Request>
    requestVenuesSearchLocationQueryDelegateIsFinishedSelectorAccessTokenAutostart(
        const std::optional<platform::Location>& location, const std::optional<std::string>& query,
        std::weak_ptr<void> delegate, FinishedSelector isFinishedSelector, const std::string& accessToken,
        bool autostart);
    // A POST with an empty body.
    static std::shared_ptr<SXFoursquareV2Request>
    requestCheckinLocationVenueMessageDelegateIsFinishedSelectorAccessTokenAutostart(
        const std::optional<platform::Location>& location, const std::shared_ptr<SXFoursquareV2Venue>& venue,
        const std::optional<std::string>& message, std::weak_ptr<void> delegate, FinishedSelector isFinishedSelector,
        const std::string& accessToken, bool autostart);

    // The reply when it is a JSON object (parsed once), else none.
    const std::optional<platform::Value>& getFoursquareResult();
    const platform::Value* getFoursquareMeta();
    const platform::Value* getFoursquareResponse();
    // None when the request succeeded; else the error of the meta block.
    const std::optional<platform::Error>& getFoursquareError();

    // Code = "meta"."code" (0 without one); the description asks for a new
    // sign-in on 401.
    static platform::Error errorWithFoursquareMeta(const platform::Value* meta);
    // Whether the error is the service's refusal of the token.
    static bool getFoursquareRelogin(const std::optional<platform::Error>& error);

private:
    static std::shared_ptr<SXFoursquareV2Request> make(const std::string& url, std::optional<std::string> body,
                                                       std::weak_ptr<void> delegate, FinishedSelector selector,
                                                       const std::string& method, bool autostart);

    bool parsed_ = false;
    std::optional<platform::Value> foursquareResult_;
    bool errorMade_ = false;
    std::optional<platform::Error> foursquareError_;
};

}  // namespace clipora
