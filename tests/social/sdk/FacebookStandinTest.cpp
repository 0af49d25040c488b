// The session, its requests and its dialogs against the local stand-in of
// the social network.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/cfnetwork/HTTPCookieStorage.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/WebView.h"
#include "social/sdk/FBFrictionlessRequestSettings.h"
#include "social/sdk/FBLoginDialog.h"
#include "social/sdk/FBRequest.h"
#include "social/sdk/Facebook.h"
#include "tests/social/sdk/SdkTest.h"
#include "tools/standin/StandinServer.h"

namespace clipora {
namespace {

using platform::Application;
using platform::Date;
using platform::Text;
using platform::URL;
using platform::Value;
using standin::StandinHost;
using standin::StandinKnob;

// The system browser, or the network's own app: a web view that hands every
// URL of another scheme back to the application (here: to the session).
struct Browser : platform::WebViewDelegate {
    std::shared_ptr<platform::WebView> webView = std::make_shared<platform::WebView>();
    std::function<void(const URL&)> handOver;
    int finished = 0;

    bool webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<platform::WebView>&,
                                                         const std::shared_ptr<platform::URLRequest>& request,
                                                         platform::WebViewNavigationType) override {
        const URL& url = request->url();
        if (url.scheme() == "http" || url.scheme() == "https") return true;
        if (handOver) handOver(url);
        return false;
    }
    void webViewDidFinishLoad(const std::shared_ptr<platform::WebView>&) override { ++finished; }
};

// Sends the form `formId` shown in a web view with these fields, as the
// user's tap on a submit button would.
void submitForm(platform::WebView& webView, const std::string& formId, const std::string& fields) {
    const std::string& html = webView.documentHTML();
    auto form = html.find("id=\"" + formId + "\"");
    ASSERT_NE(form, std::string::npos) << html;
    auto start = html.find("action=\"", form) + 8;
    std::string action = Text::replaceAll(html.substr(start, html.find('"', start) - start), "&amp;", "&");
    auto url = URL::fromString(action);
    ASSERT_TRUE(url) << action;
    platform::URLRequest request(*url);
    request.setHTTPMethod("POST");
    request.setValueForHTTPHeaderField("application/x-www-form-urlencoded", "Content-Type");
    request.setHTTPBody(Text::toData(fields));
    webView.loadRequest(request);
}

void submitLoginForm(platform::WebView& webView, const std::string& email, const std::string& password,
                     const std::string& button = "login") {
    submitForm(webView, "login_form",
               "email=" + Text::percentEscape(email) + "&pass=" + Text::percentEscape(password) + "&" + button + "=1");
}

class FacebookStandinTest : public test::SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        server_.start();
        delegate_ = std::make_shared<test::SessionRecorder>();
        session_ = Facebook::initWithAppIdUrlSchemeSuffixAndDelegate("123", "movara", delegate_);
        browser_ = std::make_shared<Browser>();
        browser_->webView->setDelegate(browser_);
        browser_->handOver = [this](const URL& url) {
            returned_.push_back(url.absoluteString());
            session_->handleOpenURL(url);
        };
    }
    void TearDown() override {
        browser_->webView->stopLoading();
        server_.stop();
        SdkTest::TearDown();
    }

    // Plays an app installed under `scheme` that opens what it is given in
    // the browser.
    void installBrowserFor(const std::string& scheme, const std::string& rewriteTo = {}) {
        std::weak_ptr<Browser> browser = browser_;
        Application::sharedApplication()->registerURLSchemeHandler(scheme, [browser, rewriteTo](const URL& url) {
            std::string target = url.absoluteString();
            if (!rewriteTo.empty()) target = rewriteTo + url.query().value_or("");
            auto b = browser.lock();
            auto parsed = URL::fromString(target);
            if (!b || !parsed) return false;
            platform::RunLoop::main()->perform([b, parsed] { b->webView->loadRequest(platform::URLRequest(*parsed)); });
            return true;
        });
    }

    void signInBrowser(const std::string& uid) {
        auto login = *URL::fromString(server_.baseURL(StandinHost::Login));
        auto storage = platform::HTTPCookieStorage::sharedHTTPCookieStorage();
        for (const auto& value : server_.signIn(uid))
            storage->setCookie(platform::HTTPCookie::cookieFromSetCookieValue(value, login));
    }

    std::size_t socialCookies() const {
        return platform::HTTPCookieStorage::sharedHTTPCookieStorage()->cookiesForDomain("social.test").size();
    }

    std::shared_ptr<FBRequest> fql(const std::shared_ptr<test::RequestRecorder>& recorder) {
        return session_->requestWithParamsAndDelegate(
            {{"method", Value("fql.query")}, {"query", Value("SELECT uid, name FROM user WHERE uid = me()")}},
            recorder);
    }

    void returnWithToken(const std::string& token) {
        auto url =
            URL::fromString("fb123movara://authorize#access_token=" + Text::percentEscape(token) + "&expires_in=0");
        ASSERT_TRUE(url);
        ASSERT_TRUE(session_->handleOpenURL(*url));
    }

    bool finishDialog(const std::shared_ptr<FBDialog>& dialog) {
        advanceClock(FBDialog::kDismissDuration);
        pumpPending();
        return !dialog->isDescendantOfView(window_);
    }

    standin::StandinServer server_;
    std::shared_ptr<test::SessionRecorder> delegate_;
    std::shared_ptr<Facebook> session_;
    std::shared_ptr<Browser> browser_;
    std::vector<std::string> returned_;
};

TEST_F(FacebookStandinTest, SignInThroughTheNetworksApp) {
    signInBrowser(server_.meUid());
    // The network's app takes the hand-over and answers from its own session.
    installBrowserFor("fbauth2", server_.baseURL(StandinHost::Web) + "app/authorize?");
    session_->authorize({"user_videos"});
    ASSERT_TRUE(pumpUntil([&] { return !delegate_->events.empty(); }));
    EXPECT_EQ(delegate_->events, std::vector<std::string>{"login"});
    ASSERT_EQ(returned_.size(), 1u);
    EXPECT_TRUE(Text::hasPrefix(returned_[0], "fb123movara://authorize#access_token="));
    EXPECT_TRUE(session_->isSessionValid());

    // The token works.
    auto recorder = std::make_shared<test::RequestRecorder>();
    fql(recorder);
    ASSERT_TRUE(pumpUntil([&] { return recorder->done(); }));
    ASSERT_TRUE(recorder->result && recorder->result->isArray())
        << (recorder->error ? recorder->error->description() : "");
}

TEST_F(FacebookStandinTest, SignInThroughTheBrowser) {
    installBrowserFor("https");
    session_->authorize({"user_videos"});
    ASSERT_TRUE(pumpUntil([&] { return browser_->finished == 1; }));
    submitLoginForm(*browser_->webView, "robin@social.test", "standin");
    ASSERT_TRUE(pumpUntil([&] { return !delegate_->events.empty(); }));
    EXPECT_EQ(delegate_->events, std::vector<std::string>{"login"});
    EXPECT_TRUE(session_->isSessionValid());

    // Cancelling the login page comes back as a cancelled login.
    delegate_->events.clear();
    platform::HTTPCookieStorage::sharedHTTPCookieStorage()->deleteAllCookies();
    session_->authorize({"user_videos"});
    ASSERT_TRUE(pumpUntil([&] { return browser_->finished == 2; }));
    submitLoginForm(*browser_->webView, "", "", "cancel");
    ASSERT_TRUE(pumpUntil([&] { return !delegate_->events.empty(); }));
    EXPECT_EQ(delegate_->events, std::vector<std::string>{"notLogin cancelled"});
    EXPECT_TRUE(Text::contains(returned_.back(), "error=access_denied"));
}

TEST_F(FacebookStandinTest, SignInThroughTheDialogWithoutMultitasking) {
    platform::Device::currentDevice()->setMultitaskingSupported(false);
    session_->authorize({"user_videos"});
    auto dialog = session_->loginDialog();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(pumpUntil([&] { return !dialog->spinner()->isAnimating(); }));
    submitLoginForm(*dialog->webView(), "robin@social.test", "standin");
    ASSERT_TRUE(pumpUntil([&] { return !delegate_->events.empty(); }));
    EXPECT_EQ(delegate_->events, std::vector<std::string>{"login"});
    EXPECT_TRUE(session_->isSessionValid());
    EXPECT_TRUE(finishDialog(dialog));
}

TEST_F(FacebookStandinTest, ExtendsTheTokenOnceADay) {
    std::string token = server_.issueToken(server_.meUid(), 0);
    returnWithToken(token);
    ASSERT_TRUE(session_->isSessionValid());
    const std::string extend = "/method/auth.extendSSOAccessToken";

    std::vector<std::shared_ptr<test::RequestRecorder>> recorders;
    auto runRequests = [&](int count) {
        for (int i = 0; i < count; ++i) {
            recorders.push_back(std::make_shared<test::RequestRecorder>());
            fql(recorders.back());
        }
        // Requests sent together each open a TLS connection to the stand-in;
        // under the thread sanitizer on a loaded machine a batch of those
        // handshakes alone takes longer than the usual wait.
        ASSERT_TRUE(pumpUntil([&] { return session_->requests().empty(); }, 20));
    };
    advanceClock(23 * 3600 + 59 * 60);
    runRequests(3);
    EXPECT_TRUE(server_.requestsTo(extend).empty());

    advanceClock(60);
    runRequests(4);
    EXPECT_EQ(server_.requestsTo(extend).size(), 1u);
    EXPECT_EQ(delegate_->events, (std::vector<std::string>{"login", "extended"}));
    ASSERT_TRUE(session_->accessToken());
    EXPECT_NE(*session_->accessToken(), token);
    EXPECT_EQ(session_->lastAccessTokenUpdate(), Date::now());
    for (const auto& r : recorders) EXPECT_TRUE(r->result) << (r->error ? r->error->description() : "");

    // Fresh again: no further extension.
    runRequests(2);
    EXPECT_EQ(server_.requestsTo(extend).size(), 1u);
}

TEST_F(FacebookStandinTest, ARefusedTokenInvalidatesTheSession) {
    signInBrowser(server_.meUid());
    ASSERT_GT(socialCookies(), 0u);
    std::string token = server_.issueToken(server_.meUid(), 0);
    returnWithToken(token);
    server_.revokeToken(token);
    auto recorder = std::make_shared<test::RequestRecorder>();
    auto request = fql(recorder);
    // The request's delegate hears the failure before the session lets go.
    bool invalidatedFirst = false;
    ASSERT_TRUE(pumpUntil([&] {
        if (!recorder->done() && !delegate_->events.empty() && delegate_->events.back() == "invalidated")
            invalidatedFirst = true;
        return delegate_->events.back() == "invalidated";
    }));
    EXPECT_FALSE(invalidatedFirst);
    ASSERT_TRUE(recorder->error);
    EXPECT_EQ(recorder->error->code(), FBRequest::kErrorCodeSessionExpired);
    EXPECT_TRUE(request->sessionDidExpire());
    EXPECT_FALSE(session_->accessToken());
    EXPECT_FALSE(session_->isSessionValid());
    EXPECT_TRUE(session_->requests().empty());
    EXPECT_EQ(socialCookies(), 0u);
}

TEST_F(FacebookStandinTest, ClassifiesReplies) {
    session_->setAccessToken(server_.accessToken());
    session_->setExpirationDate(Date::distantFuture());
    session_->extendAccessTokenIfNeeded();  // done with the first extension
    ASSERT_TRUE(pumpUntil([&] { return session_->requests().empty(); }));

    struct Case {
        std::string name;
        StandinKnob knob;
        std::optional<Value> result;
        std::int64_t errorCode;
    };
    auto body = [](std::string text, int status = 0, std::string type = "application/json") {
        StandinKnob knob;
        knob.body = std::move(text);
        knob.status = status;
        knob.contentType = std::move(type);
        return knob;
    };
    StandinKnob errorPage;
    errorPage.status = 502;
    const Value::Dictionary graphError{
        {"error", Value::makeDictionary({{"message", Value("bad")}, {"type", Value("OAuthException")}})}};
    const std::vector<Case> cases = {
        {"true", body("true"), Value::makeDictionary({{"result", Value("true")}}), 0},
        {"false", body("false"), std::nullopt, FBRequest::kErrorCodeGeneric},
        {"text", body("<html><body>hi</body></html>", 0, "text/html"), Value("<html><body>hi</body></html>"), 0},
        {"bare number", body("12"), Value("12"), 0},
        {"array", body("[{\"uid\":1}]"), Value::makeArray({Value::makeDictionary({{"uid", Value(1)}})}), 0},
        {"dictionary", body("{\"id\":\"5\"}"), Value::makeDictionary({{"id", Value("5")}}), 0},
        {"graph error", body("{\"error\":{\"message\":\"bad\",\"type\":\"OAuthException\"}}", 400), std::nullopt,
         FBRequest::kErrorCodeGeneric},
        {"rest error", body("{\"error_code\":100,\"error_msg\":\"missing\"}"), std::nullopt, 100},
        {"error_msg", body("{\"error_msg\":\"nope\"}"), std::nullopt, FBRequest::kErrorCodeGeneric},
        {"error_reason", body("{\"error_reason\":\"nope\"}"), std::nullopt, FBRequest::kErrorCodeGeneric},
        {"error page", errorPage, std::nullopt, FBRequest::kErrorCodeGeneric},
        {"html 503", body("<html>maintenance</html>", 503, "text/html"), std::nullopt, FBRequest::kErrorCodeGeneric},
        {"not utf-8", body(std::string("\xff\xfe[]", 4)), std::nullopt, FBRequest::kErrorCodeGeneric},
    };
    for (const auto& c : cases) {
        server_.setKnob("/method/fql.query", c.knob);
        auto recorder = std::make_shared<test::RequestRecorder>();
        auto request = fql(recorder);
        ASSERT_TRUE(pumpUntil([&] { return request->state() == FBRequest::StateComplete; })) << c.name;
        EXPECT_EQ(recorder->result, c.result) << c.name;
        if (c.errorCode) {
            ASSERT_TRUE(recorder->error) << c.name;
            EXPECT_EQ(recorder->error->domain(), FBRequest::kErrorDomain) << c.name;
            EXPECT_EQ(recorder->error->code(), c.errorCode) << c.name;
            EXPECT_EQ(recorder->events.back(), "fail") << c.name;
            EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), "load"), 0) << c.name;
        } else {
            EXPECT_FALSE(recorder->error) << c.name;
        }
        EXPECT_FALSE(request->sessionDidExpire()) << c.name;
    }
    EXPECT_TRUE(session_->isSessionValid());
    // The REST error's user info is the network's reply; the error page's
    // carries the status.
    server_.setKnob("/method/fql.query", errorPage);
    auto recorder = std::make_shared<test::RequestRecorder>();
    fql(recorder);
    ASSERT_TRUE(pumpUntil([&] { return recorder->done(); }));
    EXPECT_EQ(recorder->error->userInfo().at(std::string(FBRequest::kHTTPStatusCodeKey)), Value(502));
}

TEST_F(FacebookStandinTest, OversizedAndCutRepliesFail) {
    session_->setAccessToken(server_.accessToken());
    session_->setExpirationDate(Date::distantFuture());
    StandinKnob big;
    big.body = std::string(4096, ' ') + "[]";
    server_.setKnob("/method/fql.query", big);
    FBRequest::setMaxResponseLength(1024);
    auto recorder = std::make_shared<test::RequestRecorder>();
    auto request = fql(recorder);
    ASSERT_TRUE(pumpUntil([&] { return request->state() == FBRequest::StateComplete; }));
    ASSERT_TRUE(recorder->error);
    EXPECT_EQ(recorder->error->code(), FBRequest::kErrorCodeGeneric);

    FBRequest::setMaxResponseLength(FBRequest::kDefaultMaxResponseLength);
    StandinKnob cut;
    cut.body = "[{\"uid\":1},{\"uid\":2}]";
    cut.truncateAfter = 5;
    server_.setKnob("/method/fql.query", cut);
    auto cutRecorder = std::make_shared<test::RequestRecorder>();
    auto cutRequest = fql(cutRecorder);
    ASSERT_TRUE(pumpUntil([&] { return cutRequest->state() == FBRequest::StateComplete; }));
    EXPECT_TRUE(cutRecorder->error);
    EXPECT_FALSE(cutRecorder->result);
}

TEST_F(FacebookStandinTest, PostsCarryTheirParametersInTheBodyOnly) {
    session_->setAccessToken(server_.accessToken());
    session_->setExpirationDate(Date::distantFuture());
    auto recorder = std::make_shared<test::RequestRecorder>();
    session_->requestWithMethodNameAndParamsAndHttpMethodAndDelegate(
        "links.post", {{"url", Value("https://www.social.test/video/video.php?v=1")}, {"comment", Value("Look")}},
        "POST", recorder);
    ASSERT_TRUE(pumpUntil([&] { return recorder->done(); }));
    EXPECT_TRUE(recorder->result) << (recorder->error ? recorder->error->description() : "");
    auto received = server_.requestsTo("/method/links.post");
    ASSERT_EQ(received.size(), 1u);
    EXPECT_TRUE(received[0].query.empty());
    EXPECT_EQ(received[0].form.at("access_token"), server_.accessToken());
    EXPECT_EQ(received[0].form.at("comment"), "Look");
    EXPECT_EQ(received[0].header("user-agent"), "FacebookConnect");
    EXPECT_TRUE(received[0].bodyError.empty()) << received[0].bodyError;
}

TEST_F(FacebookStandinTest, LogoutSignsTheBrowserOut) {
    platform::Device::currentDevice()->setMultitaskingSupported(false);
    session_->authorize({});
    auto first = session_->loginDialog();
    ASSERT_TRUE(pumpUntil([&] { return !first->webView()->isLoading() && !first->webView()->documentHTML().empty(); }));
    submitLoginForm(*first->webView(), "robin@social.test", "standin");
    ASSERT_TRUE(pumpUntil([&] { return !delegate_->events.empty(); }));
    ASSERT_TRUE(finishDialog(first));
    // The login cookies are secure and scoped to the network's domain.
    ASSERT_GT(socialCookies(), 0u);

    // Signed in, the next login page signs the same user in by itself.
    session_->authorize({});
    ASSERT_TRUE(pumpUntil([&] { return delegate_->events.size() == 2; }));
    EXPECT_EQ(delegate_->events[1], "login");
    ASSERT_TRUE(finishDialog(session_->loginDialog()));

    session_->logout();
    EXPECT_EQ(socialCookies(), 0u);
    session_->authorize({});
    auto next = session_->loginDialog();
    ASSERT_TRUE(pumpUntil([&] { return !next->webView()->isLoading() && !next->webView()->documentHTML().empty(); }));
    EXPECT_TRUE(Text::contains(next->webView()->documentHTML(), "login_form"));
    EXPECT_EQ(delegate_->events, (std::vector<std::string>{"login", "login", "logout"}));
    EXPECT_FALSE(session_->isSessionValid());
    next->dismiss(false);
}

TEST_F(FacebookStandinTest, DialogsReportWhatThePageDid) {
    session_->setAccessToken(server_.accessToken());
    session_->setExpirationDate(Date::distantFuture());
    auto delegate = std::make_shared<test::DialogRecorder>();
    auto showPage = [&](const std::string& action, Value::Dictionary params) {
        session_->dialogAndParamsAndDelegate(action, std::move(params), delegate);
        auto dialog = session_->fbDialog();
        EXPECT_TRUE(pumpUntil([&] { return !dialog->spinner()->isAnimating(); }));
        return dialog;
    };

    auto post = showPage("stream.publish", {{"user_message_prompt", Value("Say something")}});
    EXPECT_TRUE(Text::contains(post->webView()->documentHTML(), "Say something"));
    submitForm(*post->webView(), "dialog_form", "message=Hi&publish=1");
    ASSERT_TRUE(pumpUntil([&] { return delegate->events.size() == 2; }));
    EXPECT_TRUE(Text::hasPrefix(delegate->events[0], "completeWithUrl fbconnect://success?post_id="));
    EXPECT_EQ(delegate->events[1], "complete");
    EXPECT_TRUE(finishDialog(post));

    delegate->events.clear();
    auto skipped = showPage("feed", {});
    submitForm(*skipped->webView(), "dialog_form", "cancel=1");
    ASSERT_TRUE(pumpUntil([&] { return delegate->events.size() == 2; }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"notCompleteWithUrl fbconnect://cancel", "notComplete"}));
    EXPECT_TRUE(finishDialog(skipped));

    // A request to a new friend shows its page; the page's list of former
    // recipients becomes the cache, so the next request to that friend goes
    // out without showing anything.
    session_->enableFrictionlessRequests();
    ASSERT_TRUE(pumpUntil([&] { return !session_->frictionlessRequestSettings()->activeRequest(); }));
    delegate->events.clear();
    EXPECT_FALSE(session_->isFrictionlessEnabledForRecipient("100005"));
    auto first = showPage("apprequests", {{"to", Value("100005")}, {"message", Value("Join")}});
    EXPECT_FALSE(first->isViewInvisible());
    submitForm(*first->webView(), "dialog_form", "publish=1");
    ASSERT_TRUE(pumpUntil([&] { return delegate->events.size() == 2; }));
    EXPECT_TRUE(session_->isFrictionlessEnabledForRecipient("100005"));
    EXPECT_TRUE(finishDialog(first));

    delegate->events.clear();
    session_->dialogAndParamsAndDelegate("apprequests", {{"to", Value("100005")}, {"message", Value("Again")}},
                                         delegate);
    auto second = session_->fbDialog();
    EXPECT_TRUE(second->isViewInvisible());
    ASSERT_TRUE(pumpUntil([&] { return delegate->events.size() == 2; }));
    EXPECT_EQ(delegate->events[1], "complete");
    advanceClock(1);
    pumpPending();
    EXPECT_TRUE(window_->subviews().empty());
}

}  // namespace
}  // namespace clipora
