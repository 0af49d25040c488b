#include "share/Sharers/SXPlainRequestSharer.h"

#include "platform/cfnetwork/HTTPURLResponse.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/Text.h"
#include "share/Core/SXConfiguration.h"
#include "share/Core/SXStrings.h"
#include "share/UI/SXActivityIndicator.h"
#include "share/UI/SXFormController.h"

namespace clipora {

std::optional<platform::URL> SXPlainRequestSharer::serviceURL(std::string_view key, std::string_view defaultBase,
                                                              std::string_view path) {
    auto base = SXConfiguration::stringValue(key);
    if (base.empty()) base = defaultBase;
    while (platform::Text::hasSuffix(base, "/")) base.pop_back();
    return platform::URL::fromString(base + std::string(path));
}

int SXPlainRequestSharer::statusOf(const std::shared_ptr<SXRequest>& request) {
    return request && request->response() ? request->response()->statusCode() : 0;
}

platform::Value::Dictionary SXPlainRequestSharer::basicAuthorization(const std::string& user,
                                                                     const std::string& password) {
    return {{"Authorization", platform::Value("Basic " + platform::Base64::encode(user + ":" + password))}};
}

void SXPlainRequestSharer::startRequest(const std::optional<platform::URL>& url, std::optional<std::string> body,
                                        const std::string& method, Finished finished,
                                        platform::Value::Dictionary headers) {
    auto keep = std::static_pointer_cast<SXPlainRequestSharer>(self());
    std::weak_ptr<SXPlainRequestSharer> weak = keep;
    auto callback = [weak, finished](const std::shared_ptr<SXRequest>& request) {
        if (auto sharer = weak.lock()) ((*sharer).*finished)(request);
    };
    if (!url) {
        // A misconfigured address: the request fails like an unreachable host.
        auto request = std::make_shared<SXRequest>();
        setRequest(request);
        callback(request);
        return;
    }
    auto request = SXRequest::initWithURLParamsDelegateIsFinishedSelectorMethodAutostart(*url, std::move(body), weak,
                                                                                         callback, method, false);
    // Services read the body as a form only when it says so.
    if (request->params() && !headers.contains("Content-Type")) {
        headers["Content-Type"] = platform::Value("application/x-www-form-urlencoded");
    }
    request->setHeaderFields(std::move(headers));
    setRequest(request);
    request->start();
}

void SXPlainRequestSharer::beginLogin(const std::shared_ptr<SXFormController>& form) {
    if (!quiet()) SXActivityIndicator::currentIndicator()->displayActivity(localizedShareString("Logging In..."));
    setPendingForm(form);
}

void SXPlainRequestSharer::endLogin(bool success, const std::string& failureMessage) {
    auto keep = self();
    SXActivityIndicator::currentIndicator()->hide();
    if (success) {
        if (auto form = pendingForm()) form->saveForm();
        authDidFinish(true);
        return;
    }
    // Reporting a finished login here would end the attempt while its form
    // is still on screen, and the form's next Done would reach no sharer.
    showAlert(localizedShareString("Login Error"), failureMessage);
}

std::string SXPlainRequestSharer::credential(const std::string& key) const {
    return getAuthValueForKey(key).value_or("");
}

}  // namespace clipora
