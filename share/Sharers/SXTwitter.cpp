#include "share/Sharers/SXTwitter.h"

#include <vector>

#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/TweetComposeViewController.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Image.h"
#include "share/Core/Helpers/OAuth/OAAsynchronousDataFetcher.h"
#include "share/Core/Helpers/OAuth/OAHMAC_SHA1SignatureProvider.h"
#include "share/Core/Helpers/OAuth/OAMutableURLRequest.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/Core/SXConfigurationKeys.h"
#include "share/Core/SXMultipartForm.h"
#include "share/Core/SXRequest.h"
#include "share/Sharers/SXTwitterForm.h"
#include "share/Sharers/SXiOS5Twitter.h"
#include "share/UI/SXActivityIndicator.h"
#include "share/UI/SXFormController.h"
#include "share/UI/SXFormFieldSettings.h"
#include "share/json/JCObject.h"
#include "share/json/JSONDecoder.h"

namespace clipora {

using platform::Text;
using platform::Value;

namespace {

constexpr const char* kGenericFailure = "There was an error while sharing";

// An absolute http or https address with a host: what a shortened link
// must be. Error words of the shortener ("RATE_LIMIT_EXCEEDED") are valid
// relative addresses and must not pass.
bool isAbsoluteWebLink(const std::string& text) {
    auto url = platform::URL::fromString(text);
    if (!url) return false;
    auto scheme = Text::lowercase(url->scheme());
    return (scheme == "http" || scheme == "https") && !url->host().empty();
}

}  // namespace

// --- Configuration ---

std::string SXTwitter::apiHost() {
    return SXConfiguration::stringValueOr(SXConfigurationKeys::kMicroBlogAPIHost, kDefaultAPIHost);
}
std::string SXTwitter::webDomain() { return SXConfiguration::stringValueOr("twitterWebDomain", kDefaultWebDomain); }
std::string SXTwitter::shortenerHost() { return SXConfiguration::stringValueOr("bitLyHost", kDefaultShortenerHost); }
std::string SXTwitter::imageHost() { return SXConfiguration::stringValueOr("twitterImageHost", kDefaultImageHost); }

platform::URL SXTwitter::apiURL(const std::string& path) {
    auto url = platform::URL::fromString("https://" + apiHost() + path);
    return url ? *url : *platform::URL::fromString("https://" + std::string(kDefaultAPIHost) + path);
}

bool SXTwitter::twitterFrameworkAvailable() { return platform::TweetComposeViewController::isAvailable(); }

std::vector<std::shared_ptr<SXFormFieldSettings>> SXTwitter::authorizationFormFields() const {
    auto account = SXConfiguration::stringValue("twitterUsername");
    if (account.empty()) return SXSharer::authorizationFormFields();
    return {SXFormFieldSettings::labelKeyTypeStart(localizedShareString("Username"), "username",
                                                   SXFormFieldSettings::SXFormFieldTypeTextNoCorrect, std::nullopt),
            SXFormFieldSettings::labelKeyTypeStart(localizedShareString("Password"), "password",
                                                   SXFormFieldSettings::SXFormFieldTypePassword, std::nullopt),
            SXFormFieldSettings::labelKeyTypeStart(localizedShareFormat("Follow %@", account), "followMe",
                                                   SXFormFieldSettings::SXFormFieldTypeSwitch, "1")};
}

std::optional<std::string> SXTwitter::authorizationFormCaption() const {
    return localizedShareFormat("Create a free account at %@", webDomain());
}

void SXTwitter::logout() {
    platform::UserDefaults::standardUserDefaults()->removeObjectForKey(kUserInfoKey);
    SXOAuthSharer::logout();
}

// --- Life cycle ---

void SXTwitter::init() {
    SXOAuthSharer::init();
    setConsumerKey(SXConfiguration::stringValue("twitterConsumerKey"));
    setSecretKey(SXConfiguration::stringValue("twitterSecret"));
    setAuthorizeCallbackURL(platform::URL::fromString(SXConfiguration::stringValue("twitterCallbackUrl")));
    xAuth_ = SXConfiguration::boolValue("twitterUseXAuth");
    setAuthorizeURL(apiURL("/oauth/authorize"));
    setRequestURL(apiURL("/oauth/request_token"));
    setAccessURL(apiURL("/oauth/access_token"));
}

void SXTwitter::share() {
    auto keep = self();
    if (twitterFrameworkAvailable()) {
        SXSharer::shareItem<SXiOS5Twitter>(item());
        // The sheet keeps the account: a login of our own must not linger.
        logout();
        return;
    }
    if (prepareItem()) SXSharer::share();
}

std::optional<std::string> SXTwitter::status() const {
    if (!item()) return std::nullopt;
    auto value = item()->customValueForKey("status");
    if (!value || !value->isString()) return std::nullopt;
    return *value->string();
}

void SXTwitter::setStatus(const std::string& status) { item()->setCustomValueForKey(Value(status), "status"); }

std::string SXTwitter::statusWithLink(const std::string& link) const {
    auto lead = item()->text() ? item()->text() : item()->title();
    return Text::format("%@ %@", lead.value_or(""), link);
}

bool SXTwitter::prepareItem() {
    if (!item()) return true;
    switch (item()->shareType()) {
    case SXItem::SXShareTypeURL: return shortenURL();
    case SXItem::SXShareTypeImage:
        if (item()->title()) setStatus(*item()->title());
        return true;
    case SXItem::SXShareTypeText:
        if (item()->text()) setStatus(*item()->text());
        return true;
    default: return true;
    }
}

bool SXTwitter::isAuthorized() {
    if (twitterFrameworkAvailable()) {
        logout();
        return false;
    }
    return restoreAccessToken();
}

void SXTwitter::promptAuthorization() {
    // Whether this is the first login or a new one after the service
    // refused the token, the share goes on once the login is done.
    setPendingAction(PendingActionShareAgain);
    if (twitterFrameworkAvailable()) {
        // The sheet logs in, not this sharer: the attempt ends here.
        authDidFinish(false);
    } else if (xAuth_) {
        SXSharer::promptAuthorization();
    } else {
        SXOAuthSharer::promptAuthorization();
    }
}

void SXTwitter::tryPendingAction() {
    // The item was prepared (and its link shortened) before the login: go
    // on with the share rather than preparing it again.
    if (pendingAction() == PendingActionShareAgain) {
        SXSharer::share();
    } else {
        SXOAuthSharer::tryPendingAction();
    }
}

void SXTwitter::show() {
    auto keep = self();
    switch (item() ? item()->shareType() : SXItem::SXShareTypeUndefined) {
    case SXItem::SXShareTypeURL:
    case SXItem::SXShareTypeText:
    case SXItem::SXShareTypeImage: showTwitterForm(); return;
    case SXItem::SXShareTypeUserInfoRequest:
        setQuiet(true);
        if (!tryToSend()) sendDidFailWithError(SX::error(kGenericFailure));
        return;
    default: sendDidFailWithError(SX::error(kGenericFailure)); return;
    }
}

void SXTwitter::showTwitterForm() {
    auto keep = self();
    auto form = SXFormControllerLargeTextField::initWithDelegate<SXTwitterForm>(
        std::weak_ptr<SXFormControllerLargeTextFieldDelegate>(std::static_pointer_cast<SXTwitter>(keep)));
    form->textView()->setText(status().value_or(""));
    form->setHasAttachment(item()->image() != nullptr);
    navigationBar()->setTintColor(SXConfiguration::sharedInstance()->barTintForView(keep));
    if (viewControllers().empty()) {
        pushViewControllerAnimated(form, false);
    } else {
        setViewControllers({form});
    }
    SX::currentHelper()->showViewController(keep);
}

void SXTwitter::sendForm(const std::shared_ptr<SXFormControllerLargeTextField>& form) {
    auto keep = self();
    setStatus(form->textView()->text());
    // The user's text must not vanish without a word.
    if (!tryToSend()) sendDidFailWithError(SX::error(kGenericFailure));
}

bool SXTwitter::validateItem() {
    if (!item()) return false;
    if (item()->shareType() == SXItem::SXShareTypeUserInfoRequest) return true;
    return status().has_value();
}

bool SXTwitter::validateItemAfterUserEdit() {
    return validateItem() && (item()->shareType() == SXItem::SXShareTypeUserInfoRequest ||
                              Text::utf16Length(*status()) <= kMaxStatusLength);
}

bool SXTwitter::send() {
    auto keep = self();
    auto follow = item()->customValueForKey("followMe");
    if (xAuth_ && follow && follow->isString() && *follow->string() == "1") followMe();
    if (!validateItemAfterUserEdit()) return false;
    switch (item()->shareType()) {
    case SXItem::SXShareTypeUserInfoRequest: sendUserInfo(); break;
    case SXItem::SXShareTypeImage: sendImage(); break;
    default: sendStatus(); break;
    }
    sendDidStart();
    return true;
}

// --- xAuth login ---

void SXTwitter::authorizationFormValidate(const std::shared_ptr<SXFormController>& form) {
    setPendingForm(form);
    tokenAccess();
}

void SXTwitter::tokenAccessModifyRequest(const std::shared_ptr<OAMutableURLRequest>& request) {
    if (!xAuth_ || !pendingForm()) return;
    auto values = pendingForm()->formValues();
    request->setParameters({OARequestParameter("x_auth_username", values["username"]),
                            OARequestParameter("x_auth_password", values["password"]),
                            OARequestParameter("x_auth_mode", "client_auth")});
}

void SXTwitter::tokenAccessTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data) {
    auto keep = self();
    if (xAuth_) {
        auto form = pendingForm();
        setPendingForm(nullptr);
        // The login form goes either way: after a refusal the attempt is
        // over and nobody would answer its buttons.
        if (form) form->close();
        if (!ticket.didSucceed()) {
            tokenAccessTicketDidFailWithError(ticket, SX::error("%@", std::string(data.begin(), data.end())));
            return;
        }
        if (form) item()->setCustomValueForKey(Value(form->formValues()["followMe"]), "followMe");
    }
    SXOAuthSharer::tokenAccessTicketDidFinishWithData(ticket, data);
}

// --- Link shortening ---

bool SXTwitter::shortenURL() {
    const auto login = SXConfiguration::stringValue("bitLyLogin");
    const auto key = SXConfiguration::stringValue("bitLyKey");
    if (!SX::connected() || login.empty() || key.empty() || !item()->URL()) {
        // Offline, or no shortener account: the long link goes out.
        setStatus(Text::format("%@ %@", item()->title().value_or(""), item()->displayURLString()));
        return true;
    }
    auto address = Text::format("https://%@/v3/shorten?login=%@&apikey=%@&longUrl=%@&format=txt", shortenerHost(),
                                encodeQueryValue(login), encodeQueryValue(key), encodeURLString(item()->URL()));
    auto url = platform::URL::fromString(address);
    if (!url) {
        setStatus(Text::format("%@ %@", item()->title().value_or(""), item()->displayURLString()));
        return true;
    }
    if (!quiet()) SXActivityIndicator::currentIndicator()->displayActivity(localizedShareString("Shortening URL..."));
    shortening_ = self();
    std::weak_ptr<SXTwitter> weak = std::static_pointer_cast<SXTwitter>(shortening_);
    setRequest(SXRequest::initWithURLParamsDelegateIsFinishedSelectorMethodAutostart(
        *url, std::nullopt, weak,
        [weak](const std::shared_ptr<SXRequest>& request) {
            if (auto s = weak.lock()) s->shortenURLFinished(request);
        },
        "GET", true));
    return false;
}

void SXTwitter::shortenURLFinished(const std::shared_ptr<SXRequest>& request) {
    auto keep = self();
    auto held = std::move(shortening_);
    shortening_.reset();
    SXActivityIndicator::currentIndicator()->hide();
    const auto reply = Text::trim(request->getResult(), "\r\n");
    const auto longLink = item()->displayURLString();
    const bool ok = request->response() && request->response()->statusCode() == 200;
    if (reply == "ALREADY_A_BITLY_LINK") {
        setStatus(statusWithLink(longLink));
    } else if (ok && isAbsoluteWebLink(reply)) {
        setStatus(statusWithLink(reply));
    } else {
        if (!quiet()) {
            auto alert = std::make_shared<platform::AlertView>(
                localizedShareString("Shorten URL Error"), localizedShareString("We could not shorten the URL."),
                std::weak_ptr<platform::AlertViewDelegate>(), localizedShareString("Continue"));
            alert->show();
        }
        setStatus(statusWithLink(longLink));
    }
    SXSharer::share();
}

// --- Service calls ---

void SXTwitter::fetch(const std::shared_ptr<OAMutableURLRequest>& request, Finished finished) {
    std::weak_ptr<SXTwitter> weak = std::static_pointer_cast<SXTwitter>(self());
    OAAsynchronousDataFetcher::FinishSelector onFinish;
    OAAsynchronousDataFetcher::FailSelector onFail;
    if (finished) {
        onFinish = [weak, finished](const OAServiceTicket& ticket, const platform::Data& data) {
            if (auto s = weak.lock()) ((*s).*finished)(ticket, data);
        };
        onFail = [weak](const OAServiceTicket& ticket, const std::optional<platform::Error>& error) {
            if (auto s = weak.lock()) s->sendTicketDidFailWithError(ticket, error);
        };
    }
    auto fetcher = OAAsynchronousDataFetcher::asynchronousFetcherWithRequestDelegateDidFinishSelectorDidFailSelector(
        request, finished ? std::weak_ptr<void>(weak) : std::weak_ptr<void>(), std::move(onFinish), std::move(onFail));
    fetcher->start();
}

void SXTwitter::sendStatus() {
    auto request = signedRequest(apiURL("/1/statuses/update.json"), accessToken());
    request->setParameters({OARequestParameter("status", status().value_or(""))});
    fetch(request, &SXTwitter::sendStatusTicketDidFinishWithData);
}

void SXTwitter::sendStatusTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data) {
    if (ticket.didSucceed()) {
        sendDidFinish();
    } else {
        handleUnsuccessfulTicket(data);
    }
}

void SXTwitter::sendTicketDidFailWithError(const OAServiceTicket&, const std::optional<platform::Error>& error) {
    sendDidFailWithError(error);
}

void SXTwitter::sendUserInfo() {
    auto request = signedRequest(apiURL("/1/account/verify_credentials.json"), accessToken());
    request->setHTTPMethod("GET");
    fetch(request, &SXTwitter::sendUserInfoDidFinishWithData);
}

void SXTwitter::sendUserInfoDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data) {
    if (!ticket.didSucceed()) {
        handleUnsuccessfulTicket(data);
        return;
    }
    std::optional<platform::Error> error;
    auto decoded = JSONDecoder::decoder()->objectWithDataError(&data, &error);
    auto details = decoded ? decoded->toValue() : Value();
    if (!details.isDictionary()) {
        // Nothing usable to keep: say so rather than store nothing.
        sendDidFailWithError(error ? error : std::optional(SX::error(kGenericFailure)));
        return;
    }
    convertNSNullsToEmptyStrings(details);
    platform::UserDefaults::standardUserDefaults()->setObject(details, kUserInfoKey);
    sendDidFinish();
}

void SXTwitter::convertNSNullsToEmptyStrings(Value& details) {
    // Iterative: the depth of a reply must not decide the depth of our
    // stack. Nulls inside arrays go too: the user defaults cannot keep a
    // null anywhere, and one left would make the whole record unstorable.
    std::vector<Value*> pending{&details};
    while (!pending.empty()) {
        Value* current = pending.back();
        pending.pop_back();
        if (current->isNull()) {
            *current = Value(std::string());
        } else if (auto* dictionary = current->dictionary()) {
            for (auto& entry : *dictionary) pending.push_back(&entry.second);
        } else if (auto* array = current->array()) {
            for (auto& element : *array) pending.push_back(&element);
        }
    }
}

platform::Data SXTwitter::jpegForUpload(const platform::Image& image, std::size_t maxBytes) {
    float quality = 0.9f;
    auto data = image.jpegRepresentation(quality);
    while (data.size() > maxBytes && quality > 0.1f) {
        quality -= 0.1f;
        data = image.jpegRepresentation(quality);
    }
    return data;
}

std::optional<std::string> SXTwitter::linkInUploadReply(const std::string& reply) {
    auto open = Text::findCaseInsensitive(reply, "<url>");
    if (!open) return std::nullopt;
    const auto start = *open + 5;
    auto close = Text::findCaseInsensitive(reply, "</url>", start);
    if (!close) return std::nullopt;
    return reply.substr(start, *close - start);
}

void SXTwitter::sendImage() {
    const bool profileUpdate = item()->customValueForKey("profile_update").has_value();
    const auto realm = "https://" + apiHost() + "/";
    auto provider = signatureProvider() ? signatureProvider() : std::make_shared<OAHMAC_SHA1SignatureProvider>();
    const auto consumer = this->consumer().value_or(OAConsumer(consumerKey(), secretKey()));
    auto request = std::make_shared<OAMutableURLRequest>(
        apiURL(profileUpdate ? "/1/account/update_profile_image.json" : "/1/account/verify_credentials.json"), consumer,
        accessToken(), realm, provider);
    request->setHTTPMethod("GET");
    request->prepare();
    if (!profileUpdate) {
        // OAuth echo: the image host checks our signature of the account
        // call with the service itself.
        auto echo = request->valueForHTTPHeaderField("Authorization").value_or("");
        auto upload = platform::URL::fromString("https://" + imageHost() + "/api/2/upload.xml");
        if (!upload) {
            sendDidFailWithError(SX::error(kGenericFailure));
            return;
        }
        request = std::make_shared<OAMutableURLRequest>(*upload, consumer, accessToken(), realm, provider);
        request->setHTTPMethod("POST");
        request->setValueForHTTPHeaderField(apiURL("/1/account/verify_credentials.json").absoluteString(),
                                            "X-Auth-Service-Provider");
        request->setValueForHTTPHeaderField(echo, "X-Verify-Credentials-Authorization");
    }
    auto picture = item()->image() ? jpegForUpload(*item()->image()) : platform::Data();
    // The fixed boundary stays unless the status (or the picture) holds it.
    SXMultipartForm form(kMultipartBoundary);
    form.addFile(profileUpdate ? "image" : "media", "upload.jpg", {"Content-Type: image/jpg"}, std::move(picture));
    if (!profileUpdate) form.addField("message", status().value_or(""));
    auto body = form.body();
    request->setValueForHTTPHeaderField(Text::format("multipart/form-data; boundary=%@", form.boundary()),
                                        "Content-Type");
    request->setHTTPBody(std::move(body));
    // The upload announces itself, and send() does so again after it: an
    // image share posts the start twice, as listeners have always seen it.
    sendDidStart();
    fetch(request, &SXTwitter::sendImageTicketDidFinishWithData);
}

void SXTwitter::sendImageTicketDidFinishWithData(const OAServiceTicket& ticket, const platform::Data& data) {
    if (!ticket.didSucceed()) {
        sendDidFailWithError(std::nullopt);
        return;
    }
    if (item()->customValueForKey("profile_update")) {
        // The new profile picture is in place: nothing more to post.
        sendDidFinish();
        return;
    }
    auto link = linkInUploadReply(std::string(data.begin(), data.end()));
    if (!link) {
        sendDidFailWithError(SX::error(kGenericFailure));
        return;
    }
    setStatus(Text::format("%@ %@", status().value_or(""), *link));
    sendStatus();
}

void SXTwitter::followMe() {
    item()->setCustomValueForKey(std::nullopt, "followMe");
    auto account = SXConfiguration::stringValue("twitterUsername");
    if (account.empty()) return;
    auto request =
        signedRequest(apiURL(Text::format("/1/friendships/create/%@.json", encodeQueryValue(account))), accessToken());
    fetch(request, nullptr);
}

void SXTwitter::handleUnsuccessfulTicket(const platform::Data& data) {
    const std::string body(data.begin(), data.end());
    std::string message = "Unknown Error";
    static constexpr std::string_view kMarker = "\"error\":\"";
    if (auto at = body.find(kMarker); at != std::string::npos) {
        const auto start = at + kMarker.size();
        const auto end = body.find('"', start);
        message = body.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    if (message == "Invalid / used nonce" || message == "Could not authenticate with OAuth.") {
        sendDidFailShouldRelogin();
    } else {
        sendDidFailWithError(platform::Error::withDescription(kErrorDomain, kErrorCode, message));
    }
}

}  // namespace clipora
