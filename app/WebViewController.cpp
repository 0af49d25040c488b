#include "app/WebViewController.h"

#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/View.h"

namespace clipora {

using namespace platform;

void WebViewController::loadView() {
    // The screen's layout: a bar along the top and the page below it.
    ViewController::loadView();
    auto root = view();
    const float width = root->bounds().size.width;
    navigationBar_ = std::make_shared<NavigationBar>(Rect(0, 0, width, NavigationBar::kHeight));
    navigationBar_->setAutoresizingMask(View::AutoresizingFlexibleWidth);
    webview_ = std::make_shared<WebView>(
        Rect(0, NavigationBar::kHeight, width, root->bounds().size.height - NavigationBar::kHeight));
    webview_->setAutoresizingMask(View::AutoresizingFlexibleWidth | View::AutoresizingFlexibleHeight);
    webview_->setScalesPageToFit(true);
    webview_->setDelegate(weakAs<WebViewDelegate>());
    root->addSubview(navigationBar_);
    root->addSubview(webview_);
}

void WebViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    auto item = navigationItem();
    setTitle(displayTitle_);
    auto doneButton = std::make_shared<BarButtonItem>("Done", BarButtonItem::StyleBordered);
    doneButton->setTargetAction(sharedAs<WebViewController>(), &WebViewController::done);
    item->setRightBarButtonItem(doneButton);
    auto spinner = std::make_shared<ActivityIndicatorView>(ActivityIndicatorView::StyleWhite);
    spinner_ = spinner;
    // The bar item keeps the spinner alive.
    activityItem_ = std::make_shared<BarButtonItem>(spinner);
    item->setLeftBarButtonItem(activityItem_);
    navigationBar_->pushNavigationItemAnimated(item, true);
}

void WebViewController::viewWillAppear(bool animated) {
    ViewController::viewWillAppear(animated);
    setTitle(displayTitle_);
    openURL("about:blank");
    openURL(url_);
}

void WebViewController::viewDidUnload() {
    ViewController::viewDidUnload();
    if (webview_) webview_->setDelegate({});
    webview_.reset();
    navigationBar_.reset();
}

void WebViewController::openURL(const std::string& address) {
    if (!webview_) return;
    auto url = URL::fromString(address);
    if (!url) return;
    webview_->loadRequest(URLRequest(*url));
}

void WebViewController::done() {
    if (auto presenter = presentingViewController())
        presenter->dismissModalViewControllerAnimated(true);
    else
        dismissModalViewControllerAnimated(true);
}

bool WebViewController::shouldAutorotateToInterfaceOrientation(int) { return true; }

void WebViewController::webViewDidStartLoad(const std::shared_ptr<WebView>&) {
    if (auto s = spinner()) s->startAnimating();
}

void WebViewController::webViewDidFinishLoad(const std::shared_ptr<WebView>&) {
    if (auto s = spinner()) s->stopAnimating();
}

void WebViewController::webViewDidFailLoadWithError(const std::shared_ptr<WebView>& webView, const Error&) {
    webViewDidFinishLoad(webView);
}

}  // namespace clipora
