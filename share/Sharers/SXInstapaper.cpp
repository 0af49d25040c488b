#include "share/Sharers/SXInstapaper.h"

#include "share/Core/SX.h"
#include "share/UI/SXFormController.h"

namespace clipora {

namespace {

constexpr const char* kRefused = "Sorry, Instapaper did not accept your credentials. Please try again.";

}  // namespace

std::optional<std::string> SXInstapaper::authorizationFormCaption() const {
    return localizedShareFormat("Create a free account at %@", "Instapaper.com");
}

void SXInstapaper::authorizationFormValidate(const std::shared_ptr<SXFormController>& form) {
    beginLogin(form);
    auto values = form->formValues();
    auto body =
        "username=" + encodeQueryValue(values["username"]) + "&password=" + encodeQueryValue(values["password"]);
    startRequest(serviceURL(kBaseURLKey, kDefaultBaseURL, "/api/authenticate"), body, "POST",
                 &SXInstapaper::authFinished);
}

void SXInstapaper::authFinished(const std::shared_ptr<SXRequest>& request) {
    endLogin(request->success(),
             localizedShareString(
                 statusOf(request) == 403 ? kRefused : "Sorry, Instapaper encountered an error. Please try again."));
}

bool SXInstapaper::send() {
    if (!validateItem()) return false;
    auto body = "url=" + encodeURLString(item()->URL()) + "&username=" + encodeQueryValue(credential("username")) +
                "&password=" + encodeQueryValue(credential("password"));
    sendDidStart();
    startRequest(serviceURL(kBaseURLKey, kDefaultBaseURL, "/api/add"), body, "POST", &SXInstapaper::sendFinished);
    return true;
}

void SXInstapaper::sendFinished(const std::shared_ptr<SXRequest>& request) {
    auto keep = self();
    if (request->success()) {
        sendDidFinish();
    } else if (statusOf(request) == 403) {
        sendDidFailWithErrorShouldRelogin(SX::error(kRefused), true);
    } else if (statusOf(request) == 500) {
        sendDidFailWithError(SX::error("The service encountered an error. Please try again later."));
    } else {
        sendDidFailWithError(SX::error("There was a problem saving to Instapaper."));
    }
}

}  // namespace clipora
