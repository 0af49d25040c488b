#include "share/Sharers/SXFoursquareV2OAuthView.h"

#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/WebView.h"

namespace clipora {

using platform::Text;

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
    const std::string& address = request->url().absoluteString();
    if (!callback || callback->absoluteString().empty() || !Text::contains(address, callback->absoluteString())) {
        return true;
    }
    SXOAuthViewDelegate::QueryParams params;
    for (const auto& piece : Text::split(request->url().fragment().value_or(""), "&")) {
        auto parts = Text::split(piece, "=");
        if (parts.size() == 2) params[parts[0]] = parts[1];
    }
    auto keep = sharedAs<SXOAuthView>();
    setDelegate(nullptr);
    delegate->tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(keep, true, params, std::nullopt);
    return false;
}

}  // namespace clipora
