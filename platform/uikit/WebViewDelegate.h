#pragma once

#include <memory>

#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Error.h"

namespace clipora::platform {

class WebView;

// How a navigation came about.
enum WebViewNavigationType : int {
    WebViewNavigationTypeLinkClicked = 0,
    WebViewNavigationTypeFormSubmitted = 1,
    WebViewNavigationTypeBackForward = 2,
    WebViewNavigationTypeReload = 3,
    WebViewNavigationTypeFormResubmitted = 4,
    WebViewNavigationTypeOther = 5,
};

// Asked about every navigation of a web view (redirects included, as
// "other") and told of each load's start and its end: every load that
// started ends with exactly one finish or failure. All calls come on the
// main thread; all but the question arrive on a later turn of the main run
// loop. Every operation is optional.
class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;

    // Whether to load `request`. Default: yes.
    virtual bool webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<WebView>& webView,
                                                                 const std::shared_ptr<URLRequest>& request,
                                                                 WebViewNavigationType navigationType) {
        (void)webView;
        (void)request;
        (void)navigationType;
        return true;
    }
    virtual void webViewDidStartLoad(const std::shared_ptr<WebView>& webView) { (void)webView; }
    virtual void webViewDidFinishLoad(const std::shared_ptr<WebView>& webView) { (void)webView; }
    virtual void webViewDidFailLoadWithError(const std::shared_ptr<WebView>& webView, const Error& error) {
        (void)webView;
        (void)error;
    }
};

}  // namespace clipora::platform
