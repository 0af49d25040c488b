#include "share/Sharers/SXReadItLater.h"

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/UI/SXFormController.h"
#include "share/UI/SXFormFieldSettings.h"
#include "share/json/JCSerializer.h"

namespace clipora {

namespace {

// A JSON string with its quotes: a quote or backslash in a title must not
// end the value or add members once the service has decoded the form.
std::string jsonString(const std::optional<std::string>& text) {
    return JCSerializer::JSONStringWithOptionsIncludeQuotesError(text.value_or(""), JCSerializer::kSerializeOptionNone,
                                                                 true)
        .value_or("\"\"");
}

std::string errorHeader(const std::shared_ptr<SXRequest>& request) {
    auto value = request->response() ? request->response()->valueForHTTPHeaderField("X-Error") : std::nullopt;
    return value.value_or(localizedShareString("There was an error while sharing"));
}

}  // namespace

std::optional<std::string> SXReadItLater::authorizationFormCaption() const {
    return localizedShareFormat("Create a free account at %@", "Readitlaterlist.com");
}

std::string SXReadItLater::credentialsBody(const std::string& user, const std::string& password) const {
    return "apikey=" + encodeQueryValue(SXConfiguration::stringValue("readItLaterKey")) +
           "&username=" + encodeQueryValue(user) + "&password=" + encodeQueryValue(password);
}

void SXReadItLater::authorizationFormValidate(const std::shared_ptr<SXFormController>& form) {
    beginLogin(form);
    auto values = form->formValues();
    startRequest(serviceURL(kBaseURLKey, kDefaultBaseURL, "/v2/auth"),
                 credentialsBody(values["username"], values["password"]), "POST", &SXReadItLater::authFinished);
}

void SXReadItLater::authFinished(const std::shared_ptr<SXRequest>& request) {
    endLogin(request->success(), errorHeader(request));
}

std::vector<std::shared_ptr<SXFormFieldSettings>> SXReadItLater::shareFormFieldsForType(int type) {
    if (type != SXItem::SXShareTypeURL) return {};
    using F = SXFormFieldSettings;
    return {F::labelKeyTypeStart(localizedShareString("Title"), "title", F::SXFormFieldTypeText, item()->title()),
            F::labelKeyTypeStart(localizedShareString("Tags"), "tags", F::SXFormFieldTypeText, item()->tags())};
}

bool SXReadItLater::send() {
    if (!validateItem()) return false;
    auto url = jsonString(item()->URL()->absoluteString());
    auto body = credentialsBody(credential("username"), credential("password")) + "&new=" +
                encodeQueryValue("{\"0\":{\"url\":" + url + ",\"title\":" + jsonString(item()->title()) + "}}");
    if (item()->tags() && !item()->tags()->empty()) {
        body += "&update_tags=" +
                encodeQueryValue("{\"0\":{\"url\":" + url + ",\"tags\":" + jsonString(item()->tags()) + "}}");
    }
    sendDidStart();
    startRequest(serviceURL(kBaseURLKey, kDefaultBaseURL, "/v2/send"), body, "POST", &SXReadItLater::sendFinished);
    return true;
}

void SXReadItLater::sendFinished(const std::shared_ptr<SXRequest>& request) {
    auto keep = self();
    if (request->success()) {
        sendDidFinish();
    } else if (statusOf(request) == 401) {
        sendDidFailShouldRelogin();
    } else {
        sendDidFailWithError(SX::error("%@", errorHeader(request)));
    }
}

}  // namespace clipora
