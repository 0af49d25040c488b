#include "share/UI/SXOAuthView.h"

#include <gtest/gtest.h>

#include "platform/cfnetwork/URLRequest.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/WebView.h"
#include "share/UI/SXActivityIndicator.h"
#include "tests/share/ShareTest.h"

namespace clipora {
namespace {

struct Recorder : SXOAuthViewDelegate {
    std::vector<std::string> events;
    std::optional<QueryParams> params;
    void tokenAuthorizeViewDidFinishWithSuccessQueryParamsError(const std::shared_ptr<SXOAuthView>&, bool success,
                                                                const std::optional<QueryParams>& p,
                                                                const std::optional<platform::Error>&) override {
        events.push_back(success ? "success" : "failure");
        params = p;
    }
    void tokenAuthorizeCancelledView(const std::shared_ptr<SXOAuthView>&) override { events.push_back("cancel"); }
    std::optional<platform::URL> authorizeCallbackURL() const override { return platform::URL::fromString(callback); }
    std::string callback = "app://cb";
};

class SXOAuthViewTest : public test::ShareTest {};

TEST_F(SXOAuthViewTest, CatchesTheCallbackAndReportsOnce) {
    auto recorder = std::make_shared<Recorder>();
    auto view = SXOAuthView::initWithURLDelegate(*platform::URL::fromString("about:blank"), recorder);
    auto ask = [&](const char* url) {
        auto request = std::make_shared<platform::URLRequest>(*platform::URL::fromString(url));
        return view->webViewShouldStartLoadWithRequestNavigationType(view->webView(), request,
                                                                     platform::WebViewNavigationTypeOther);
    };
    EXPECT_TRUE(ask("http://service.example/login"));
    // Values stay as they stand.
    EXPECT_FALSE(ask("app://cb?a=1&b=x%20y&bad&c=1=2"));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});
    EXPECT_EQ(recorder->params, (SXOAuthViewDelegate::QueryParams{{"a", "1"}, {"b", "x%20y"}}));
    // After the callback nobody hears of a cancel.
    view->navigationItem()->leftBarButtonItem()->tap();
    EXPECT_EQ(recorder->events, std::vector<std::string>{"success"});

    auto plain = std::make_shared<Recorder>();
    auto second = SXOAuthView::initWithURLDelegate(*platform::URL::fromString("about:blank"), plain);
    second->webViewShouldStartLoadWithRequestNavigationType(
        second->webView(), std::make_shared<platform::URLRequest>(*platform::URL::fromString("app://cb")),
        platform::WebViewNavigationTypeOther);
    EXPECT_FALSE(plain->params);
    // Cancelled loads are not failures; others are.
    second->setDelegate(plain);
    second->webViewDidFailLoadWithError(second->webView(), platform::Error("NSURLErrorDomain", -999));
    second->webViewDidFailLoadWithError(second->webView(), platform::Error("NSURLErrorDomain", -1004));
    EXPECT_EQ(plain->events, (std::vector<std::string>{"success", "failure"}));

    // After a cancel the page still loading reports nothing more.
    auto cancelled = std::make_shared<Recorder>();
    auto third = SXOAuthView::initWithURLDelegate(*platform::URL::fromString("http://127.0.0.1:1/login"), cancelled);
    third->navigationItem()->leftBarButtonItem()->tap();
    EXPECT_FALSE(third->webView()->isLoading());
    third->webViewDidFailLoadWithError(third->webView(), platform::Error("NSURLErrorDomain", -1004));
    third->webViewShouldStartLoadWithRequestNavigationType(
        third->webView(), std::make_shared<platform::URLRequest>(*platform::URL::fromString("app://cb")),
        platform::WebViewNavigationTypeOther);
    EXPECT_EQ(cancelled->events, std::vector<std::string>{"cancel"});
}

// Only the callback itself (scheme, host, port and path) is the callback: a
// page that carries its text elsewhere in its address must load as any
// other, or its query (an attacker's frob) would reach the sharer.
TEST_F(SXOAuthViewTest, OnlyTheCallbackAddressItselfIsTheCallback) {
    const std::string callback = "https://app.example/oauth/done";
    struct Case {
        std::string url;
        bool isCallback;
    } cases[] = {
        {"https://attacker.example/landing?next=" + callback + "&frob=ATTACKER", false},
        {"https://attacker.example/" + callback.substr(8) + "?frob=ATTACKER", false},
        {"https://attacker.example/landing#" + callback + "?frob=ATTACKER", false},
        {"https://app.example.attacker.example/oauth/done?frob=ATTACKER", false},
        {"https://app.example:8443/oauth/done?frob=ATTACKER", false},
        {"http://app.example/oauth/done?frob=ATTACKER", false},
        {"https://app.example/oauth/done/more?frob=ATTACKER", false},
        {"https://app.example/oauth/other?next=" + callback + "&frob=ATTACKER", false},
        {callback + "?frob=GENUINE", true},
        {"HTTPS://APP.Example:443/oauth/done?frob=GENUINE", true},
        {callback + "#frag", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        auto recorder = std::make_shared<Recorder>();
        recorder->callback = callback;
        auto view = SXOAuthView::initWithURLDelegate(*platform::URL::fromString("about:blank"), recorder);
        auto request = std::make_shared<platform::URLRequest>(*platform::URL::fromString(c.url));
        EXPECT_EQ(view->webViewShouldStartLoadWithRequestNavigationType(view->webView(), request,
                                                                        platform::WebViewNavigationTypeOther),
                  !c.isCallback);
        EXPECT_EQ(recorder->events, c.isCallback ? std::vector<std::string>{"success"} : std::vector<std::string>{});
        if (c.isCallback && platform::URL::fromString(c.url)->query()) {
            EXPECT_EQ(recorder->params, (SXOAuthViewDelegate::QueryParams{{"frob", "GENUINE"}}));
        }
    }
    // A callback written without a path is the same as one with "/".
    EXPECT_TRUE(SXOAuthView::isCallbackURL(*platform::URL::fromString("https://app.example/?a=1"),
                                           *platform::URL::fromString("https://app.example")));
}

TEST_F(SXOAuthViewTest, TheIndicatorStaysUpWhenShownAgainBeforeItFades) {
    auto indicator = SXActivityIndicator::currentIndicator();
    indicator->displayCompleted(std::string("Saved!"));
    EXPECT_EQ(indicator->superview(), window_);
    EXPECT_EQ(indicator->centerMessageLabel()->text(), "\u2713");
    advanceClock(0.3);
    pumpPending();
    indicator->displayActivity(std::string("Saving to X"));
    EXPECT_FALSE(indicator->centerMessageLabel());
    EXPECT_TRUE(indicator->spinner()->isAnimating());
    advanceClock(2);
    pumpPending();
    EXPECT_EQ(indicator->superview(), window_);
    EXPECT_EQ(indicator->frame(), platform::Rect(80, 160, 160, 160));

    indicator->displayCompleted(std::string("Done"));
    advanceClock(0.6);
    pumpPending();
    advanceClock(0.4);
    pumpPending();
    EXPECT_EQ(indicator->superview(), nullptr);
    EXPECT_EQ(SXActivityIndicator::currentIndicator(), indicator);
}

}  // namespace
}  // namespace clipora
