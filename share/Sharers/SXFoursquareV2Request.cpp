#include "share/Sharers/SXFoursquareV2Request.h"

#include "platform/foundation/Text.h"
#include "share/Core/SXConfiguration.h"
#include "share/Core/SXStrings.h"
#include "share/Sharers/SXFoursquareV2Venue.h"
#include "social/json/SNJSON.h"

namespace clipora {

using platform::Text;
using platform::Value;

namespace {

std::string locationArguments(const std::optional<platform::Location>& location) {
    const platform::Location fix = location.value_or(platform::Location{0, 0, 0, 0, 0, {}});
    return Text::format("&ll=%.5lf,%.5lf&llAcc=%.2lf&alt=%.2lf&altAcc=%.2lf", fix.latitude, fix.longitude,
                        fix.horizontalAccuracy, fix.altitude, fix.verticalAccuracy);
}

std::string tokenAndVersion(const std::string& accessToken) {
    return "oauth_token=" + Text::percentEscape(accessToken) + "&v=" + SXFoursquareV2Request::kAPIVersion;
}

}  // namespace

std::string SXFoursquareV2Request::APIBase() {
    auto configured = SXConfiguration::stringValue(kAPIBaseKey);
    return configured.empty() ? std::string(kDefaultAPIBase) : configured;
}

std::shared_ptr<SXFoursquareV2Request> SXFoursquareV2Request::make(const std::string& url,
                                                                   std::optional<std::string> body,
                                                                   std::weak_ptr<void> delegate,
                                                                   FinishedSelector selector, const std::string& method,
                                                                   bool autostart) {
    auto request = std::make_shared<SXFoursquareV2Request>();
    request->setURL(platform::URL::fromString(url));
    request->setParams(std::move(body));
    request->setDelegate(std::move(delegate));
    request->setIsFinishedSelector(std::move(selector));
    request->setMethod(method);
    if (autostart) request->start();
    return request;
}

std::shared_ptr<SXFoursquareV2Request>
SXFoursquareV2Request::requestProfileForUserIdDelegateIsFinishedSelectorAccessTokenAutostart(
    const std::string& userId, std::weak_ptr<void> delegate, FinishedSelector isFinishedSelector,
    const std::string& accessToken, bool autostart) {
    return make(APIBase() + "/users/" + Text::percentEscape(userId) + "?" + tokenAndVersion(accessToken), std::nullopt,
                std::move(delegate), std::move(isFinishedSelector), "GET", autostart);
}

std::shared_ptr<SXFoursquareV2Request>
SXFoursquareV2Request::requestVenuesSearchLocationQueryDelegateIsFinishedSelectorAccessTokenAutostart(
    const std::optional<platform::Location>& location, const std::optional<std::string>& query,
    std::weak_ptr<void> delegate, FinishedSelector isFinishedSelector, const std::string& accessToken, bool autostart) {
    std::string url = APIBase() + "/venues/search?" + tokenAndVersion(accessToken) + locationArguments(location);
    if (query) url += "&query=" + Text::percentEscape(*query);
    return make(url, std::nullopt, std::move(delegate), std::move(isFinishedSelector), "GET", autostart);
}

std::shared_ptr<SXFoursquareV2Request>
SXFoursquareV2Request::requestCheckinLocationVenueMessageDelegateIsFinishedSelectorAccessTokenAutostart(
    const std::optional<platform::Location>& location, const std::shared_ptr<SXFoursquareV2Venue>& venue,
    const std::optional<std::string>& message, std::weak_ptr<void> delegate, FinishedSelector isFinishedSelector,
    const std::string& accessToken, bool autostart) {
    std::string url = APIBase() + "/checkins/add?" + tokenAndVersion(accessToken) +
                      "&venueId=" + Text::percentEscape(venue && venue->venueId ? *venue->venueId : std::string()) +
                      locationArguments(location);
    if (message && !message->empty()) url += "&shout=" + Text::percentEscape(*message);
    // An empty body, not none: the check-in must go out as a POST.
    return make(url, std::string(), std::move(delegate), std::move(isFinishedSelector), "POST", autostart);
}

const std::optional<Value>& SXFoursquareV2Request::getFoursquareResult() {
    if (!parsed_) {
        parsed_ = true;
        SNJSON parser;
        auto value = parser.objectWithString(getResult());
        if (value && value->isDictionary()) foursquareResult_ = std::move(value);
    }
    return foursquareResult_;
}

const Value* SXFoursquareV2Request::getFoursquareMeta() {
    const auto& result = getFoursquareResult();
    return result ? result->find("meta") : nullptr;
}

const Value* SXFoursquareV2Request::getFoursquareResponse() {
    const auto& result = getFoursquareResult();
    return result ? result->find("response") : nullptr;
}

const std::optional<platform::Error>& SXFoursquareV2Request::getFoursquareError() {
    if (!success() && !errorMade_) {
        errorMade_ = true;
        foursquareError_ = errorWithFoursquareMeta(getFoursquareMeta());
    }
    return foursquareError_;
}

platform::Error SXFoursquareV2Request::errorWithFoursquareMeta(const Value* meta) {
    const Value* code = meta ? meta->find("code") : nullptr;
    const std::int64_t number = !code              ? 0
                                : code->string()   ? Text::longLongValue(*code->string())
                                : code->isNumber() ? code->integerValue()
                                                   : 0;
    Value::Dictionary info;
    if (const Value* type = meta ? meta->find("errorType") : nullptr) info[kErrorTypeKey] = *type;
    if (meta) info[kMetaKey] = *meta;
    info[std::string(platform::Error::kLocalizedDescriptionKey)] = Value(localizedShareString(
        number == 401 ? "Could not authenticate you. Please relogin." : "There was an error while sharing"));
    return platform::Error(kErrorDomain, number, std::move(info));
}

bool SXFoursquareV2Request::getFoursquareRelogin(const std::optional<platform::Error>& error) {
    return error && error->domain() == kErrorDomain && error->code() == 401;
}

}  // namespace clipora
