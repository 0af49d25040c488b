#include "social/sdk/Facebook.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Device.h"
#include "social/sdk/FBLoginDialog.h"
#include "tests/social/sdk/SdkTest.h"

namespace clipora {
namespace {

using platform::Application;
using platform::Date;
using platform::URL;
using platform::Value;

class FacebookTest : public test::SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        delegate_ = std::make_shared<test::SessionRecorder>();
        session_ = Facebook::initWithAppIdUrlSchemeSuffixAndDelegate("123", "movara", delegate_);
    }

    std::vector<std::string> openedURLs() const {
        std::vector<std::string> urls;
        for (const auto& url : Application::sharedApplication()->openedURLs()) urls.push_back(url.absoluteString());
        return urls;
    }

    std::shared_ptr<test::SessionRecorder> delegate_;
    std::shared_ptr<Facebook> session_;
};

TEST_F(FacebookTest, ReturnByURL) {
    const Date now = Date::now();
    struct Case {
        std::string url;
        bool handled;
        std::vector<std::string> events;
        std::optional<std::string> token;
        std::optional<Date> expiry;
    };
    const std::vector<Case> cases = {
        {"fb123movara://authorize#access_token=T&expires_in=0", true, {"login"}, "T", Date::distantFuture()},
        {"fb123movara://authorize#access_token=T&expires_in=3600", true, {"login"}, "T", now.addingTimeInterval(3600)},
        // The fragment wins over the query.
        {"fb123movara://authorize?access_token=Q&expires_in=0#expires_in=60&access_token=F",
         true,
         {"login"},
         "F",
         now.addingTimeInterval(60)},
        // No lifetime: a token that does not expire, as from the dialog.
        {"fb123movara://authorize#access_token=T", true, {"login"}, "T", Date::distantFuture()},
        // Values keep their own "=" and lose their escapes.
        {"fb123movara://authorize#access_token=a=b%3D%3D&expires_in=0&junk",
         true,
         {"login"},
         "a=b==",
         Date::distantFuture()},
        // A lifetime that is not a number refuses the login.
        {"fb123movara://authorize#access_token=T&expires_in=soon", true, {"notLogin"}, std::nullopt, std::nullopt},
        {"fb123movara://authorize#access_token=T&expires_in=-5", true, {"notLogin"}, std::nullopt, std::nullopt},
        {"fb123movara://authorize?error=access_denied", true, {"notLogin cancelled"}, std::nullopt, std::nullopt},
        {"fb123movara://authorize?error=access_denied&error_code=200", true, {"notLogin"}, std::nullopt, std::nullopt},
        {"fb123movara://authorize?error=other", true, {"notLogin"}, std::nullopt, std::nullopt},
        {"fb123movara://authorize", true, {"notLogin cancelled"}, std::nullopt, std::nullopt},
        {"fb124movara://authorize#access_token=T", false, {}, std::nullopt, std::nullopt},
        {"fb123://authorize#access_token=T", false, {}, std::nullopt, std::nullopt},
        {"https://web.social.test/authorize#access_token=T", false, {}, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        session_->setAccessToken(std::nullopt);
        session_->setExpirationDate(std::nullopt);
        delegate_->events.clear();
        auto url = URL::fromString(c.url);
        ASSERT_TRUE(url) << c.url;
        EXPECT_EQ(session_->handleOpenURL(*url), c.handled) << c.url;
        EXPECT_EQ(delegate_->events, c.events) << c.url;
        EXPECT_EQ(session_->accessToken(), c.token) << c.url;
        EXPECT_EQ(session_->expirationDate(), c.expiry) << c.url;
        if (c.token) {
            EXPECT_TRUE(session_->isSessionValid()) << c.url;
            EXPECT_EQ(session_->lastAccessTokenUpdate(), now);
        }
    }
}

TEST_F(FacebookTest, ParsesReturnedParameters) {
    Value::Dictionary expected{{"a", Value("1")}, {"b", Value("x y=z")}, {"c", Value("")}};
    EXPECT_EQ(Facebook::parseURLParams("a=0&a=1&b=x%20y=z&c=&novalue"), expected);
}

TEST_F(FacebookTest, ValidityNeedsAnExpiryLaterThanNow) {
    EXPECT_FALSE(session_->isSessionValid());
    session_->setAccessToken("T");
    EXPECT_FALSE(session_->isSessionValid());
    session_->setExpirationDate(Date::now());
    EXPECT_FALSE(session_->isSessionValid());
    session_->setExpirationDate(Date::now().addingTimeInterval(1));
    EXPECT_TRUE(session_->isSessionValid());
    session_->setAccessToken(std::nullopt);
    EXPECT_FALSE(session_->isSessionValid());
}

TEST_F(FacebookTest, SignInHandsOverToTheNetworksAppWhenItIsInstalled) {
    auto app = Application::sharedApplication();
    app->registerURLSchemeHandler("fbauth", [](const URL&) { return true; });
    app->registerURLSchemeHandler("fbauth2", [](const URL&) { return true; });
    session_->authorize({"read_stream", "user_videos"});
    EXPECT_EQ(openedURLs(), std::vector<std::string>{
                                "fbauth2://authorize?client_id=123&display=touch&local_client_id=movara&redirect_uri="
                                "fbconnect%3A%2F%2Fsuccess&scope=read_stream%2Cuser_videos&sdk=ios&type=user_agent"});
    EXPECT_FALSE(session_->loginDialog());

    auto plain = Facebook::initWithAppIdAndDelegate("123", delegate_);
    plain->authorize({});
    ASSERT_EQ(openedURLs().size(), 2u);
    EXPECT_EQ(openedURLs()[1],
              "fbauth://"
              "authorize?client_id=123&display=touch&redirect_uri=fbconnect%3A%2F%2Fsuccess&sdk=ios&type=user_agent");
}

TEST_F(FacebookTest, SignInFallsBackToTheBrowser) {
    session_->authorize({"user_videos"});
    EXPECT_EQ(openedURLs(),
              std::vector<std::string>{
                  "https://web.social.test/dialog/oauth?client_id=123&display=touch&local_client_id=movara&"
                  "redirect_uri=fb123movara%3A%2F%2Fauthorize&scope=user_videos&sdk=ios&type=user_agent"});
    EXPECT_FALSE(session_->loginDialog());
}

TEST_F(FacebookTest, SignInWithoutMultitaskingUsesTheInAppDialog) {
    for (std::optional<bool> multitasking : {std::optional<bool>(false), std::optional<bool>()}) {
        platform::Device::currentDevice()->setMultitaskingSupported(multitasking);
        Application::sharedApplication()->registerURLSchemeHandler("fbauth2", [](const URL&) { return true; });
        session_->authorize({"user_videos"});
        EXPECT_TRUE(openedURLs().empty());
        auto dialog = session_->loginDialog();
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(dialog->loadingURL());
        EXPECT_EQ(dialog->loadingURL()->absoluteString(),
                  "https://web.social.test/dialog/oauth?client_id=123&display=touch&local_client_id=movara&"
                  "redirect_uri=fbconnect%3A%2F%2Fsuccess&scope=user_videos&sdk=ios&type=user_agent");
        EXPECT_TRUE(dialog->isDescendantOfView(window_));
        dialog->dismiss(false);
    }
}

TEST_F(FacebookTest, ServiceDisabledRetriesWithoutTheApp) {
    auto app = Application::sharedApplication();
    app->registerURLSchemeHandler("fbauth2", [](const URL&) { return true; });
    EXPECT_TRUE(
        session_->handleOpenURL(*URL::fromString("fb123movara://authorize?error=service_disabled_use_browser")));
    ASSERT_EQ(openedURLs().size(), 1u);
    EXPECT_TRUE(platform::Text::hasPrefix(openedURLs()[0], "https://web.social.test/dialog/oauth?"));

    EXPECT_TRUE(session_->handleOpenURL(*URL::fromString("fb123movara://authorize?error=service_disabled")));
    EXPECT_EQ(openedURLs().size(), 1u);
    ASSERT_TRUE(session_->loginDialog());
    EXPECT_TRUE(delegate_->events.empty());
    session_->loginDialog()->dismiss(false);
}

TEST_F(FacebookTest, LogoutTellsEachDelegateOnce) {
    session_->setAccessToken("T");
    session_->setExpirationDate(Date::distantFuture());
    session_->logout(delegate_);
    EXPECT_EQ(delegate_->events, std::vector<std::string>{"logout"});
    EXPECT_FALSE(session_->accessToken());
    EXPECT_FALSE(session_->expirationDate());

    auto other = std::make_shared<test::SessionRecorder>();
    session_->logout(other);
    EXPECT_EQ(delegate_->events, (std::vector<std::string>{"logout", "logout"}));
    EXPECT_EQ(other->events, std::vector<std::string>{"logout"});
}

TEST_F(FacebookTest, ExtensionNeedsAValidTokenTwentyFourHoursOld) {
    session_->handleOpenURL(*URL::fromString("fb123movara://authorize#access_token=T&expires_in=0"));
    advanceClock(23 * 3600 + 59 * 60);
    EXPECT_FALSE(session_->shouldExtendAccessToken());
    advanceClock(60);
    EXPECT_TRUE(session_->shouldExtendAccessToken());
    session_->setExpirationDate(Date::now());
    EXPECT_FALSE(session_->shouldExtendAccessToken());
}

TEST_F(FacebookTest, ExtensionRepliesOfTheWrongShapeKeepTheToken) {
    session_->setAccessToken("OLD");
    session_->setExpirationDate(Date::distantFuture());
    const std::vector<Value> bad = {
        Value::makeArray({Value("x")}),
        Value("text"),
        Value::makeDictionary({{"access_token", Value("N")}}),
        Value::makeDictionary({{"expires_at", Value(5)}}),
        Value::makeDictionary({{"access_token", Value::makeArray()}, {"expires_at", Value(5)}}),
        Value::makeDictionary({{"access_token", Value("N")}, {"expires_at", Value("soon")}}),
    };
    for (const auto& reply : bad) {
        session_->extendAccessToken();
        ASSERT_TRUE(session_->isExtendingAccessToken());
        session_->requestDidLoad(nullptr, reply);
        EXPECT_FALSE(session_->isExtendingAccessToken()) << reply.description();
        EXPECT_EQ(session_->accessToken(), "OLD") << reply.description();
    }
    EXPECT_TRUE(delegate_->events.empty());

    session_->requestDidLoad(nullptr, Value::makeDictionary({{"access_token", Value("N")}, {"expires_at", Value(0)}}));
    EXPECT_EQ(session_->expirationDate(), Date::distantFuture());
    session_->requestDidLoad(nullptr,
                             Value::makeDictionary({{"access_token", Value("M")}, {"expires_at", Value(1400000000)}}));
    EXPECT_EQ(session_->accessToken(), "M");
    EXPECT_EQ(session_->expirationDate(), Date::fromTimeIntervalSince1970(1400000000));
    EXPECT_EQ(session_->lastAccessTokenUpdate(), Date::now());
    EXPECT_EQ(delegate_->events, (std::vector<std::string>{"extended", "extended"}));
    EXPECT_EQ(delegate_->extendedToken, "M");
}

TEST_F(FacebookTest, RequestWithoutMethodIsRefused) {
    EXPECT_EQ(session_->requestWithParamsAndDelegate({{"query", Value("x")}}, {}), nullptr);
    EXPECT_TRUE(session_->requests().empty());
}

}  // namespace
}  // namespace clipora
