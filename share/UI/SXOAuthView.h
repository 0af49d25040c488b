#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/URL.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/WebViewDelegate.h"
#include "share/UI/SXOAuthViewDelegate.h"

namespace clipora {

namespace platform {
class ActivityIndicatorView;
class WebView;
}  // namespace platform

// A service's login page in a web view. It watches every navigation; the
// one that would open the callback address is stopped and its query handed
// to the delegate. Main thread only.
class SXOAuthView : public platform::ViewController, public platform::WebViewDelegate {
public:
    static constexpr const char* kPinPageMessage =
        "Your SXTwitter config is incorrect.  You must set your application type to Browser and define a callback "
        "url.  See SXConfig for more details";

    SXOAuthView();
    ~SXOAuthView() override;

    // Makes the view and starts loading the page at once.
    static std::shared_ptr<SXOAuthView> initWithURLDelegate(const platform::URL& url,
                                                            std::shared_ptr<SXOAuthViewDelegate> delegate);

    void loadView() override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int) override { return true; }

    bool webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<platform::WebView>& webView,
                                                         const std::shared_ptr<platform::URLRequest>& request,
                                                         platform::WebViewNavigationType navigationType) override;
    void webViewDidStartLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void webViewDidFinishLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void webViewDidFailLoadWithError(const std::shared_ptr<platform::WebView>& webView,
                                     const platform::Error& error) override;

    void startSpinner();
    void stopSpinner();
    // The Cancel button.
    void cancel();

    const std::shared_ptr<platform::WebView>& webView() const { return webView_; }
    std::shared_ptr<SXOAuthViewDelegate> delegate() const;
    void setDelegate(std::shared_ptr<SXOAuthViewDelegate> delegate);
    const std::shared_ptr<platform::ActivityIndicatorView>& spinner() const { return spinner_; }

    // The query of a callback address as name -> value: pieces split at "&",
    // each piece with exactly one "=" kept, as it stands.
    static SXOAuthViewDelegate::QueryParams queryParamsOf(const std::string& query);
    // Whether a navigation to `url` is the callback: the same scheme, host
    // and port (the platform's origin) and the same path ("" and "/" alike).
    // The callback's text inside another page's address is not the callback:
    // that page would hand its own query (an attacker's frob or token) to the
    // sharer as the service's answer.
    static bool isCallbackURL(const platform::URL& url, const platform::URL& callback);
    // Whether `url` is on the micro-blog service's API host as configured
    // (same origin as "https://<host>"), whose PIN page means a wrong
    // application setting.
    static bool isMicroBlogAPIURL(const platform::URL& url);

    std::string description() const override { return "SXOAuthView"; }

protected:
    // The Cancel button, the delegate and the page's load (for the makers of
    // subclasses).
    void setUpWithURLDelegate(const platform::URL& url, std::shared_ptr<SXOAuthViewDelegate> delegate);

private:
    std::shared_ptr<SXOAuthView> self();

    std::shared_ptr<platform::WebView> webView_;
    mutable std::mutex delegateMutex_;
    std::shared_ptr<SXOAuthViewDelegate> delegate_;
    std::shared_ptr<platform::ActivityIndicatorView> spinner_;
};

}  // namespace clipora
