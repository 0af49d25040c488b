#include "share/Sharers/SXGoogleReader.h"

#include <cmath>

#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/UI/SXActivityIndicator.h"
#include "share/UI/SXFormController.h"
#include "share/UI/SXFormFieldSettings.h"

namespace clipora {

using platform::Text;

namespace {

constexpr double kCookieLifetime = 1600000000;

std::string isPublicKey(const std::string& sharerId) { return Text::format("%@_isPublic", sharerId); }

}  // namespace

std::vector<std::shared_ptr<SXFormFieldSettings>> SXGoogleReader::authorizationFormFields() const {
    using F = SXFormFieldSettings;
    return {
        F::labelKeyTypeStart(localizedShareString("Email"), "email", F::SXFormFieldTypeTextNoCorrect, std::nullopt),
        F::labelKeyTypeStart(localizedShareString("Password"), "password", F::SXFormFieldTypePassword, std::nullopt)};
}

std::optional<std::string> SXGoogleReader::authorizationFormCaption() const {
    return localizedShareFormat("Create a free account at %@", "http://www.google.com/reader");
}

void SXGoogleReader::authorizationFormValidate(const std::shared_ptr<SXFormController>& form) {
    beginLogin(form);
    auto values = form->formValues();
    getSessionPassword(values["email"], values["password"]);
}

void SXGoogleReader::getSessionPassword(const std::string& email, const std::string& password) {
    auto source = Text::format("ShareCore-%@-%@", SXConfiguration::stringValue("appName"), "0.2.1");
    auto body = "service=reader&source=" + encodeQueryValue(source) + "&Email=" + encodeQueryValue(email) +
                "&Passwd=" + encodeQueryValue(password) + "&accountType=GOOGLE";
    startRequest(serviceURL(kAccountsURLKey, kDefaultBaseURL, "/accounts/ClientLogin"), body, "POST",
                 &SXGoogleReader::authFinished);
}

void SXGoogleReader::authFinished(const std::shared_ptr<SXRequest>& request) {
    auto keep = self();
    if (!sendAfterLogin_) SXActivityIndicator::currentIndicator()->hide();
    session_.clear();
    for (const auto& line : Text::split(request->getResult(), "\n")) {
        auto pair = Text::split(line, "=");
        if (pair.size() == 2) session_[pair[0]] = pair[1];
    }
    if (request->success() && session_.contains("Auth")) {
        if (sendAfterLogin_) {
            if (!tryToSend()) sendDidFailWithError(SX::error("There was an error while sharing"));
            authDidFinish(true);
        } else {
            endLogin(true, {});
        }
        return;
    }
    std::string message;
    if (auto error = session_.find("Error"); error == session_.end()) {
        message = localizedShareString("There was an error logging into Google Reader");
    } else if (error->second == "BadAuthentication") {
        message = localizedShareString("Incorrect username and password");
    } else {
        message = error->second;
    }
    session_.clear();
    if (!sendAfterLogin_) {
        endLogin(false, message);
        return;
    }
    // A send was waiting for this login: the login's alert is the share's
    // only alert, and the share ends here.
    sendAfterLogin_ = false;
    SXActivityIndicator::currentIndicator()->hide();
    showAlert(localizedShareString("Login Error"), message);
    authDidFinish(false);
    setQuiet(true);
    sendDidFailWithError(SX::error("%@", message));
}

platform::Value::Dictionary SXGoogleReader::signRequest() const {
    auto reader = serviceURL(kReaderURLKey, kDefaultBaseURL, "/");
    std::vector<std::shared_ptr<platform::HTTPCookie>> cookies;
    auto expires = platform::Date(platform::Clock::now().timeIntervalSinceReferenceDate() + kCookieLifetime);
    for (const auto& [name, value] : session_) {
        platform::Value::Dictionary properties{
            {std::string(platform::HTTPCookie::kName), platform::Value(name)},
            {std::string(platform::HTTPCookie::kValue), platform::Value(value)},
            {std::string(platform::HTTPCookie::kDomain), platform::Value(reader ? reader->host() : std::string())},
            {std::string(platform::HTTPCookie::kPath), platform::Value("/")},
            {std::string(platform::HTTPCookie::kExpires), platform::Value(expires)}};
        if (auto cookie = platform::HTTPCookie::cookieWithProperties(properties)) cookies.push_back(cookie);
    }
    auto fields = platform::HTTPCookie::requestHeaderFieldsWithCookies(cookies);
    auto auth = session_.find("Auth");
    fields["Authorization"] = platform::Value("GoogleLogin auth=" + (auth == session_.end() ? "" : auth->second));
    return fields;
}

std::vector<std::shared_ptr<SXFormFieldSettings>> SXGoogleReader::shareFormFieldsForType(int type) {
    if (type != SXItem::SXShareTypeURL) return {};
    using F = SXFormFieldSettings;
    return {F::labelKeyTypeStart(localizedShareString("Note"), "text", F::SXFormFieldTypeText, item()->text()),
            F::labelKeyTypeStart(localizedShareString("Public"), "share", F::SXFormFieldTypeSwitch, "0")};
}

void SXGoogleReader::shareFormSave(const std::shared_ptr<SXFormController>& form) {
    auto keep = self();
    auto values = form->formValues();
    // Remembered first: an auto-share started by this very save reads it.
    platform::UserDefaults::standardUserDefaults()->setBool(values["share"] == "1", isPublicKey(sharerId()));
    SXPlainRequestSharer::shareFormSave(form);
}

bool SXGoogleReader::send() {
    if (!validateItem()) return false;
    bool wasWaiting = sendAfterLogin_;
    if (!wasWaiting) sendDidStart();
    if (session_.contains("Auth")) {
        sendAfterLogin_ = false;
        auto seconds = static_cast<long long>(std::floor(platform::Clock::now().timeIntervalSince1970()));
        startRequest(serviceURL(kReaderURLKey, kDefaultBaseURL, Text::format("/reader/api/0/token?ck=%lld", seconds)),
                     std::nullopt, "GET", &SXGoogleReader::tokenFinished, signRequest());
    } else if (!wasWaiting) {
        // One login serves every send that waits for it; a second login
        // would send the item twice.
        sendAfterLogin_ = true;
        getSessionPassword(credential("email"), credential("password"));
    }
    return true;
}

void SXGoogleReader::tokenFinished(const std::shared_ptr<SXRequest>& request) {
    auto keep = self();
    if (request->success()) {
        sendWithToken(request->getResult());
    } else {
        sendDidFailWithError(SX::error("There was a problem authenticating your account."));
    }
}

void SXGoogleReader::sendWithToken(const std::string& token) {
    bool isPublic = shouldAutoShare()
                        ? platform::UserDefaults::standardUserDefaults()->boolForKey(isPublicKey(sharerId()))
                        : item()->customBoolForSwitchKey("share");
    auto body = "T=" + encodeQueryValue(token) + "&linkify=false&snippet=" + encodeQueryValue(item()->text()) +
                "&srcTitle=" + encodeQueryValue(SXConfiguration::stringValue("appName")) +
                "&srcUrl=" + encodeQueryValue(SXConfiguration::stringValue("appURL")) +
                "&title=" + encodeQueryValue(item()->title()) + "&url=" + encodeURLString(item()->URL()) +
                "&share=" + (isPublic ? "true" : "");
    startRequest(serviceURL(kReaderURLKey, kDefaultBaseURL, "/reader/api/0/item/edit"), body, "POST",
                 &SXGoogleReader::sendFinished, signRequest());
}

void SXGoogleReader::sendFinished(const std::shared_ptr<SXRequest>& request) {
    auto keep = self();
    if (request->success()) {
        sendDidFinish();
    } else {
        sendDidFailWithError(SX::error("There was a problem saving your note."));
    }
}

}  // namespace clipora
