#include "share/Sharers/SXVkontakteOAuthView.h"

#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/View.h"
#include "platform/uikit/WebView.h"
#include "share/Core/SX.h"
#include "share/Sharers/SXVkontakte.h"
#include "share/UI/SXOAuthView.h"

namespace clipora {

using platform::Text;

SXVkontakteOAuthView::SXVkontakteOAuthView() = default;

SXVkontakteOAuthView::~SXVkontakteOAuthView() {
    if (vkWebView_) vkWebView_->setDelegate({});
}

std::shared_ptr<SXVkontakteOAuthView> SXVkontakteOAuthView::initWithAppIDDelegate(std::string appID,
                                                                                  std::weak_ptr<SXVkontakte> delegate) {
    auto view = std::make_shared<SXVkontakteOAuthView>();
    view->appID_ = std::move(appID);
    view->delegate_ = std::move(delegate);
    return view;
}

std::string SXVkontakteOAuthView::redirectURL() { return SXVkontakte::serviceURL() + "/blank.html"; }

std::string SXVkontakteOAuthView::authorizationURL(const std::string& appID) {
    return SXVkontakte::serviceURL() + "/oauth/authorize?client_id=" + Text::percentEscape(appID) +
           "&scope=wall,photos&redirect_uri=" + redirectURL() + "&display=touch&response_type=token";
}

std::string SXVkontakteOAuthView::denialURL() {
    return redirectURL() +
           "#error=access_denied&error_reason=user_denied&error_description=User%20denied%20your%20request";
}

bool SXVkontakteOAuthView::shouldAutorotateToInterfaceOrientation(int orientation) {
    return orientation == platform::InterfaceOrientationPortrait;
}

void SXVkontakteOAuthView::viewDidLoad() {
    ViewController::viewDidLoad();
    if (!vkWebView_) {
        vkWebView_ = std::make_shared<platform::WebView>(view()->bounds());
        vkWebView_->setDelegate(sharedAs<platform::WebViewDelegate>());
        vkWebView_->setScalesPageToFit(true);
        vkWebView_->setAutoresizingMask(platform::View::AutoresizingFlexibleWidth |
                                        platform::View::AutoresizingFlexibleHeight);
        view()->addSubview(vkWebView_);
    }
    if (appID_.empty()) {
        close(false);
        return;
    }
    if (auto url = platform::URL::fromString(authorizationURL(appID_)))
        vkWebView_->loadRequest(platform::URLRequest(*url));
}

void SXVkontakteOAuthView::viewDidDisappear(bool animated) {
    ViewController::viewDidDisappear(animated);
    if (vkWebView_) {
        vkWebView_->stopLoading();
        vkWebView_->setDelegate({});
    }
}

bool SXVkontakteOAuthView::webViewShouldStartLoadWithRequestNavigationType(
    const std::shared_ptr<platform::WebView>&, const std::shared_ptr<platform::URLRequest>& request,
    platform::WebViewNavigationType) {
    if (request && request->url().absoluteString() == denialURL()) {
        close(false);
        return false;
    }
    return true;
}

void SXVkontakteOAuthView::webViewDidFinishLoad(const std::shared_ptr<platform::WebView>& webView) {
    auto keep = sharedAs<SXVkontakteOAuthView>();
    auto request = webView ? webView->request() : nullptr;
    if (!request) return;
    const auto& url = request->url();
    // The token counts only in the fragment of the service's own redirect
    // page: any other page (one the user was led to, whose address merely
    // holds "access_token=" and "&user_id=") would sign the user in to
    // someone else's account.
    auto blank = platform::URL::fromString(redirectURL());
    if (!blank || !SXOAuthView::isCallbackURL(url, *blank)) {
        // Still on the service's pages, unless they say it failed.
        if (Text::contains(url.absoluteString(), "error")) close(false);
        return;
    }
    const auto fragment = url.fragment().value_or("");
    const auto answer = SXOAuthView::queryParamsOf(fragment);
    const auto token = answer.find("access_token");
    if (token == answer.end()) {
        if (Text::contains(fragment, "error")) close(false);
        return;
    }
    const auto userId = answer.find("user_id");
    // Without a user id every later call would go to a wrong wall: that is
    // no sign-in.
    if (token->second.empty() || userId == answer.end() || userId->second.empty()) {
        close(false);
        return;
    }
    SXVkontakte::storeLogin(userId->second, token->second);
    close(true);
}

void SXVkontakteOAuthView::webViewDidFailLoadWithError(const std::shared_ptr<platform::WebView>&,
                                                       const platform::Error& error) {
    // A load the page itself stopped is no failure.
    if (error.domain() == platform::Error::kURLErrorDomain && error.code() == platform::Error::kURLErrorCancelled)
        return;
    if (error.domain() == platform::Error::kWebKitErrorDomain &&
        error.code() == platform::Error::kWebKitErrorFrameLoadInterrupted) {
        return;
    }
    close(false);
}

std::optional<std::string> SXVkontakteOAuthView::stringBetweenStringAndStringInnerString(const std::string& start,
                                                                                         const std::string& end,
                                                                                         const std::string& text) {
    auto from = text.find(start);
    if (from == std::string::npos) return std::nullopt;
    from += start.size();
    if (from >= text.size()) return std::nullopt;
    auto to = text.find(end, from);
    return text.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

void SXVkontakteOAuthView::close(bool signedIn) {
    if (closed_) return;
    closed_ = true;
    auto keep = sharedAs<SXVkontakteOAuthView>();
    if (vkWebView_) vkWebView_->stopLoading();
    SX::currentHelper()->hideCurrentViewControllerAnimated(true);
    // The sharer always hears how the sign-in ended, so the share ends too.
    if (auto sharer = delegate_.lock()) {
        if (signedIn) {
            sharer->authComplete();
        } else {
            sharer->authFailed();
        }
    }
}

}  // namespace clipora
