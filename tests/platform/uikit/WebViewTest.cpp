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

}  // namespace
}  // namespace clipora::platform
