#include "share/Sharers/SXVkontakte.h"

#include <chrono>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/UUID.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/AlertView.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/TextView.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/Core/SXMultipartForm.h"
#include "share/Core/SXRequest.h"
#include "share/Sharers/SXVkontakteForm.h"
#include "share/Sharers/SXVkontakteOAuthView.h"
#include "share/json/JCObject.h"
#include "share/json/JSONDecoder.h"

namespace clipora {

using platform::Data;
using platform::Text;
using platform::UserDefaults;
using platform::Value;

namespace {

constexpr const char* kGenericFailure = "There was an error while sharing";

const Value* path(const Value& root, std::initializer_list<const char*> keys) {
    const Value* value = &root;
    for (const char* key : keys) {
        value = value->find(key);
        if (!value) return nullptr;
    }
    return value;
}

// A reply value as text: strings as they are, numbers in decimal.
std::optional<std::string> textOf(const Value* value) {
    if (!value || value->isNull()) return std::nullopt;
    if (const std::string* text = value->string()) return *text;
    if (value->isInteger()) return std::to_string(value->integerValue());
    if (value->isNumber()) return value->description();
    return std::nullopt;
}

std::optional<std::string> nonEmpty(std::optional<std::string> text) {
    if (text && text->empty()) return std::nullopt;
    return text;
}

}  // namespace

std::string SXVkontakte::serviceURL() {
    auto configured = SXConfiguration::stringValue(kServiceURLKey);
    return configured.empty() ? std::string(kDefaultServiceURL) : configured;
}

std::optional<std::string> SXVkontakte::URLEncodedString(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return Text::percentEscape(*text);
}

// --- Sign-in ---

bool SXVkontakte::isAuthorized() {
    accessUserId_ = SX::getAuthValueForKeyForSharer(kUserIdKey, sharerId());
    accessToken_ = SX::getAuthValueForKeyForSharer(kAccessTokenKey, sharerId());
    auto expiry = UserDefaults::standardUserDefaults()->objectForKey(kExpiryDateKey);
    expirationDate_ = expiry ? expiry->date() : std::nullopt;
    return accessToken_ && !accessToken_->empty() && expirationDate_ && expirationDate_->timeIntervalSinceNow() > 0;
}

void SXVkontakte::storeLogin(const std::string& userId, const std::string& accessToken) {
    SX::setAuthValueForKeyForSharer(userId, kUserIdKey, "SXVkontakte");
    SX::setAuthValueForKeyForSharer(accessToken, kAccessTokenKey, "SXVkontakte");
    auto defaults = UserDefaults::standardUserDefaults();
    // The lifetime the service names is not used: a day, then a new login.
    defaults->setObject(Value(platform::Date::now().addingTimeInterval(kLoginLifetime)), kExpiryDateKey);
    defaults->synchronize();
}

void SXVkontakte::flushAccessToken() {
    SX::removeAuthValueForKeyForSharer(kUserIdKey, "SXVkontakte");
    SX::removeAuthValueForKeyForSharer(kAccessTokenKey, "SXVkontakte");
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->removeObjectForKey(kExpiryDateKey);
    defaults->synchronize();
}

void SXVkontakte::logout() { flushAccessToken(); }

void SXVkontakte::promptAuthorization() {
    auto keep = sharedAs<SXVkontakte>();
    auto view = SXVkontakteOAuthView::initWithAppIDDelegate(SXConfiguration::stringValue("vkontakteAppId"), keep);
    view->view();
    present(view);
}

void SXVkontakte::present(const std::shared_ptr<platform::ViewController>& screen) {
    auto keep = sharedAs<SXVkontakte>();
    if (auto tint = SXConfiguration::sharedInstance()->barTintForView(screen)) navigationBar()->setTintColor(*tint);
    if (viewControllers().empty()) {
        pushViewControllerAnimated(screen, false);
    } else {
        setViewControllers({screen});
    }
    SX::currentHelper()->showViewController(keep);
}

void SXVkontakte::authComplete() {
    auto keep = sharedAs<SXVkontakte>();
    authDidFinish(true);
    if (item() && item()->shareType() != SXItem::SXShareTypeUndefined) share();
}

void SXVkontakte::authFailed() { authDidFinish(false); }

// --- Showing and sending ---

void SXVkontakte::show() {
    auto keep = sharedAs<SXVkontakte>();
    if (item() && item()->shareType() == SXItem::SXShareTypeText) {
        showVkontakteForm();
        return;
    }
    if (!tryToSend()) sendDidFailWithError(SX::error(kGenericFailure));
}

void SXVkontakte::showVkontakteForm() {
    auto keep = sharedAs<SXVkontakte>();
    auto form = SXFormControllerLargeTextField::initWithDelegate<SXVkontakteForm>(
        std::static_pointer_cast<SXFormControllerLargeTextFieldDelegate>(keep));
    form->textView()->setText(item()->text().value_or(""));
    present(form);
}

void SXVkontakte::sendForm(const std::shared_ptr<SXFormControllerLargeTextField>& form) {
    sendFormText(form->textView()->text());
}

void SXVkontakte::sendFormText(const std::string& text) {
    auto keep = sharedAs<SXVkontakte>();
    item()->setText(text);
    if (!tryToSend()) sendDidFailWithError(SX::error(kGenericFailure));
}

bool SXVkontakte::send() {
    if (!validateItem()) return false;
    setQuiet(false);
    isAuthorized();
    const std::string userId = accessUserId_.value_or("");
    const std::string token = accessToken_.value_or("");
    const std::string base = serviceURL();
    const auto& shared = *item();
    switch (shared.shareType()) {
    case SXItem::SXShareTypeURL: {
        if (!shared.URL()) return false;
        auto text = shared.text();
        auto link = shared.URL()->absoluteString();
        runOnWorker([base, userId, token, text, link](SXVkontakte& self) {
            return self.sendTextAndLink(base, userId, token, text, link);
        });
        return true;
    }
    case SXItem::SXShareTypeText: {
        if (!shared.text()) return false;
        auto text = *shared.text();
        runOnWorker(
            [base, userId, token, text](SXVkontakte& self) { return self.sendText(base, userId, token, text); });
        return true;
    }
    case SXItem::SXShareTypeImage: {
        if (!shared.image()) return false;
        // Pixels are read here, on the main thread; the worker gets bytes.
        Data jpeg = shared.image()->jpegRepresentation(1.0f);
        auto title = shared.title();
        runOnWorker([base, userId, token, title, jpeg = std::move(jpeg)](SXVkontakte& self) {
            return self.sendImageAction(base, userId, token, title, jpeg);
        });
        return true;
    }
    default: return false;
    }
}

void SXVkontakte::runOnWorker(std::function<Outcome(SXVkontakte&)> work) {
    auto keep = sharedAs<SXVkontakte>();
    sendDidStart();
    platform::Thread::detach(
        [keep = std::move(keep), work = std::move(work)]() mutable {
            Outcome outcome = work(*keep);
            // The sharer's last reference, if it is one, goes on the main
            // thread with the task.
            platform::Thread::performOnMainThread(
                [keep = std::move(keep), outcome = std::move(outcome)] { keep->report(outcome); }, false);
        },
        "SXVkontakte");
}

void SXVkontakte::demandCaptcha(const Captcha& captcha) {
    isCaptcha_ = true;
    captchaRequest_ = captcha.request;
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setObject(Value(captcha.image), kCaptchaImageKey);
    defaults->setObject(Value(captcha.id), kCaptchaIdKey);
    defaults->synchronize();
    getCaptcha();
}

void SXVkontakte::report(const Outcome& outcome) {
    auto keep = sharedAs<SXVkontakte>();
    if (outcome.captcha) demandCaptcha(*outcome.captcha);
    if (outcome.success) {
        sendDidFinish();
    } else if (outcome.serverMessage) {
        // The server's text is shown as it is, never read as a format.
        sendDidFailWithError(SX::error("%@", *outcome.serverMessage));
    } else {
        sendDidFailWithError(SX::error(kGenericFailure));
    }
}

SXVkontakte::Outcome SXVkontakte::postResult(const Value& reply, std::optional<Captcha> captcha) {
    Outcome outcome;
    outcome.captcha = std::move(captcha);
    if (auto message = textOf(path(reply, {"error", "error_msg"}))) {
        outcome.serverMessage = message;
    } else {
        // No reply (no connection) or one without a result is no success.
        outcome.success = reply.find("response") != nullptr;
    }
    return outcome;
}

SXVkontakte::Outcome SXVkontakte::stepFailed(const Value& reply, std::optional<Captcha> captcha) {
    Outcome outcome = postResult(reply, std::move(captcha));
    outcome.success = false;
    return outcome;
}

SXVkontakte::Outcome SXVkontakte::sendText(const std::string& base, const std::string& userId, const std::string& token,
                                           const std::string& text) {
    std::optional<Captcha> captcha;
    auto reply = fetch(base + "/method/wall.post?owner_id=" + Text::percentEscape(userId) +
                           "&access_token=" + Text::percentEscape(token) + "&message=" + Text::percentEscape(text),
                       std::nullopt, std::nullopt, &captcha);
    return postResult(reply, std::move(captcha));
}

SXVkontakte::Outcome SXVkontakte::sendTextAndLink(const std::string& base, const std::string& userId,
                                                  const std::string& token, const std::optional<std::string>& text,
                                                  const std::string& link) {
    std::optional<Captcha> captcha;
    auto reply = fetch(base + "/method/wall.post?owner_id=" + Text::percentEscape(userId) + "&access_token=" +
                           Text::percentEscape(token) + "&message=" + Text::percentEscape(text.value_or(link)) +
                           "&attachment=" + Text::percentEscape(link),
                       std::nullopt, std::nullopt, &captcha);
    return postResult(reply, std::move(captcha));
}

SXVkontakte::Outcome SXVkontakte::sendImageAction(const std::string& base, const std::string& userId,
                                                  const std::string& token, const std::optional<std::string>& title,
                                                  const Data& jpeg) {
    const std::string owner = "owner_id=" + Text::percentEscape(userId) + "&access_token=" + Text::percentEscape(token);
    std::optional<Captcha> captcha;
    // Each step needs the values of the one before: the first that lacks
    // them ends the share (its error message, if the service sent one).
    auto server = fetch(base + "/method/photos.getWallUploadServer?" + owner, std::nullopt, std::nullopt, &captcha);
    auto uploadURL = nonEmpty(textOf(path(server, {"response", "upload_url"})));
    if (!uploadURL) return stepFailed(server, std::move(captcha));

    auto uploaded = sendPOSTRequestWithImageData(*uploadURL, jpeg);
    auto hash = nonEmpty(textOf(uploaded.find("hash")));
    auto photo = nonEmpty(textOf(uploaded.find("photo")));
    auto serverId = nonEmpty(textOf(uploaded.find("server")));
    if (!hash || !photo || !serverId) return stepFailed(uploaded, std::nullopt);

    auto saved = fetch(base + "/method/photos.saveWallPhoto?" + owner + "&server=" + Text::percentEscape(*serverId) +
                           "&photo=" + Text::percentEscape(*photo) + "&hash=" + Text::percentEscape(*hash),
                       std::nullopt, std::nullopt, &captcha);
    std::optional<std::string> id;
    if (const Value* list = saved.find("response"); list && list->array() && !list->array()->empty()) {
        id = nonEmpty(textOf(list->array()->back().find("id")));
    }
    if (!id) return stepFailed(saved, std::move(captcha));

    auto posted = fetch(base + "/method/wall.post?" + owner + "&message=" + Text::percentEscape(title.value_or("")) +
                            "&attachment=" + Text::percentEscape(*id),
                        std::nullopt, std::nullopt, &captcha);
    return postResult(posted, std::move(captcha));
}

std::string SXVkontakte::captchaAnswered(const std::string& url) {
    auto defaults = UserDefaults::standardUserDefaults();
    return url + "&captcha_sid=" + Text::percentEscape(defaults->stringForKey(kCaptchaIdKey).value_or("")) +
           "&captcha_key=" + Text::percentEscape(defaults->stringForKey(kCaptchaUserKey).value_or(""));
}

Value SXVkontakte::sendRequestWithCaptcha(const std::string& url, bool withCaptcha) {
    return fetch(withCaptcha ? captchaAnswered(url) : url, std::nullopt, std::nullopt, nullptr);
}

Value SXVkontakte::sendPOSTRequestWithImageData(const std::string& uploadURL, const Data& jpeg) {
    SXMultipartForm form("0xKhTmLbOuNdArY-" + platform::UUID::newUUIDString());
    form.addFile("photo", "photo.jpg", {"Content-Type: image/jpg"}, jpeg);
    Data body = form.body();
    return fetch(uploadURL, std::move(body), "multipart/form-data;  boundary=" + form.boundary(), nullptr);
}

Value SXVkontakte::fetch(const std::string& url, std::optional<Data> body,
                         const std::optional<std::string>& contentType, std::optional<Captcha>* captcha) {
    auto address = platform::URL::fromString(url);
    if (!address) return Value();
    // One request on this thread's own run loop, waited for here; the reply
    // is capped like every sharer's.
    auto owner = std::make_shared<int>(0);
    bool done = false;
    auto request = SXRequest::initWithURLParamsDelegateIsFinishedSelectorMethodAutostart(
        *address, body ? std::optional<std::string>(std::string(body->begin(), body->end())) : std::nullopt, owner,
        [&done](const std::shared_ptr<SXRequest>&) { done = true; }, body ? "POST" : "GET", false);
    if (contentType) {
        request->setHeaderFields({{"Content-Type", Value(*contentType)}, {"Content-Transfer-Encoding", Value("8bit")}});
    }
    request->start();
    auto loop = platform::RunLoop::current();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kRequestTimeout);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        loop->runOnce(platform::RunLoop::defaultMode, std::chrono::milliseconds(50));
    }
    if (!done) request->cancel();
    if (!done || !request->response() || request->tooLarge() || request->data().empty()) return Value();
    auto decoded = JSONDecoder::decoder()->parseJSONData(&request->data());
    Value reply = decoded ? decoded->toValue() : Value();
    if (captcha && textOf(path(reply, {"error", "error_msg"})) == std::optional<std::string>(kCaptchaNeeded)) {
        *captcha = Captcha{textOf(path(reply, {"error", "captcha_img"})).value_or(""),
                           textOf(path(reply, {"error", "captcha_sid"})).value_or(""), url};
    }
    return reply;
}

// --- Captcha ---

void SXVkontakte::getCaptcha() {
    auto keep = sharedAs<SXVkontakte>();
    auto alert = std::make_shared<platform::AlertView>(kCaptchaTitle, "\n", keep, localizedShareString("Cancel"),
                                                       std::vector<std::string>{localizedShareString("OK")});
    auto imageView = std::make_shared<platform::ImageView>(platform::Rect(12, 45, 130, 50));
    alert->addSubview(imageView);
    auto field = std::make_shared<platform::TextField>(platform::Rect(12, 110, 260, 25));
    field->setBackgroundColor(platform::Color::whiteColor());
    field->setAutocorrectionType(platform::TextField::AutocorrectionNo);
    field->setAutocapitalizationType(platform::TextField::AutocapitalizationNone);
    field->setTag(kCaptchaFieldTag);
    alert->addSubview(field);
    captchaAlert_ = alert;
    alert->show();
    loadCaptchaImage(UserDefaults::standardUserDefaults()->stringForKey(kCaptchaImageKey).value_or(""));
}

void SXVkontakte::loadCaptchaImage(const std::string& url) {
    auto address = platform::URL::fromString(url);
    if (!address || !captchaAlert_) return;
    std::weak_ptr<platform::View> imageView = captchaAlert_->subviews().front();
    auto owner = sharedAs<SXVkontakte>();
    // Loaded on the run loop, never waited for: the alert is up at once.
    SXRequest::initWithURLParamsDelegateIsFinishedSelectorMethodAutostart(
        *address, std::nullopt, owner,
        [imageView](const std::shared_ptr<SXRequest>& request) {
            auto view = std::dynamic_pointer_cast<platform::ImageView>(imageView.lock());
            if (view && request->success()) view->setImage(platform::Image::imageWithData(request->data()));
        },
        "GET", true);
}

void SXVkontakte::alertViewClickedButtonAtIndex(const std::shared_ptr<platform::AlertView>& alert, int index) {
    if (alert != captchaAlert_) return;
    if (index != 1 || !isCaptcha_) return;
    auto keep = sharedAs<SXVkontakte>();
    isCaptcha_ = false;
    std::string code;
    if (auto field = std::dynamic_pointer_cast<platform::TextField>(alert->viewWithTag(kCaptchaFieldTag))) {
        code = field->text();
    }
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setObject(Value(code), kCaptchaUserKey);
    defaults->synchronize();
    captchaAlert_.reset();
    if (!captchaRequest_) return;
    const std::string address = captchaAnswered(*captchaRequest_);
    // The repeated call's own outcome is not reported (the share already
    // ended); a new captcha demand shows the alert again.
    platform::Thread::detach(
        [keep, address]() mutable {
            std::optional<Captcha> captcha;
            keep->fetch(address, std::nullopt, std::nullopt, &captcha);
            platform::Thread::performOnMainThread(
                [keep = std::move(keep), captcha = std::move(captcha)] {
                    if (captcha) keep->demandCaptcha(*captcha);
                },
                false);
        },
        "SXVkontakte");
}

}  // namespace clipora
