#include "share/Sharers/SXFlickr.h"

#include "platform/foundation/InputStream.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Image.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/Sharers/photo/PSFlickrAPIContext.h"
#include "share/Sharers/photo/PSFlickrAPIRequest.h"
#include "share/Sharers/photo/PSXMLMapper.h"
#include "share/UI/SXActivityIndicator.h"
#include "share/UI/SXFormFieldSettings.h"
#include "share/UI/SXOAuthView.h"

namespace clipora {

using platform::Value;

namespace {

const Value* path(const Value& root, std::initializer_list<const char*> keys) {
    const Value* value = &root;
    for (const char* key : keys) {
        value = value->find(key);
        if (!value) return nullptr;
    }
    return value;
}

std::optional<std::string> userNameOf(const Value& response) {
    const Value* name = path(response, {"auth", "user", "username"});
    return name && name->string() ? std::optional(*name->string()) : std::nullopt;
}

}  // namespace

const std::shared_ptr<PSFlickrAPIContext>& SXFlickr::flickrContext() {
    if (!flickrContext_) {
        flickrContext_ = std::make_shared<PSFlickrAPIContext>(SXConfiguration::stringValue("flickrConsumerKey"),
                                                              SXConfiguration::stringValue("flickrSecretKey"));
        if (auto endpoint = SXConfiguration::stringValue(kRESTAPIEndpointKey); !endpoint.empty()) {
            flickrContext_->setRESTAPIEndpoint(endpoint);
        }
        if (auto endpoint = SXConfiguration::stringValue(kUploadEndpointKey); !endpoint.empty()) {
            flickrContext_->setUploadEndpoint(endpoint);
        }
        if (auto endpoint = SXConfiguration::stringValue(kAuthEndpointKey); !endpoint.empty()) {
            flickrContext_->setAuthEndpoint(endpoint);
        }
        if (auto token = SX::getAuthValueForKeyForSharer(kAuthTokenKey, sharerId()))
            flickrContext_->setAuthToken(*token);
    }
    return flickrContext_;
}

const std::shared_ptr<PSFlickrAPIRequest>& SXFlickr::flickrRequest() {
    if (!flickrRequest_) {
        flickrRequest_ = PSFlickrAPIRequest::initWithAPIContext(flickrContext());
        flickrRequest_->setDelegate(std::weak_ptr<PSFlickrAPIRequestDelegate>(sharedAs<SXFlickr>()));
        flickrRequest_->setRequestTimeoutInterval(kRequestTimeout);
    }
    return flickrRequest_;
}

bool SXFlickr::isAuthorized() { return !flickrContext()->authToken().empty(); }

void SXFlickr::logout() {
    SX::removeAuthValueForKeyForSharer(kAuthTokenKey, sharerId());
    if (flickrContext_) flickrContext_->setAuthToken({});
}

void SXFlickr::setAndStoreFlickrAuthToken(const std::optional<std::string>& token) {
    if (!token || token->empty()) {
        logout();
        return;
    }
    flickrContext()->setAuthToken(*token);
    SX::setAuthValueForKeyForSharer(*token, kAuthTokenKey, sharerId());
}

std::optional<platform::URL> SXFlickr::authorizeCallbackURL() const {
    return platform::URL::fromString(SXConfiguration::stringValue("flickrCallbackUrl"));
}

void SXFlickr::authorizationFormShow() {
    auto keep = sharedAs<SXFlickr>();
    auto url = flickrContext()->loginURLFromFrobDictionaryRequestedPermission(Value(), "write");
    if (!url) {
        authDidFinish(false);
        return;
    }
    auto view = SXOAuthView::initWithURLDelegate(*url, std::static_pointer_cast<SXOAuthViewDelegate>(keep));
    SX::currentHelper()->showViewController(view);
}

void SXFlickr::tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(const std::shared_ptr<SXOAuthView>&, bool success,
                                                                      const std::optional<QueryParams>& queryParams,
                                                                      const std::optional<platform::Error>& error) {
    auto keep = sharedAs<SXFlickr>();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    if (success) {
        std::string frob;
        if (queryParams) {
            if (auto it = queryParams->find("frob"); it != queryParams->end()) frob = it->second;
        }
        if (!quiet()) SXActivityIndicator::currentIndicator()->displayActivity(localizedShareString("Logging In..."));
        if (!call("flickr.auth.getToken", kGetAuthTokenStep, std::map<std::string, std::string>{{"frob", frob}})) {
            success = false;
        }
    } else {
        showAlert(localizedShareString("Authorize Error"),
                  error ? error->localizedDescription() : localizedShareString("There was an error while authorizing"));
    }
    authDidFinish(success);
}

void SXFlickr::tokenAuthorizeCancelledView(const std::shared_ptr<SXOAuthView>&) {
    auto keep = sharedAs<SXFlickr>();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    authDidFinish(false);
}

std::vector<std::shared_ptr<SXFormFieldSettings>> SXFlickr::shareFormFieldsForType(int type) {
    if (type != SXItem::SXShareTypeImage) return SXSharer::shareFormFieldsForType(type);
    using F = SXFormFieldSettings;
    return {
        F::labelKeyTypeStart(localizedShareString("Title"), "title", F::SXFormFieldTypeText, std::nullopt),
        F::labelKeyTypeStart(localizedShareString("Description"), "description", F::SXFormFieldTypeText, std::nullopt),
        F::labelKeyTypeStart(localizedShareString("Tag (space) Tag"), "tags", F::SXFormFieldTypeText, std::nullopt),
        F::labelKeyTypeStart(localizedShareString("Is Public"), "is_public", F::SXFormFieldTypeSwitch, "1"),
        F::labelKeyTypeStart(localizedShareString("Is Friend"), "is_friend", F::SXFormFieldTypeSwitch, "1"),
        F::labelKeyTypeStart(localizedShareString("Is Family"), "is_family", F::SXFormFieldTypeSwitch, "1")};
}

bool SXFlickr::send() {
    // Only a filled share form sends.
    if (!item() || !item()->customValueForKey("is_public")) return false;
    if (flickrUserName_) {
        sendPhoto();
        return true;
    }
    if (!quiet()) SXActivityIndicator::currentIndicator()->displayActivity(localizedShareString("Logging In..."));
    if (call("flickr.auth.checkToken", kCheckTokenStep, std::nullopt)) return true;
    if (!quiet()) SXActivityIndicator::currentIndicator()->hide();
    return false;
}

void SXFlickr::sendPhoto() {
    auto keep = sharedAs<SXFlickr>();
    sendDidStart();
    platform::Data jpeg = item()->image() ? item()->image()->jpegRepresentation(1.0f) : platform::Data();
    // Every argument that has a value goes; a missing title or tags must not
    // drop the privacy switches that follow them.
    std::map<std::string, std::string> arguments;
    auto custom = [this](const char* key) -> std::optional<std::string> {
        auto value = item()->customValueForKey(key);
        if (!value || value->isNull()) return std::nullopt;
        return value->string() ? *value->string() : value->description();
    };
    if (item()->title()) arguments["title"] = *item()->title();
    arguments["description"] = custom("description").value_or("");
    if (item()->tags()) arguments["tags"] = *item()->tags();
    for (const char* key : {"is_public", "is_friend", "is_family"}) {
        if (auto value = custom(key)) arguments[key] = *value;
    }
    auto& request = flickrRequest();
    request->setSessionInfo(Value(kUploadImageStep));
    if (jpeg.empty() ||
        !request->uploadImageStreamSuggestedFilenameMIMETypeArguments(platform::InputStream::withData(std::move(jpeg)),
                                                                      item()->title(), "image/jpeg", arguments)) {
        sendDidFailWithError(SX::error("There was an error while sharing"));
    }
}

bool SXFlickr::call(const char* method, const char* stepName,
                    const std::optional<std::map<std::string, std::string>>& arguments) {
    auto& request = flickrRequest();
    request->setSessionInfo(Value(stepName));
    return request->callAPIMethodWithGETArguments(method, arguments);
}

std::string SXFlickr::step() const {
    if (!flickrRequest_) return {};
    const std::string* name = flickrRequest_->sessionInfo().string();
    return name ? *name : std::string();
}

void SXFlickr::flickrAPIRequestDidCompleteWithResponse(PSFlickrAPIRequest&, const Value& response) {
    auto keep = sharedAs<SXFlickr>();
    const std::string current = step();
    if (current == kUploadImageStep) {
        sendDidFinish();
    } else if (current == kGetAuthTokenStep) {
        if (!quiet()) SXActivityIndicator::currentIndicator()->hide();
        const Value* token = path(response, {"auth", "token"});
        setAndStoreFlickrAuthToken(token ? std::optional(PSXMLMapper::textContent(*token)) : std::nullopt);
        flickrUserName_ = userNameOf(response);
        if (!isAuthorized()) {
            sendDidFailWithError(SX::error("There was an error while authorizing"));
            return;
        }
        share();
    } else if (current == kCheckTokenStep) {
        if (!quiet()) SXActivityIndicator::currentIndicator()->hide();
        flickrUserName_ = userNameOf(response);
        sendPhoto();
    }
}

void SXFlickr::flickrAPIRequestDidFailWithError(PSFlickrAPIRequest&, const platform::Error& error) {
    auto keep = sharedAs<SXFlickr>();
    // A refused token is forgotten: the next share starts with a new login.
    if (step() == kCheckTokenStep) setAndStoreFlickrAuthToken(std::nullopt);
    // The failure reason is the text worth showing.
    platform::Error shown = error;
    auto reason = error.userInfo().find(platform::Error::kLocalizedFailureReasonKey);
    if (reason != error.userInfo().end() && reason->second.string() &&
        !error.userInfo().contains(platform::Error::kLocalizedDescriptionKey)) {
        shown.setUserInfoValue(std::string(platform::Error::kLocalizedDescriptionKey), reason->second);
    }
    sendDidFailWithError(shown);
}

}  // namespace clipora
