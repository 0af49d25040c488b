#include "platform/uikit/WebView.h"

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Text.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Nesting.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

// Records every call in order and refuses the navigations whose URL starts
// with one of `refuse`.
struct RecordingDelegate : WebViewDelegate {
    std::vector<std::string> events;
    std::vector<std::string> refuse;
    std::vector<Error> errors;
    int ended = 0;

    bool webViewShouldStartLoadWithRequestNavigationType(const std::shared_ptr<WebView>&,
                                                         const std::shared_ptr<URLRequest>& request,
                                                         WebViewNavigationType type) override {
        const std::string& url = request->url().absoluteString();
        events.push_back("should " + std::to_string(type) + " " + url);
        for (const auto& r : refuse)
            if (Text::hasPrefix(url, r)) return false;
        return true;
    }
    void webViewDidStartLoad(const std::shared_ptr<WebView>&) override { events.push_back("start"); }
    void webViewDidFinishLoad(const std::shared_ptr<WebView>&) override {
        events.push_back("finish");
        ++ended;
    }
    void webViewDidFailLoadWithError(const std::shared_ptr<WebView>&, const Error& error) override {
        events.push_back("fail " + std::to_string(error.code()));
        errors.push_back(error);
        ++ended;
    }
};

// Two forms: a sign-in form posted to a relative action, and a search
// form sent by GET; a field outside both joins the first by its "form".
constexpr const char* kFormPage = R"html(<html><body>
<form id="signin" method="POST" action="echo">
  <input type="hidden" name="token" value="t 1">
  <label>User <input name="user" placeholder="name"></label>
  <label for="pw">Password</label> <input id="pw" type="password" name="pass">
  <input type="checkbox" name="remember" checked> <input type="checkbox" name="spam" value="yes">
  <textarea name="note">line1
line2</textarea>
  <select name="size"><option value="s">S</option><option value="m" selected>M</option></select>
  <input type="text" name="off" value="x" disabled>
  <input type="submit" name="go" value="Sign In"> <button name="other" value="o">Other <b>way</b></button>
  <input type="submit" value="Elsewhere" formaction="/signin">
</form>
<input name="extra" value="e" form="signin">
<form method="get" action="/echo?old=1#top"><input name="q"><input type="submit" name="find" value="Find"></form>
<form action="javascript:void(0)"><input name="z"><input type="submit"></form>
</body></html>)html";

// The index of the control named `name` (or, when `label` is given, labelled so).
std::size_t controlIndex(const HTMLForm& form, const std::string& name, const std::string& label = {}) {
    for (std::size_t i = 0; i < form.controls.size(); ++i)
        if (label.empty() ? form.controls[i].name == name : form.controls[i].label == label) return i;
    ADD_FAILURE() << "no control " << name << label;
    return form.controls.size();
}

class WebViewTest : public test::PlatformTest {
protected:
    void SetUp() override {
        test::PlatformTest::SetUp();
        useSystemClock();  // real connections time out by the real clock
        auto& s = server_.server();
        // One request per connection: stopping the server then never waits
        // for an idle keep-alive connection to time out.
        s.set_keep_alive_max_count(1);
        s.Get("/a", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(
                "<html><head><title> Page &amp; A </title></head>"
                "<body><p id=\"pin\">12<b>34</b></p><a href=\"b\">b</a></body></html>",
                "text/html");
        });
        s.Get("/b", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><head><title>B</title></head><body>bee</body></html>", "text/html");
        });
        s.Get("/redirect",
              [](const httplib::Request& q, httplib::Response& r) { r.set_redirect(q.get_param_value("to")); });
        s.Get("/missing", [](const httplib::Request&, httplib::Response& r) {
            r.status = 404;
            r.set_content("<title>Not here</title>", "text/html");
        });
        s.Get("/login", [](const httplib::Request&, httplib::Response& r) {
            r.set_header("Set-Cookie", "session=s3cret; Path=/");
            r.set_content("<title>in</title>", "text/html");
        });
        s.Get("/whoami", [](const httplib::Request& q, httplib::Response& r) {
            r.set_content("<body>" + q.get_header_value("Cookie") + "</body>", "text/html");
        });
        s.Get("/form", [](const httplib::Request&, httplib::Response& r) { r.set_content(kFormPage, "text/html"); });
        // Echoes how a form came: method, target, content type and body.
        auto echo = [](const httplib::Request& q, httplib::Response& r) {
            r.set_content("<body>" + q.method + "|" + q.target + "|" + q.get_header_value("Content-Type") + "|" +
                              q.body + "</body>",
                          "text/html");
        };
        s.Get("/echo", echo);
        s.Post("/echo", echo);
        s.Post("/signin", [](const httplib::Request&, httplib::Response& r) {
            r.status = 303;
            r.set_header("Location", "/echo?signed=in");
        });
        server_.start();
        view_ = std::make_shared<WebView>(Rect(0, 0, 320, 460));
        delegate_ = std::make_shared<RecordingDelegate>();
        view_->setDelegate(delegate_);
    }

    void TearDown() override {
        view_.reset();
        server_.stop();
        test::PlatformTest::TearDown();
    }

    std::string url(const std::string& path) const { return server_.url(path); }
    URLRequest requestFor(const std::string& path) const { return URLRequest(*URL::fromString(url(path))); }

    // Waits until `count` loads have ended in all.
    bool waitForEnds(int count) {
        return pumpUntil([&] { return delegate_->ended >= count; }, 10);
    }

    test::LoopbackServer server_;
    std::shared_ptr<WebView> view_;
    std::shared_ptr<RecordingDelegate> delegate_;
};

TEST_F(WebViewTest, LoadsAPageAndAnswersScriptsFromItsHTML) {
    view_->loadRequest(requestFor("/a"));
    EXPECT_TRUE(view_->isLoading());
    EXPECT_EQ(view_->request()->url().absoluteString(), url("/a"));
    ASSERT_TRUE(waitForEnds(1));
    EXPECT_EQ(delegate_->events, (std::vector<std::string>{"should 5 " + url("/a"), "start", "finish"}));
    EXPECT_FALSE(view_->isLoading());
    EXPECT_EQ(view_->mainDocumentURL()->absoluteString(), url("/a"));
    EXPECT_EQ(view_->response()->statusCode(), 200);

    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.title"), "Page & A");
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.body.innerHTML"),
              "<p id=\"pin\">12<b>34</b></p><a href=\"b\">b</a>");
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.getElementById('pin').innerHTML;"),
              "12<b>34</b>");
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.URL"), url("/a"));
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("Quorbel_ModifyLinkTargets()"), "");
    EXPECT_EQ(view_->evaluatedScripts().size(), 5u);
    EXPECT_EQ(view_->evaluatedScripts().back(), "Quorbel_ModifyLinkTargets()");

    // An HTTP error status is a page like any other.
    view_->loadRequest(requestFor("/missing"));
    ASSERT_TRUE(waitForEnds(2));
    EXPECT_EQ(delegate_->events.back(), "finish");
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.title"), "Not here");
}

TEST_F(WebViewTest, DelegateIsAskedAboutRedirectsAndARefusalInterruptsTheLoad) {
    view_->loadRequest(requestFor("/a"));
    ASSERT_TRUE(waitForEnds(1));

    // A redirect it allows: asked twice, the page is the target.
    view_->loadRequest(requestFor("/redirect?to=" + url("/b")));
    ASSERT_TRUE(waitForEnds(2));
    EXPECT_EQ(delegate_->events[3], "should 5 " + url("/redirect?to=" + url("/b")));
    EXPECT_EQ(delegate_->events[5], "should 5 " + url("/b"));
    EXPECT_EQ(delegate_->events[6], "finish");
    EXPECT_EQ(view_->request()->url().absoluteString(), url("/b"));

    // A redirect to the dialog's completion address, refused.
    delegate_->events.clear();
    delegate_->refuse = {"fbconnect:"};
    view_->loadRequest(requestFor("/redirect?to=fbconnect%3A%2F%2Fsuccess%3Faccess_token%3DT"));
    ASSERT_TRUE(waitForEnds(3));
    EXPECT_EQ(delegate_->events[2], "should 5 fbconnect://success?access_token=T");
    EXPECT_EQ(delegate_->events[3], "fail 102");
    EXPECT_EQ(delegate_->errors.back().domain(), Error::kWebKitErrorDomain);
    // The page shown before stays.
    EXPECT_EQ(view_->request()->url().absoluteString(), url("/b"));
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.title"), "B");
    EXPECT_TRUE(view_->canGoBack());
}

TEST_F(WebViewTest, RefusedNavigationDoesNothingAtAll) {
    delegate_->refuse = {url("/b")};
    view_->loadRequest(requestFor("/b"));
    EXPECT_FALSE(view_->isLoading());
    pumpPending();
    EXPECT_EQ(delegate_->events, std::vector<std::string>{"should 5 " + url("/b")});
    EXPECT_EQ(view_->request(), nullptr);
}

TEST_F(WebViewTest, HistoryGoesBackForwardAndReloadsWithTheirNavigationTypes) {
    view_->loadRequest(requestFor("/a"));
    ASSERT_TRUE(waitForEnds(1));
    EXPECT_FALSE(view_->canGoBack());
    view_->simulateLinkClick("b");  // relative to the page
    ASSERT_TRUE(waitForEnds(2));
    EXPECT_EQ(delegate_->events[3], "should 0 " + url("/b"));
    EXPECT_TRUE(view_->canGoBack());
    EXPECT_FALSE(view_->canGoForward());

    view_->goBack();
    ASSERT_TRUE(waitForEnds(3));
    EXPECT_EQ(delegate_->events[6], "should 2 " + url("/a"));
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.title"), "Page & A");
    EXPECT_FALSE(view_->canGoBack());
    EXPECT_TRUE(view_->canGoForward());

    view_->goForward();
    ASSERT_TRUE(waitForEnds(4));
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.title"), "B");
    view_->reload();
    ASSERT_TRUE(waitForEnds(5));
    EXPECT_EQ(delegate_->events[12], "should 3 " + url("/b"));
    EXPECT_TRUE(view_->canGoBack());
    EXPECT_FALSE(view_->canGoForward());

    // A new page after going back drops the forward entries.
    view_->goBack();
    ASSERT_TRUE(waitForEnds(6));
    view_->simulateLinkClick(url("/missing"));
    ASSERT_TRUE(waitForEnds(7));
    EXPECT_FALSE(view_->canGoForward());
}

TEST_F(WebViewTest, StoppingOrReplacingALoadFailsItAsCancelled) {
    view_->loadRequest(requestFor("/a"));
    view_->stopLoading();
    EXPECT_FALSE(view_->isLoading());
    ASSERT_TRUE(waitForEnds(1));
    EXPECT_EQ(delegate_->events.back(), "fail -999");
    EXPECT_EQ(delegate_->errors.back().domain(), Error::kURLErrorDomain);

    view_->loadRequest(requestFor("/a"));
    view_->loadRequest(requestFor("/b"));
    ASSERT_TRUE(waitForEnds(3));
    EXPECT_EQ(delegate_->events,
              (std::vector<std::string>{"should 5 " + url("/a"), "start", "fail -999", "should 5 " + url("/a"),
                                        "should 5 " + url("/b"), "start", "fail -999", "start", "finish"}));
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.title"), "B");
    EXPECT_FALSE(view_->canGoBack());
}

TEST_F(WebViewTest, HTMLStringsFilesAndOtherSchemes) {
    view_->loadHTMLStringBaseURL("<HTML><BODY><title>Widget</title><a href='x'>x</a></BODY></HTML>",
                                 URL::fromString(url("/dir/")));
    ASSERT_TRUE(waitForEnds(1));
    EXPECT_EQ(delegate_->events.front(), "should 5 " + url("/dir/"));
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.title"), "Widget");
    EXPECT_EQ(view_->documentHTML(), "<HTML><BODY><title>Widget</title><a href='x'>x</a></BODY></HTML>");

    delegate_->refuse = {url("/dir/x")};
    view_->simulateLinkClick("x");
    EXPECT_EQ(delegate_->events.back(), "should 0 " + url("/dir/x"));

    std::string file = (home() / "Documents" / "page.html").string();
    std::ofstream(file) << "<title>From disk</title>";
    view_->loadRequest(URLRequest(URL::fileURLWithPath(file)));
    ASSERT_TRUE(waitForEnds(2));
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.title"), "From disk");
    view_->goBack();  // back to the string page, given again
    ASSERT_TRUE(waitForEnds(3));
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.title"), "Widget");

    view_->loadRequest(URLRequest(URL::fileURLWithPath((home() / "absent.html").string())));
    view_->loadRequest(URLRequest(*URL::fromString("mailto:someone@example.com")));
    ASSERT_TRUE(waitForEnds(5));
    EXPECT_EQ(delegate_->errors.at(0).code(), Error::kURLErrorCancelled);  // the file load, replaced
    EXPECT_EQ(delegate_->errors.at(1).code(), Error::kURLErrorUnsupportedURL);

    view_->loadRequest(URLRequest(URL::fileURLWithPath((home() / "absent.html").string())));
    ASSERT_TRUE(waitForEnds(6));
    EXPECT_EQ(delegate_->errors.back().code(), Error::kURLErrorFileDoesNotExist);
}

TEST_F(WebViewTest, APageNestedTooDeeplyFailsToLoadAndTheLastPageStays) {
    view_->loadHTMLStringBaseURL("<title>Kept</title>", std::nullopt);
    ASSERT_TRUE(waitForEnds(1));
    view_->loadHTMLStringBaseURL(test::nested("<div>", "x", "</div>", test::kMillionLevels), std::nullopt);
    ASSERT_TRUE(waitForEnds(2));
    ASSERT_EQ(delegate_->errors.size(), 1u);
    EXPECT_EQ(delegate_->errors[0].code(), Error::kURLErrorCannotParseResponse);
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.title"), "Kept");
    EXPECT_EQ(view_->documentHTML(), "<title>Kept</title>");
    EXPECT_FALSE(view_->canGoBack());
}

TEST_F(WebViewTest, PagesShareTheCookieStore) {
    view_->loadRequest(requestFor("/login"));
    ASSERT_TRUE(waitForEnds(1));
    view_->loadRequest(requestFor("/whoami"));
    ASSERT_TRUE(waitForEnds(2));
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.body.innerHTML"), "session=s3cret");
}

TEST_F(WebViewTest, ReadsAPagesFormsWithTheirFieldsLabelsAndButtons) {
    view_->loadRequest(requestFor("/form"));
    ASSERT_TRUE(waitForEnds(1));
    const auto& forms = view_->forms();
    ASSERT_EQ(forms.size(), 3u);
    const HTMLForm& signin = forms[0];
    EXPECT_EQ(signin.id, "signin");
    EXPECT_EQ(signin.method, "post");
    EXPECT_EQ(signin.action, "echo");
    EXPECT_EQ(forms[1].method, "get");
    const auto& user = signin.controls[controlIndex(signin, "user")];
    EXPECT_TRUE(user.isTextField());
    EXPECT_EQ(user.type, "text");
    EXPECT_EQ(user.label, "User");
    const auto& pass = signin.controls[controlIndex(signin, "pass")];
    EXPECT_TRUE(pass.isSecure());
    EXPECT_EQ(pass.label, "Password");
    EXPECT_EQ(signin.controls[controlIndex(signin, "note")].value, "line1\nline2");
    EXPECT_EQ(signin.controls[controlIndex(signin, "size")].value, "m");
    const auto& other = signin.controls[controlIndex(signin, "other")];
    EXPECT_TRUE(other.isSubmitButton());
    EXPECT_EQ(other.label, "Other way");
    EXPECT_EQ(other.value, "o");
    EXPECT_FALSE(signin.controls[controlIndex(signin, "token")].isTextField());
    EXPECT_TRUE(signin.controls[controlIndex(signin, "off")].disabled);
    EXPECT_EQ(signin.controls.back().name, "extra");  // joined by its form attribute
}

TEST_F(WebViewTest, FilledFormIsPostedFormUrlencodedWithItsButtonThroughTheDelegate) {
    view_->loadRequest(requestFor("/form"));
    ASSERT_TRUE(waitForEnds(1));
    const HTMLForm signin = view_->forms()[0];
    // The user taps the field and types; a secure field's editor is secure.
    ASSERT_TRUE(view_->focusFormField(0, controlIndex(signin, "user")));
    auto editor = std::dynamic_pointer_cast<TextField>(Responder::firstResponder());
    ASSERT_TRUE(editor);
    EXPECT_FALSE(editor->isSecureTextEntry());
    editor->typeText("robin smith");
    ASSERT_TRUE(view_->focusFormField(0, controlIndex(signin, "pass")));
    EXPECT_TRUE(editor->isSecureTextEntry());
    editor->typeText("p&ss=1 \xC3\xA9");
    EXPECT_EQ(view_->forms()[0].controls[controlIndex(signin, "user")].value, "robin smith");
    // Only text fields can be typed into.
    EXPECT_FALSE(view_->setFormFieldValue(0, controlIndex(signin, "token"), "forged"));
    EXPECT_FALSE(view_->setFormFieldValue(0, controlIndex(signin, "off"), "on"));
    EXPECT_FALSE(view_->focusFormField(0, controlIndex(signin, "go")));

    ASSERT_TRUE(view_->submitForm(0, controlIndex(signin, "go")));
    ASSERT_TRUE(waitForEnds(2));
    EXPECT_EQ(delegate_->events[3], "should 1 " + url("/echo"));
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.body.innerHTML"),
              "POST|/echo|application/x-www-form-urlencoded|token=t+1&user=robin+smith&pass=p%26ss%3D1+%C3%A9"
              "&remember=on&note=line1%0D%0Aline2&size=m&go=Sign+In&extra=e");
    EXPECT_FALSE(Responder::firstResponder());

    // Another button: its own name and value; a button with an action of its
    // own posts there, and the redirect after the post is followed by GET.
    view_->goBack();
    ASSERT_TRUE(waitForEnds(3));
    ASSERT_TRUE(view_->submitForm(0, controlIndex(signin, "", "Elsewhere")));
    ASSERT_TRUE(waitForEnds(4));
    EXPECT_EQ(view_->mainDocumentURL()->absoluteString(), url("/echo?signed=in"));
    EXPECT_TRUE(Text::hasPrefix(view_->stringByEvaluatingJavaScriptFromString("document.body.innerHTML"),
                                "GET|/echo?signed=in|"));
}

TEST_F(WebViewTest, FormSentByGetReplacesTheActionsQueryAndReturnPressesTheFirstButton) {
    view_->loadRequest(requestFor("/form"));
    ASSERT_TRUE(waitForEnds(1));
    ASSERT_TRUE(view_->focusFormField(1, 0));
    auto editor = std::dynamic_pointer_cast<TextField>(Responder::firstResponder());
    ASSERT_TRUE(editor);
    editor->typeText("a b/c");
    editor->pressReturn();
    ASSERT_TRUE(waitForEnds(2));
    EXPECT_EQ(view_->mainDocumentURL()->absoluteString(), url("/echo?q=a+b%2Fc&find=Find"));
    EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.body.innerHTML"),
              "GET|/echo?q=a+b%2Fc&find=Find||");
}

TEST_F(WebViewTest, SubmissionsTheDelegateRefusesOrThatCannotBeSentDoNothing) {
    view_->loadRequest(requestFor("/form"));
    ASSERT_TRUE(waitForEnds(1));
    const HTMLForm signin = view_->forms()[0];
    delegate_->refuse = {url("/echo")};
    EXPECT_FALSE(view_->submitForm(0));
    EXPECT_EQ(delegate_->events.back(), "should 1 " + url("/echo"));
    EXPECT_FALSE(view_->isLoading());
    // Not a submit button, no such form, an action that is no web address.
    EXPECT_FALSE(view_->submitForm(0, controlIndex(signin, "user")));
    EXPECT_FALSE(view_->submitForm(7));
    EXPECT_FALSE(view_->submitForm(2));
    EXPECT_EQ(delegate_->ended, 1);
    // A new page forgets what was typed into the last one.
    ASSERT_TRUE(view_->setFormFieldValue(0, controlIndex(signin, "user"), "typed"));
    view_->reload();
    ASSERT_TRUE(waitForEnds(2));
    EXPECT_EQ(view_->forms()[0].controls[controlIndex(signin, "user")].value, "");
}

}  // namespace
}  // namespace clipora::platform
