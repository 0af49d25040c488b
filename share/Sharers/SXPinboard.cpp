#include "share/Sharers/SXPinboard.h"

#include "platform/foundation/Text.h"
#include "share/Core/SX.h"
#include "share/UI/SXFormController.h"
#include "share/UI/SXFormFieldSettings.h"

namespace clipora {

std::optional<std::string> SXPinboard::authorizationFormCaption() const {
    return localizedShareFormat("Create an account at %@", "http://pinboard.in");
}

void SXPinboard::authorizationFormValidate(const std::shared_ptr<SXFormController>& form) {
    beginLogin(form);
    auto values = form->formValues();
    startRequest(serviceURL(kBaseURLKey, kDefaultBaseURL, "/v1/posts/get"), std::nullopt, "GET",
                 &SXPinboard::authFinished, basicAuthorization(values["username"], values["password"]));
}

void SXPinboard::authFinished(const std::shared_ptr<SXRequest>& request) {
    // Only a refusal of the credentials keeps them out of the keychain; a
    // service that is down does not stop the user from logging in.
    bool refused = statusOf(request) == 401;
    endLogin(!refused, localizedShareString("Could not authenticate you. Please relogin."));
}

std::vector<std::shared_ptr<SXFormFieldSettings>> SXPinboard::shareFormFieldsForType(int type) {
    if (type != SXItem::SXShareTypeURL) return {};
    using F = SXFormFieldSettings;
    return {F::labelKeyTypeStart(localizedShareString("Title"), "title", F::SXFormFieldTypeText, item()->title()),
            F::labelKeyTypeStart(localizedShareString("Tags"), "tags", F::SXFormFieldTypeText, item()->tags()),
            F::labelKeyTypeStart(localizedShareString("Notes"), "text", F::SXFormFieldTypeText, item()->text()),
            F::labelKeyTypeStart(localizedShareString("Shared"), "shared", F::SXFormFieldTypeSwitch, "0")};
}

bool SXPinboard::send() {
    if (!validateItem()) return false;
    auto query = "?url=" + encodeURLString(item()->URL()) + "&description=" + encodeQueryValue(item()->title()) +
                 "&tags=" + encodeQueryValue(item()->tags()) + "&extended=" + encodeQueryValue(item()->text()) +
                 "&shared=" + (item()->customBoolForSwitchKey("shared") ? "yes" : "no");
    sendDidStart();
    startRequest(serviceURL(kBaseURLKey, kDefaultBaseURL, "/v1/posts/add" + query), std::nullopt, "GET",
                 &SXPinboard::sendFinished, basicAuthorization(credential("username"), credential("password")));
    return true;
}

bool SXPinboard::handleResponse(const std::shared_ptr<SXRequest>& request) {
    if (statusOf(request) != 401) return true;
    sendDidFailShouldRelogin();
    return false;
}

void SXPinboard::sendFinished(const std::shared_ptr<SXRequest>& request) {
    auto keep = self();
    if (!handleResponse(request)) return;
    const auto& reply = request->getResult();
    if (request->success() && (reply.empty() || platform::Text::contains(reply, "\"done\""))) {
        sendDidFinish();
    } else {
        sendDidFailWithError(SX::error("There was an error saving to Pinboard"));
    }
}

}  // namespace clipora
