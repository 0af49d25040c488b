#include "social/sdk/FBDialog.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cfnetwork/URLRequest.h"
#include "platform/foundation/InvalidArgumentException.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/Screen.h"
#include "social/sdk/FBFrictionlessRequestSettings.h"
#include "social/sdk/FBLoginDialog.h"
#include "social/sdk/Facebook.h"
#include "tests/social/sdk/SdkTest.h"

namespace clipora {
namespace {

using platform::Application;
using platform::Date;
using platform::Error;
using platform::URL;
using platform::Value;
using platform::WebViewNavigationType;

struct LoginRecorder : FBLoginDialogDelegate {
    std::vector<std::string> events;
    std::optional<std::string> token;
    std::optional<Date> expiry;
    void fbDialogLoginExpirationDate(const std::string& t, Date e) override {
        events.push_back("login");
        token = t;
        expiry = e;
    }
    void fbDialogNotLogin(bool cancelled) override { events.push_back(cancelled ? "notLogin cancelled" : "notLogin"); }
};

class FBDialogTest : public test::SdkTest {
protected:
    // The web view asks the dialog about a navigation.
    static bool navigate(const std::shared_ptr<FBDialog>& dialog, const std::string& url,
                         WebViewNavigationType type = platform::WebViewNavigationTypeOther) {
        auto request = std::make_shared<platform::URLRequest>(*URL::fromString(url));
        return dialog->webViewShouldStartLoadWithRequestNavigationType(dialog->webView(), request, type);
    }

    std::shared_ptr<FBDialog> shownDialog(const std::shared_ptr<test::DialogRecorder>& delegate) {
        auto dialog = FBDialog::initWithURLParamsIsViewInvisibleFrictionlessSettingsDelegate(
            "https://web.social.test/dialog/feed", {{"app_id", Value("123")}}, false, nullptr, delegate);
        dialog->show();
        return dialog;
    }
};

TEST_F(FBDialogTest, ShowsCentredInTheWindowAndGoesAwayAfterTheFade) {
    auto delegate = std::make_shared<test::DialogRecorder>();
    auto dialog = shownDialog(delegate);
    EXPECT_EQ(dialog->loadingURL()->absoluteString(), "https://web.social.test/dialog/feed?app_id=123");
    EXPECT_TRUE(dialog->isDescendantOfView(window_));
    EXPECT_EQ(dialog->bounds(), platform::Rect(0, 0, 320, 460));
    EXPECT_EQ(dialog->webView()->frame(), platform::Rect(11, 11, 298, 439));
    EXPECT_TRUE(dialog->spinner()->isAnimating());

    dialog->closeButton()->tap();
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"notCompleteWithUrl none", "notComplete"}));
    EXPECT_FALSE(dialog->loadingURL());
    EXPECT_TRUE(dialog->isDescendantOfView(window_));  // still fading
    advanceClock(FBDialog::kDismissDuration);
    pumpPending();
    EXPECT_FALSE(dialog->isDescendantOfView(window_));
    EXPECT_TRUE(window_->subviews().empty());
}

TEST_F(FBDialogTest, ReadsTheOutcomeFromTheReturnURL) {
    struct Case {
        std::string url;
        std::vector<std::string> events;
        std::int64_t errorCode;
    };
    const std::vector<Case> cases = {
        {"fbconnect://cancel", {"notCompleteWithUrl fbconnect://cancel", "notComplete"}, 0},
        {"fbconnect://cancel?error_code=4201&error_msg=User%20canceled", {"fail"}, 4201},
        {"fbconnect://success?post_id=1_2", {"completeWithUrl fbconnect://success?post_id=1_2", "complete"}, 0},
        // Too short to be a cancel.
        {"fbconnect://x", {"completeWithUrl fbconnect://x", "complete"}, 0},
    };
    for (const auto& c : cases) {
        auto delegate = std::make_shared<test::DialogRecorder>();
        auto dialog = shownDialog(delegate);
        EXPECT_FALSE(navigate(dialog, c.url)) << c.url;
        EXPECT_EQ(delegate->events, c.events) << c.url;
        if (c.errorCode) {
            ASSERT_TRUE(delegate->error);
            EXPECT_EQ(delegate->error->domain(), FBRequest::kErrorDomain);
            EXPECT_EQ(delegate->error->code(), c.errorCode);
            EXPECT_EQ(delegate->error->userInfo().at("error_msg"), Value("User canceled"));
        }
        EXPECT_FALSE(dialog->loadingURL());
    }
}

TEST_F(FBDialogTest, LinksOpenInTheBrowserUnlessTheDelegateSaysNo) {
    auto delegate = std::make_shared<test::DialogRecorder>();
    auto dialog = shownDialog(delegate);
    auto opened = [] { return Application::sharedApplication()->openedURLs().size(); };
    // The page itself, form posts and redirects load in place.
    EXPECT_TRUE(navigate(dialog, dialog->loadingURL()->absoluteString(), platform::WebViewNavigationTypeLinkClicked));
    EXPECT_TRUE(navigate(dialog, "https://login.social.test/login.php", platform::WebViewNavigationTypeFormSubmitted));
    EXPECT_TRUE(navigate(dialog, "https://web.social.test/other"));
    EXPECT_EQ(opened(), 0u);

    EXPECT_FALSE(navigate(dialog, "https://www.social.test/help", platform::WebViewNavigationTypeLinkClicked));
    EXPECT_EQ(opened(), 1u);
    delegate->openExternally = false;
    EXPECT_FALSE(navigate(dialog, "https://www.social.test/terms", platform::WebViewNavigationTypeLinkClicked));
    EXPECT_EQ(opened(), 1u);
    EXPECT_TRUE(delegate->events.back() == "askExternal https://www.social.test/terms");
}

TEST_F(FBDialogTest, InterruptedLoadsAreNotFailures) {
    auto delegate = std::make_shared<test::DialogRecorder>();
    auto dialog = shownDialog(delegate);
    dialog->webViewDidFailLoadWithError(dialog->webView(), Error(std::string(Error::kWebKitErrorDomain), 102));
    dialog->webViewDidFailLoadWithError(dialog->webView(), Error(std::string(Error::kURLErrorDomain), -999));
    EXPECT_TRUE(delegate->events.empty());
    dialog->webViewDidFailLoadWithError(dialog->webView(), Error(std::string(Error::kURLErrorDomain), -1001));
    EXPECT_EQ(delegate->events, std::vector<std::string>{"fail"});
}

TEST_F(FBDialogTest, NeedleLookup) {
    struct Case {
        std::string url;
        std::optional<std::string> value;
    };
    const std::vector<Case> cases = {
        {"fbconnect://success#access_token=abc&expires_in=0", "abc"},
        {"access_token=first", "first"},
        {"x://y?a=1&access_token=a%20b", "a b"},
        // A parameter whose name ends in the needle does not hide the real one.
        {"x://y#my_access_token=evil&access_token=good", "good"},
        {"x://y#my_access_token=evil", std::nullopt},
        {"x://y#token=1", std::nullopt},
        {"x://y?access_token=", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(FBDialog::getStringFromUrlNeedle(c.url, "access_token="), c.value) << c.url;
}

TEST_F(FBDialogTest, LoginDialogTakesTheTokenAndItsLifetime) {
    const Date now = Date::now();
    struct Case {
        std::string url;
        std::vector<std::string> events;
        std::optional<Date> expiry;
    };
    const std::vector<Case> cases = {
        {"fbconnect://success#access_token=T&expires_in=0", {"login"}, Date::distantFuture()},
        {"fbconnect://success#access_token=T&expires_in=7200", {"login"}, now.addingTimeInterval(7200)},
        {"fbconnect://success#access_token=T", {"login"}, Date::distantFuture()},
        {"fbconnect://success#access_token=T&expires_in=1h", {"notLogin"}, std::nullopt},
        {"fbconnect://success#access_token=&expires_in=0", {"notLogin cancelled"}, std::nullopt},
        {"fbconnect://success#my_access_token=T", {"notLogin cancelled"}, std::nullopt},
        {"fbconnect://cancel", {"notLogin cancelled"}, std::nullopt},
    };
    for (const auto& c : cases) {
        auto login = std::make_shared<LoginRecorder>();
        auto dialog = FBLoginDialog::initWithURLLoginParamsDelegate("https://web.social.test/dialog/oauth",
                                                                    {{"client_id", Value("123")}}, login);
        dialog->show();
        EXPECT_FALSE(navigate(dialog, c.url));
        EXPECT_EQ(login->events, c.events) << c.url;
        EXPECT_EQ(login->expiry, c.expiry) << c.url;
        if (c.expiry) {
            EXPECT_EQ(login->token, "T");
        }
        EXPECT_FALSE(dialog->loadingURL()) << c.url;
    }
}

TEST_F(FBDialogTest, LoginDialogFailureTellsTheSession) {
    auto login = std::make_shared<LoginRecorder>();
    auto dialog = FBLoginDialog::initWithURLLoginParamsDelegate("https://web.social.test/dialog/oauth", {}, login);
    dialog->show();
    dialog->webViewDidFailLoadWithError(dialog->webView(), Error(std::string(Error::kURLErrorDomain), -999));
    EXPECT_TRUE(login->events.empty());
    dialog->webViewDidFailLoadWithError(dialog->webView(), Error(std::string(Error::kURLErrorDomain), -1004));
    EXPECT_EQ(login->events, std::vector<std::string>{"notLogin"});
}

TEST_F(FBDialogTest, GeometryFollowsDeviceOrientationAndKeyboard) {
    auto device = platform::Device::currentDevice();
    device->setUserInterfaceIdiom(platform::Device::UserInterfaceIdiomPad);
    platform::Screen::mainScreen()->setBounds(platform::Rect(0, 0, 768, 1024));
    auto delegate = std::make_shared<test::DialogRecorder>();
    auto dialog = shownDialog(delegate);
    // 60 per cent of the application frame (768 x 1004).
    EXPECT_EQ(dialog->bounds().size, (platform::Size{460, 602}));
    EXPECT_EQ(dialog->center(), (platform::Point{384, 522}));

    // Turning while the keyboard is up changes nothing.
    device->setUserInterfaceIdiom(platform::Device::UserInterfaceIdiomPhone);
    platform::Keyboard::show();
    EXPECT_TRUE(dialog->showingKeyboard());
    platform::Rect before = dialog->bounds();
    Application::sharedApplication()->setStatusBarOrientation(platform::InterfaceOrientationLandscapeRight);
    dialog->deviceOrientationDidChange();
    EXPECT_EQ(dialog->bounds(), before);
    EXPECT_EQ(dialog->orientation(), platform::InterfaceOrientationPortrait);

    platform::Keyboard::hide();
    EXPECT_FALSE(dialog->showingKeyboard());
    dialog->deviceOrientationDidChange();
    EXPECT_EQ(dialog->orientation(), platform::InterfaceOrientationLandscapeRight);
    EXPECT_EQ(dialog->webView()->evaluatedScripts().back(), "document.body.setAttribute('orientation', 90);");
}

TEST_F(FBDialogTest, AppRequestToCachedFriendsLoadsWithoutShowing) {
    auto session = Facebook::initWithAppIdAndDelegate("123", {});
    session->enableFrictionlessRequests();
    session->frictionlessRequestSettings()->updateRecipientCacheWithRecipients({"1", "2"});
    struct Case {
        Value to;
        bool invisible;
    };
    const std::vector<Case> cases = {
        {Value("1,2"), true},
        {Value("[1, \"2\"]"), true},
        {Value("1,3"), false},
        // Lists the page cannot come up with show the dialog instead of
        // stopping the program.
        {Value("[{\"id\":1}]"), false},
        {Value("[null]"), false},
    };
    for (const auto& c : cases) {
        session->dialogAndParamsAndDelegate("apprequests", {{"to", c.to}, {"message", Value("m")}}, {});
        auto dialog = session->fbDialog();
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->isViewInvisible(), c.invisible) << c.to.description();
        EXPECT_EQ(dialog->params().at("frictionless"), Value("1"));
        EXPECT_EQ(dialog->params().at("get_frictionless_recipients"), Value("1"));
        EXPECT_EQ(dialog->isDescendantOfView(window_), !c.invisible);
        dialog->dismiss(false);
    }
    // Direct misuse still raises.
    EXPECT_THROW(session->isFrictionlessEnabledForRecipients({Value::makeDictionary({{"id", Value(1)}})}),
                 platform::InvalidArgumentException);

    // A completed request dialog replaces the cache with what the page says.
    session->dialogAndParamsAndDelegate("apprequests", {{"to", Value("5")}}, {});
    navigate(session->fbDialog(), "fbconnect://success?request=1&frictionless_recipients=%5B5%2C%226%22%5D");
    EXPECT_EQ(session->frictionlessRequestSettings()->allowedRecipients(), (std::vector<std::string>{"5", "6"}));
}

TEST_F(FBDialogTest, SessionDialogParameters) {
    auto session = Facebook::initWithAppIdAndDelegate("123", {});
    session->setAccessToken("a%7Cb");
    session->setExpirationDate(Date::distantFuture());
    session->dialogAndParamsAndDelegate("stream.publish", {{"user_message_prompt", Value("p")}}, {});
    auto params = session->fbDialog()->params();
    EXPECT_EQ(params.at("access_token"), Value("a|b"));
    EXPECT_EQ(params.at("app_id"), Value("123"));
    EXPECT_EQ(params.at("sdk"), Value("2"));
    EXPECT_EQ(params.at("display"), Value("touch"));
    EXPECT_EQ(params.at("redirect_uri"), Value("fbconnect://success"));
    EXPECT_EQ(params.count("frictionless"), 0u);

    session->dialogAndDelegate("oauth", {});
    EXPECT_TRUE(std::dynamic_pointer_cast<FBLoginDialog>(session->fbDialog()));
    EXPECT_EQ(session->fbDialog()->params().at("type"), Value("user_agent"));
}

}  // namespace
}  // namespace clipora
