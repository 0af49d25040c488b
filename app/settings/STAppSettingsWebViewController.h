#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/URL.h"
#include "platform/media/MailComposeViewController.h"
#include "platform/media/MailComposeViewControllerDelegate.h"
#include "platform/uikit/ViewController.h"
#include "platform/uikit/WebView.h"
#include "platform/uikit/WebViewDelegate.h"

namespace clipora {

// A settings pane showing a web page or a file of the main bundle; its title
// is the page's title. "mailto" links open a mail composer instead of
// loading. Reached from a description's child pane by the class name
// "STAppSettingsWebViewController" with "initWithURL:key:" or
// "initWithFile:key:".
class STAppSettingsWebViewController : public platform::ViewController,
                                       public platform::WebViewDelegate,
                                       public platform::MailComposeViewControllerDelegate {
public:
    static constexpr const char* kClassName = "STAppSettingsWebViewController";

    // initWithURLKey: the page at the address (the key is not used).
    static std::shared_ptr<STAppSettingsWebViewController> initWithURLKey(const std::string& url,
                                                                          const std::optional<std::string>& key);
    // initWithFileKey: an address with a scheme, else the main-bundle file
    // named by the text (name and extension).
    static std::shared_ptr<STAppSettingsWebViewController> initWithFileKey(const std::string& file,
                                                                           const std::optional<std::string>& key);
    // The class's initialisers by selector name, for STClassRegistry.
    static std::shared_ptr<platform::ViewController> makeForSelector(const std::optional<std::string>& selector,
                                                                     const std::optional<std::string>& file,
                                                                     const std::optional<std::string>& key);

    const std::shared_ptr<platform::WebView>& webView() const { return webView_; }
    const std::optional<platform::URL>& url() const { return url_; }
    void setUrl(std::optional<platform::URL> url) { url_ = std::move(url); }

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidUnload() override;
    bool shouldAutorotateToInterfaceOrientation(int) override { return true; }

    bool webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<platform::WebView>& webView,
                                                         const std::shared_ptr<platform::URLRequest>& request,
                                                         platform::WebViewNavigationType navigationType) override;
    void webViewDidFinishLoad(const std::shared_ptr<platform::WebView>& webView) override;
    void mailComposeControllerDidFinishWithResultError(
        const std::shared_ptr<platform::MailComposeViewController>& controller, platform::MailComposeResult result,
        const std::optional<platform::Error>& error) override;

    // A "mailto" link as a mail message: none when the link has more than
    // one "?".
    static std::optional<platform::MailComposeViewController::Message> messageForMailtoURL(const platform::URL& url);

private:
    std::shared_ptr<platform::WebView> webView_;
    std::optional<platform::URL> url_;
};

}  // namespace clipora
