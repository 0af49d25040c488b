#include "social/sdk/FBLoginDialog.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace clipora {

using platform::Date;
using platform::Error;
using platform::URL;
using platform::Value;

FBLoginDialog::FBLoginDialog(std::string loginURL, Value::Dictionary params,
                             std::weak_ptr<FBLoginDialogDelegate> loginDelegate)
    : FBDialog(std::move(loginURL), std::move(params), false, nullptr, {}), loginDelegate_(std::move(loginDelegate)) {}

std::shared_ptr<FBLoginDialog> FBLoginDialog::initWithURLLoginParamsDelegate(
    std::string loginURL, Value::Dictionary params, std::weak_ptr<FBLoginDialogDelegate> loginDelegate) {
    return std::make_shared<FBLoginDialog>(std::move(loginURL), std::move(params), std::move(loginDelegate));
}

std::optional<Date> FBLoginDialog::expirationDateForLifetime(const std::optional<std::string>& expiresIn) {
    // No lifetime, or 0, means a token that does not expire. Anything but a
    // whole, non-negative number of seconds is refused rather than read as 0.
    if (!expiresIn) return Date::distantFuture();
    std::optional<std::int64_t> seconds = platform::Text::parseInt64(*expiresIn);
    if (!seconds || *seconds < 0) return std::nullopt;
    if (*seconds == 0) return Date::distantFuture();
    return Date::now().addingTimeInterval(static_cast<double>(*seconds));
}

void FBLoginDialog::dialogDidSucceed(const URL& url) {
    auto self = sharedAs<FBLoginDialog>();
    const std::string& text = url.absoluteString();
    std::optional<std::string> token = getStringFromUrlNeedle(text, "access_token=");
    std::optional<std::string> expiresIn = getStringFromUrlNeedle(text, "expires_in=");
    if (!token || token->empty()) {
        dialogDidCancel(url);
        return;
    }
    std::optional<Date> expiry = expirationDateForLifetime(expiresIn);
    if (!expiry) {
        platform::Log::write("Login refused: the token's lifetime is not a number of seconds");
        dismissWithSuccessAnimated(false, true);
        if (auto d = loginDelegate()) d->fbDialogNotLogin(false);
        return;
    }
    if (auto d = loginDelegate()) d->fbDialogLoginExpirationDate(*token, *expiry);
    dismissWithSuccessAnimated(true, true);
}

void FBLoginDialog::dialogDidCancel(const std::optional<URL>&) {
    auto self = sharedAs<FBLoginDialog>();
    dismissWithSuccessAnimated(false, true);
    if (auto d = loginDelegate()) d->fbDialogNotLogin(true);
}

void FBLoginDialog::webViewDidFailLoadWithError(const std::shared_ptr<platform::WebView>& webView, const Error& error) {
    if (error.domain() == Error::kURLErrorDomain && error.code() == Error::kURLErrorCancelled) return;
    if (error.domain() == Error::kWebKitErrorDomain && error.code() == Error::kWebKitErrorFrameLoadInterrupted) return;
    if (!loadingURL()) return;  // dismissed meanwhile
    auto self = sharedAs<FBLoginDialog>();
    FBDialog::webViewDidFailLoadWithError(webView, error);
    if (auto d = loginDelegate()) d->fbDialogNotLogin(false);
}

}  // namespace clipora
