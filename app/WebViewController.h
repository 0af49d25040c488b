#pragma once

#include <memory>
#include <string>

#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/WebView.h"
#include "platform/uikit/WebViewDelegate.h"

namespace clipora {

// A modal screen showing one web page under its own navigation bar, with a
// title, a Done button and a spinner. The presenter sets `url` and
// `displayTitle` and presents it; each appearance first blanks the page, so a
// second presentation never shows the previous page.
class WebViewController : public platform::ViewController, public platform::WebViewDelegate {
public:
    WebViewController() = default;

    const std::shared_ptr<platform::WebView>& webview() const { return webview_; }
    const std::shared_ptr<platform::NavigationBar>& navigationBar() const { return navigationBar_; }
    const std::string& url() const { return url_; }
    void setUrl(std::string url) { url_ = std::move(url); }
    const std::string& displayTitle() const { return displayTitle_; }
    void setDisplayTitle(std::string title) { displayTitle_ = std::move(title); }
    std::shared_ptr<platform::ActivityIndicatorView> spinner() const { return spinner_.lock(); }

    void openURL(const std::string& address);
    void done();

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidUnload() override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) override;

    void webViewDidStartLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void webViewDidFinishLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void webViewDidFailLoadWithError(const std::shared_ptr<platform::WebView>& webView,
                                     const platform::Error& error) override;

private:
    std::shared_ptr<platform::WebView> webview_;
    std::shared_ptr<platform::NavigationBar> navigationBar_;
    std::string url_;
    std::string displayTitle_;
    std::weak_ptr<platform::ActivityIndicatorView> spinner_;
    std::shared_ptr<platform::BarButtonItem> activityItem_;
};

}  // namespace clipora
