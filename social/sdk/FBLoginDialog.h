#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "social/sdk/FBDialog.h"
#include "social/sdk/FBLoginDialogDelegate.h"

namespace clipora {

// The in-app login page of the network. On success it reads the access
// token and its lifetime from the return URL and tells its login delegate
// (the session). Made with std::make_shared.
class FBLoginDialog : public FBDialog {
public:
    FBLoginDialog(std::string loginURL, platform::Value::Dictionary params,
                  std::weak_ptr<FBLoginDialogDelegate> loginDelegate);

    static std::shared_ptr<FBLoginDialog> initWithURLLoginParamsDelegate(
        std::string loginURL, platform::Value::Dictionary params, std::weak_ptr<FBLoginDialogDelegate> loginDelegate);

    // The expiry a login return's "expires_in" gives: the distant future
    // when absent or 0, now plus that many seconds otherwise; none when it is
    // not a whole number of seconds (the login is then refused).
    static std::optional<platform::Date> expirationDateForLifetime(const std::optional<std::string>& expiresIn);

    void dialogDidSucceed(const platform::URL& url) override;
    void dialogDidCancel(const std::optional<platform::URL>& url) override;
    void webViewDidFailLoadWithError(const std::shared_ptr<platform::WebView>& webView,
                                     const platform::Error& error) override;

    std::shared_ptr<FBLoginDialogDelegate> loginDelegate() const { return loginDelegate_.lock(); }
    void setLoginDelegate(std::weak_ptr<FBLoginDialogDelegate> delegate) { loginDelegate_ = std::move(delegate); }

    std::string className() const override { return "FBLoginDialog"; }

private:
    std::weak_ptr<FBLoginDialogDelegate> loginDelegate_;
};

}  // namespace clipora
