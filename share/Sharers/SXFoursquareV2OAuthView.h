#pragma once

#include "share/UI/SXOAuthView.h"

namespace clipora {

// The check-in service's sign-in page: its token comes back in the
// fragment of the callback address (OAuth 2.0 implicit grant).
class SXFoursquareV2OAuthView : public SXOAuthView {
public:
    static std::shared_ptr<SXFoursquareV2OAuthView> initWithURLDelegate(const platform::URL& url,
                                                                        std::shared_ptr<SXOAuthViewDelegate> delegate);

    // Every page loads but the callback address, whose fragment (pieces
    // "key=value" split at "&") goes to the delegate once.
    bool webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<platform::WebView>& webView,
                                                         const std::shared_ptr<platform::URLRequest>& request,
                                                         platform::WebViewNavigationType navigationType) override;

    std::string description() const override { return "SXFoursquareV2OAuthView"; }
};

}  // namespace clipora
