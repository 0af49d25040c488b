#include "share/UI/SXOAuthView.h"

#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/WebView.h"
#include "share/Core/SX.h"
#include "share/Core/SXConfiguration.h"
#include "share/Core/SXConfigurationKeys.h"

namespace clipora {

using platform::Text;

SXOAuthView::SXOAuthView() = default;
SXOAuthView::~SXOAuthView() = default;

std::shared_ptr<SXOAuthView> SXOAuthView::self() { return sharedAs<SXOAuthView>(); }

std::shared_ptr<SXOAuthView> SXOAuthView::initWithURLDelegate(const platform::URL& url,
                                                              std::shared_ptr<SXOAuthViewDelegate> delegate) {
    auto view = std::make_shared<SXOAuthView>();
    view->setUpWithURLDelegate(url, std::move(delegate));
    return view;
}

void SXOAuthView::setUpWithURLDelegate(const platform::URL& url, std::shared_ptr<SXOAuthViewDelegate> delegate) {
    auto cancelItem = std::make_shared<platform::BarButtonItem>(platform::BarButtonItem::SystemItemCancel);
    cancelItem->setTargetAction(self(), &SXOAuthView::cancel);
    navigationItem()->setLeftBarButtonItemAnimated(cancelItem, false);
    setDelegate(std::move(delegate));
    webView_ = std::make_shared<platform::WebView>(platform::Rect());
    webView_->setDelegate(sharedAs<platform::WebViewDelegate>());
    webView_->setScalesPageToFit(true);
    webView_->setDataDetectorTypes(platform::WebView::DataDetectorTypeNone);
    webView_->loadRequest(platform::URLRequest(url));
}

std::shared_ptr<SXOAuthViewDelegate> SXOAuthView::delegate() const {
    std::lock_guard lock(delegateMutex_);
    return delegate_;
}

void SXOAuthView::setDelegate(std::shared_ptr<SXOAuthViewDelegate> delegate) {
    std::lock_guard lock(delegateMutex_);
    delegate_ = std::move(delegate);
}

void SXOAuthView::loadView() { setView(webView_); }

void SXOAuthView::viewDidDisappear(bool animated) {
    ViewController::viewDidDisappear(animated);
    SX::currentHelper()->viewWasDismissed();
}

SXOAuthViewDelegate::QueryParams SXOAuthView::queryParamsOf(const std::string& query) {
    SXOAuthViewDelegate::QueryParams params;
    for (const auto& piece : Text::split(query, "&")) {
        auto parts = Text::split(piece, "=");
        if (parts.size() == 2) params[parts[0]] = parts[1];
    }
    return params;
}

bool SXOAuthView::isCallbackURL(const platform::URL& url, const platform::URL& callback) {
    auto pathOf = [](const platform::URL& u) {
        return u.percentEncodedPath().empty() ? std::string("/") : u.percentEncodedPath();
    };
    return url.isSameOrigin(callback) && pathOf(url) == pathOf(callback);
}

bool SXOAuthView::isMicroBlogAPIURL(const platform::URL& url) {
    auto api = platform::URL::fromString("https://" +
                                         SXConfiguration::stringValueOr(SXConfigurationKeys::kMicroBlogAPIHost,
                                                                        SXConfigurationKeys::kDefaultMicroBlogAPIHost));
    return api && url.isSameOrigin(*api);
}

bool SXOAuthView::webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<platform::WebView>&,
                                                                  const std::shared_ptr<platform::URLRequest>& request,
                                                                  platform::WebViewNavigationType) {
    auto target = delegate();
    if (!target || !request) return true;
    auto callback = target->authorizeCallbackURL();
    if (!callback) return true;
    const auto& url = request->url();
    if (!isCallbackURL(url, *callback)) return true;
    std::optional<SXOAuthViewDelegate::QueryParams> params;
    if (url.query()) params = queryParamsOf(*url.query());
    auto keep = self();
    target->tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(keep, true, params, std::nullopt);
    // Nothing more is reported for this page, not even a cancel.
    setDelegate(nullptr);
    return false;
}

void SXOAuthView::webViewDidStartLoad(const std::shared_ptr<platform::WebView>&) { startSpinner(); }

void SXOAuthView::webViewDidFinishLoad(const std::shared_ptr<platform::WebView>& webView) {
    stopSpinner();
    auto request = webView->request();
    if (!request || !isMicroBlogAPIURL(request->url())) return;
    auto pin = webView->stringByEvaluatingJavaScriptFromString("document.getElementById('oauth_pin').innerHTML");
    if (pin.empty()) return;
    if (auto target = delegate()) {
        target->tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(self(), false, std::nullopt,
                                                                       SX::error("%@", kPinPageMessage));
    }
}

void SXOAuthView::webViewDidFailLoadWithError(const std::shared_ptr<platform::WebView>&, const platform::Error& error) {
    // A cancelled load, an interrupted frame (a refused redirect) and a
    // missing file are part of normal navigation.
    if (error.code() == -999 || error.code() == 102 || error.code() == -1100) return;
    stopSpinner();
    if (auto target = delegate()) {
        target->tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(self(), false, std::nullopt, error);
    }
}

void SXOAuthView::startSpinner() {
    if (!spinner_) {
        spinner_ = std::make_shared<platform::ActivityIndicatorView>(platform::ActivityIndicatorView::StyleWhite);
        navigationItem()->setRightBarButtonItemAnimated(std::make_shared<platform::BarButtonItem>(spinner_), false);
    }
    spinner_->startAnimating();
}

void SXOAuthView::stopSpinner() {
    if (spinner_) spinner_->stopAnimating();
}

void SXOAuthView::cancel() {
    auto keep = self();
    if (auto target = delegate()) target->tokenAuthorizeCancelledView(keep);
    // A cancelled authorisation is over: the page still loading must neither
    // report a failure nor reach the callback afterwards.
    setDelegate(nullptr);
    webView_->stopLoading();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
}

}  // namespace clipora
