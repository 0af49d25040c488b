#include "share/Sharers/SXTumblr.h"

#include "platform/uikit/Image.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/UI/SXFormController.h"
#include "share/UI/SXFormFieldSettings.h"

namespace clipora {

namespace {

constexpr const char* kInvalidLogin = "Invalid email or password.";
constexpr const char* kServiceError = "The service encountered an error. Please try again later.";

std::optional<std::string> customText(const SXItem& item, std::string_view key) {
    auto value = item.customValueForKey(key);
    if (!value || !value->string()) return std::nullopt;
    return *value->string();
}

}  // namespace

std::vector<std::shared_ptr<SXFormFieldSettings>> SXTumblr::authorizationFormFields() const {
    using F = SXFormFieldSettings;
    return {
        F::labelKeyTypeStart(localizedShareString("Email"), "email", F::SXFormFieldTypeTextNoCorrect, std::nullopt),
        F::labelKeyTypeStart(localizedShareString("Password"), "password", F::SXFormFieldTypePassword, std::nullopt)};
}

std::optional<std::string> SXTumblr::authorizationFormCaption() const {
    return localizedShareFormat("Create a free account at %@", "Tumblr.com");
}

void SXTumblr::authorizationFormValidate(const std::shared_ptr<SXFormController>& form) {
    beginLogin(form);
    auto values = form->formValues();
    auto body = "email=" + encodeQueryValue(values["email"]) + "&password=" + encodeQueryValue(values["password"]);
    startRequest(serviceURL(kBaseURLKey, kDefaultBaseURL, "/api/authenticate"), body, "POST", &SXTumblr::authFinished);
}

void SXTumblr::authFinished(const std::shared_ptr<SXRequest>& request) {
    endLogin(request->success(), localizedShareString(statusOf(request) == 403 ? kInvalidLogin : kServiceError));
}

std::vector<std::shared_ptr<SXFormFieldSettings>> SXTumblr::shareFormFieldsForType(int type) {
    using F = SXFormFieldSettings;
    std::vector<std::shared_ptr<F>> rows;
    if (type == SXItem::SXShareTypeImage) {
        rows.push_back(
            F::labelKeyTypeStart(localizedShareString("Caption"), "caption", F::SXFormFieldTypeText, std::nullopt));
    } else {
        rows.push_back(
            F::labelKeyTypeStart(localizedShareString("Title"), "title", F::SXFormFieldTypeText, item()->title()));
    }
    rows.push_back(
        F::labelKeyTypeStart(localizedShareString("Tag,Tag"), "tags", F::SXFormFieldTypeText, item()->tags()));
    rows.push_back(F::labelKeyTypeStart(localizedShareString("Slug"), "slug", F::SXFormFieldTypeText, std::nullopt));
    rows.push_back(F::labelKeyTypeStart(localizedShareString("Private"), "private", F::SXFormFieldTypeSwitch, "0"));
    rows.push_back(
        F::labelKeyTypeStart(localizedShareString("Send to Twitter"), "twitter", F::SXFormFieldTypeSwitch, "0"));
    return rows;
}

std::string SXTumblr::formBody() const {
    const auto& it = *item();
    auto body =
        "email=" + encodeQueryValue(credential("email")) + "&password=" + encodeQueryValue(credential("password"));
    auto generator = SXConfiguration::stringValue("appName");
    if (!generator.empty()) body += "&generator=" + encodeQueryValue(generator);
    body += it.customBoolForSwitchKey("twitter") ? "&send-to-twitter=auto" : "&send-to-twitter=no";
    if (it.tags()) body += "&tags=" + encodeQueryValue(it.tags());
    if (auto slug = customText(it, "slug")) body += "&slug=" + encodeQueryValue(slug);
    body += it.customBoolForSwitchKey("private") ? "&private=1" : "&private=0";
    if (it.shareType() == SXItem::SXShareTypeURL) {
        body += "&type=link&url=" + encodeURLString(it.URL());
        if (it.title()) body += "&name=" + encodeQueryValue(it.title());
    } else {
        body += "&type=regular";
        if (it.title()) body += "&title=" + encodeQueryValue(it.title());
        body += "&body=" + encodeQueryValue(it.text());
    }
    return body;
}

SXMultipartForm SXTumblr::photoForm(const platform::Data& jpeg) const {
    const auto& it = *item();
    // The fixed boundary stays unless a value holds it (see SXMultipartForm).
    SXMultipartForm form(kBoundary, {.leadingLineEnd = true, .closingLineEnd = true});
    form.addField("email", credential("email"));
    form.addField("password", credential("password"));
    form.addField("type", "photo");
    auto generator = SXConfiguration::stringValue("appName");
    if (!generator.empty()) form.addField("generator", generator);
    if (it.tags()) form.addField("tags", *it.tags());
    if (auto caption = customText(it, "caption")) form.addField("caption", *caption);
    if (auto slug = customText(it, "slug")) form.addField("slug", *slug);
    form.addField("private", it.customBoolForSwitchKey("private") ? "1" : "0");
    form.addField("twitter", it.customBoolForSwitchKey("twitter") ? "auto" : "no");
    form.addFile("data", "upload.jpg", {"Content-Transfer-Encoding: image/jpg"}, jpeg);
    return form;
}

bool SXTumblr::send() {
    if (!validateItem()) return false;
    auto url = serviceURL(kBaseURLKey, kDefaultBaseURL, "/api/write");
    switch (item()->shareType()) {
    case SXItem::SXShareTypeURL:
    case SXItem::SXShareTypeText:
        sendDidStart();
        startRequest(url, formBody(), "POST", &SXTumblr::sendFinished);
        return true;
    case SXItem::SXShareTypeImage: {
        sendDidStart();
        auto form = photoForm(item()->image()->jpegRepresentation(0.9f));
        const auto body = form.body();
        startRequest(url, std::string(body.begin(), body.end()), "POST", &SXTumblr::sendFinished,
                     {{"Content-Type", platform::Value("multipart/form-data; boundary=" + form.boundary())}});
        return true;
    }
    default:
        // The blog takes no other kind of post; the share must still end.
        sendDidFailWithError(SX::error("There was an error sending your post to Tumblr."));
        return true;
    }
}

void SXTumblr::sendFinished(const std::shared_ptr<SXRequest>& request) {
    auto keep = self();
    int status = statusOf(request);
    if (request->success()) {
        sendDidFinish();
    } else if (status == 403) {
        sendDidFailWithErrorShouldRelogin(SX::error(kInvalidLogin), true);
    } else if (status == 500) {
        sendDidFailWithError(SX::error(kServiceError));
    } else {
        sendDidFailWithError(SX::error("There was an error sending your post to Tumblr."));
    }
}

}  // namespace clipora
