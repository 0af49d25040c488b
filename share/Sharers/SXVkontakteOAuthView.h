#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/ViewController.h"
#include "platform/uikit/WebViewDelegate.h"

namespace clipora {

namespace platform {
class WebView;
}

class SXVkontakte;

// The service's own sign-in page (an OAuth 2.0 implicit grant): the token
// and the user id are read from the fragment of the service's redirect page
// (same scheme, host, port and path), never from another page's address.
// Main thread only.
class SXVkontakteOAuthView : public platform::ViewController, public platform::WebViewDelegate {
public:
    SXVkontakteOAuthView();
    ~SXVkontakteOAuthView() override;

    static std::shared_ptr<SXVkontakteOAuthView> initWithAppIDDelegate(std::string appID,
                                                                       std::weak_ptr<SXVkontakte> delegate);

    // The authorization page, the redirect page and the denial address.
    static std::string authorizationURL(const std::string& appID);
    static std::string redirectURL();
    static std::string denialURL();

    void viewDidLoad() override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;

    bool webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<platform::WebView>& webView,
                                                         const std::shared_ptr<platform::URLRequest>& request,
                                                         platform::WebViewNavigationType navigationType) override;
    void webViewDidFinishLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void webViewDidFailLoadWithError(const std::shared_ptr<platform::WebView>& webView,
                                     const platform::Error& error) override;

    // The text after the first `start` up to the next `end` (or the end of
    // the text); none when `start` does not occur or nothing follows it.
    static std::optional<std::string> stringBetweenStringAndStringInnerString(const std::string& start,
                                                                              const std::string& end,
                                                                              const std::string& text);

    const std::shared_ptr<platform::WebView>& vkWebView() const { return vkWebView_; }
    const std::string& appID() const { return appID_; }
    std::string description() const override { return "SXVkontakteOAuthView"; }

private:
    // Closes the page; a sign-in that did not succeed ends the attempt.
    void close(bool signedIn);

    std::weak_ptr<SXVkontakte> delegate_;
    std::shared_ptr<platform::WebView> vkWebView_;
    std::string appID_;
    bool closed_ = false;
};

}  // namespace clipora
