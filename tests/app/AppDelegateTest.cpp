#include <gtest/gtest.h>

#include <string>

#include "app/CinevueAppDelegate.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Application.h"
#include "tests/app/StandinAppTest.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

std::shared_ptr<UserDefaults> defaults() { return UserDefaults::standardUserDefaults(); }

// A new process: the defaults are read again from their file.
void relaunchDefaults() { UserDefaults::resetStandardUserDefaults(); }

class AppDelegateTest : public test::StandinAppTest {};

TEST_F(AppDelegateTest, TheStoredHDChoiceSurvivesARelaunch) {
    CinevueAppDelegate::initialize();
    EXPECT_EQ(defaults()->objectForKey(CinevueAppDelegate::kDownloadHDKey), std::optional<Value>(Value(false)));

    defaults()->setBool(true, CinevueAppDelegate::kDownloadHDKey);  // the settings screen
    relaunchDefaults();
    CinevueAppDelegate::initialize();
    EXPECT_TRUE(defaults()->boolForKey(CinevueAppDelegate::kDownloadHDKey));

    defaults()->removeObjectForKey(CinevueAppDelegate::kDownloadHDKey);
    defaults()->setBool(true, CinevueAppDelegate::kInitializeKey);
    CinevueAppDelegate::initialize();
    EXPECT_FALSE(defaults()->objectForKey(CinevueAppDelegate::kDownloadHDKey).has_value());
}

TEST_F(AppDelegateTest, LaunchRestoresAStoredUnexpiredTokenInAPrivateFile) {
    storeSignIn();
    launch();
    EXPECT_TRUE(delegate->canAppContinue());
    EXPECT_TRUE(delegate->fbButton()->isLoggedIn());
    EXPECT_EQ(defaults()->stringForKey(CinevueAppDelegate::kAccessTokenKey), server->accessToken());
    EXPECT_EQ(FileManager::permissions(defaults()->filePath()).value_or(0) & 0077u, 0u);

    // Logging out removes both keys.
    delegate->fbButtonClick(nullptr);
    EXPECT_FALSE(delegate->fbButton()->isLoggedIn());
    EXPECT_FALSE(defaults()->objectForKey(CinevueAppDelegate::kAccessTokenKey));
    EXPECT_FALSE(defaults()->objectForKey(CinevueAppDelegate::kExpirationDateKey));
}

TEST_F(AppDelegateTest, ExpiredOrHalfStoredSessionsStartSignedOutAndKeepTheirKeys) {
    defaults()->setObject(Value("old-token"), CinevueAppDelegate::kAccessTokenKey);
    launch();
    EXPECT_FALSE(delegate->canAppContinue());
    EXPECT_FALSE(delegate->fbButton()->isLoggedIn());
    EXPECT_EQ(defaults()->stringForKey(CinevueAppDelegate::kAccessTokenKey), std::optional<std::string>("old-token"));
    EXPECT_FALSE(defaults()->objectForKey(CinevueAppDelegate::kExpirationDateKey));

    Application::reset();
    defaults()->setObject(Value(Date::now()), CinevueAppDelegate::kExpirationDateKey);
    launch();
    EXPECT_FALSE(delegate->canAppContinue());
    EXPECT_TRUE(defaults()->objectForKey(CinevueAppDelegate::kAccessTokenKey).has_value());
}

TEST_F(AppDelegateTest, TheLoginReturnSignsInAndAnExtendedTokenIsStored) {
    launch();
    const std::string scheme = AppConfig::current().urlScheme();
    auto app = Application::sharedApplication();
    EXPECT_FALSE(app->handleIncomingURL(*URL::fromString("otherapp://authorize#access_token=x")));
    ASSERT_TRUE(app->handleIncomingURL(*URL::fromString(scheme + "://authorize#access_token=abc&expires_in=3600")));
    EXPECT_TRUE(delegate->canAppContinue());
    EXPECT_EQ(defaults()->stringForKey(CinevueAppDelegate::kAccessTokenKey), std::optional<std::string>("abc"));
    EXPECT_EQ(defaults()->dateForKey(CinevueAppDelegate::kExpirationDateKey),
              std::optional<Date>(Date::fromTimeIntervalSinceNow(3600)));

    // The session extends the token: a relaunch must keep the new expiry.
    delegate->facebook()->setExpirationDate(Date::fromTimeIntervalSinceNow(86400 * 60));
    delegate->fbDidExtendTokenExpiresAt("abc", Date::fromTimeIntervalSinceNow(86400 * 60));
    EXPECT_EQ(defaults()->dateForKey(CinevueAppDelegate::kExpirationDateKey),
              std::optional<Date>(Date::fromTimeIntervalSinceNow(86400 * 60)));
}

TEST_F(AppDelegateTest, TheRecommendationPostEscapesItsSettings) {
    auto params = CinevueAppDelegate::recommendationPostParams();
    const std::string links = *params["action_links"].string();
    EXPECT_EQ(links, "[{\"text\":\"Get Clipora\",\"href\":\"" + AppConfig::current().storeLink + "\"}]");
    EXPECT_NE(params["attachment"].string()->find("\",\t\t\t\t\t\t\t   \"description\""), std::string::npos);

    AppConfig config = AppConfig::current();
    config.productName = "Clip \"ora\"\\";
    AppConfig::setCurrent(config);
    params = CinevueAppDelegate::recommendationPostParams();
    EXPECT_NE(params["action_links"].string()->find("Get Clip \\\"ora\\\"\\\\\""), std::string::npos);
}

}  // namespace
