#include "share/Sharers/SXFoursquareV2OAuthView.h"

#include "platform/cfnetwork/URLRequest.h"
#include "platform/uikit/WebView.h"

namespace clipora {

std::shared_ptr<SXFoursquareV2OAuthView> SXFoursquareV2OAuthView::initWithURLDelegate(
    const platform::URL& url, std::shared_ptr<SXOAuthViewDelegate> delegate) {
    auto view = std::make_shared<SXFoursquareV2OAuthView>();
    view->setUpWithURLDelegate(url, std::move(delegate));
    return view;
}

bool SXFoursquareV2OAuthView::webViewShouldStartLoadWithRequestNavigationType(
    const std::shared_ptr<platform::WebView>&, const std::shared_ptr<platform::URLRequest>& request,
    platform::WebViewNavigationType) {
    auto delegate = this->delegate();
    if (!request || !delegate) return true;
    auto callback = delegate->authorizeCallbackURL();
    if (!callback || callback->absoluteString().empty() || !isCallbackURL(request->url(), *callback)) return true;
    auto params = queryParamsOf(request->url().fragment().value_or(""));
    auto keep = sharedAs<SXOAuthView>();
    setDelegate(nullptr);
    delegate->tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(keep, true, params, std::nullopt);
    return false;
}

}  // namespace clipora
