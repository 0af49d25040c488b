#include "share/Core/Helpers/OAuth/SXOAuthSharer.h"

#include <atomic>
#include <mutex>

#include <gtest/gtest.h>

#include "platform/cfnetwork/HTTPCookieStorage.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/share/ShareTest.h"
#include "tests/support/LoopbackServer.h"

namespace clipora {
namespace {

using Events = std::vector<std::string>;

class TestOAuthSharer : public SXOAuthSharer {
public:
    static inline std::string base;

    std::string sharerTitle() const override { return "TestOAuth"; }
    std::string sharerId() const override { return "TestOAuthSharer"; }
    bool canShareURL() const override { return true; }
    void init() override {
        SXOAuthSharer::init();
        setConsumerKey("ck");
        setSecretKey("cs");
        setRequestURL(platform::URL::fromString(base + "/request_token"));
        setAuthorizeURL(platform::URL::fromString(base + "/authorize"));
        setAccessURL(platform::URL::fromString(base + "/access_token"));
        setAuthorizeCallbackURL(platform::URL::fromString("http://callback.example/done"));
    }
    bool send() override {
        sendDidStart();
        sendDidFinish();
        return true;
    }
};

class SXOAuthSharerTest : public test::ShareTest {
protected:
    void SetUp() override {
        ShareTest::SetUp();
        auto& s = server_.server();
        s.set_keep_alive_max_count(1);
        s.Post("/request_token", [this](const httplib::Request&, httplib::Response& response) {
            response.status = requestStatus_;
            response.set_content("oauth_token=rt&oauth_token_secret=rs&oauth_callback_confirmed=true", "text/plain");
        });
        s.Get("/authorize", [this](const httplib::Request& request, httplib::Response& response) {
            response.set_header("Set-Cookie", "session=1; Path=/");
            response.status = 302;
            response.set_header("Location", "http://callback.example/done?oauth_token=" +
                                                request.get_param_value("oauth_token") + callbackExtra_);
        });
        s.Post("/access_token", [this](const httplib::Request& request, httplib::Response& response) {
            {
                std::lock_guard lock(mutex_);
                accessAuthorization_ = request.get_header_value("Authorization");
            }
            ++accessRequests_;
            response.status = accessStatus_;
            response.set_content("oauth_token=at&oauth_token_secret=as", "text/plain");
        });
        server_.start();
        TestOAuthSharer::base = server_.url("");
        platform::UserDefaults::standardUserDefaults()->setBool(true, "TestOAuthSharer_shouldAutoShare");
    }

    std::weak_ptr<TestOAuthSharer> share() {
        return SXSharer::shareURLTitle<TestOAuthSharer>(platform::URL::fromString("http://e.com/"), "T");
    }

    test::LoopbackServer server_;
    test::NotificationRecorder notes_;
    std::atomic<int> requestStatus_{200}, accessStatus_{200}, accessRequests_{0};
    std::string callbackExtra_;
    std::mutex mutex_;
    std::string accessAuthorization_;
};

TEST_F(SXOAuthSharerTest, TheDanceStoresTheTokenBeforeReportingSuccessOnce) {
    auto weak = share();
    ASSERT_TRUE(pumpUntil([&] { return !notes_.events.empty() && notes_.events.back() == "auth yes"; }, 10));
    EXPECT_EQ(notes_.events, (Events{"start", "finish", "auth yes"}));
    EXPECT_EQ(SX::getAuthValueForKeyForSharer("accessKey", "TestOAuthSharer"), "at");
    EXPECT_EQ(SX::getAuthValueForKeyForSharer("accessSecret", "TestOAuthSharer"), "as");
    EXPECT_FALSE(SX::getAuthValueForKeyForSharer("sessionHandle", "TestOAuthSharer"));
    {
        std::lock_guard lock(mutex_);
        EXPECT_NE(accessAuthorization_.find("oauth_token=\"rt\""), std::string::npos);
    }
    EXPECT_EQ(presented(), nullptr);
    pumpPending();
    EXPECT_TRUE(weak.expired());

    // The next share restores the stored token and sends at once.
    notes_.events.clear();
    auto restored = SXSharer::make<TestOAuthSharer>();
    EXPECT_TRUE(restored->isAuthorized());
    EXPECT_EQ(restored->accessToken()->key(), "at");
    EXPECT_FALSE(restored->accessToken()->sessionHandle());

    // Logout forgets the token and the service's web login.
    auto storage = platform::HTTPCookieStorage::sharedHTTPCookieStorage();
    EXPECT_FALSE(storage->cookiesForURL(*restored->authorizeURL()).empty());
    restored->logout();
    EXPECT_TRUE(storage->cookiesForURL(*restored->authorizeURL()).empty());
    EXPECT_FALSE(SXSharer::make<TestOAuthSharer>()->isAuthorized());
}

TEST_F(SXOAuthSharerTest, EveryFailedStepShowsOneAlertAndEndsTheAttempt) {
    struct Case {
        int requestStatus;
        std::string callbackExtra;
        int accessStatus;
        std::string alert;
        int accessRequests;
    } cases[] = {
        {500, "", 200, "Request Error: There was a problem requesting authorization from TestOAuth", 0},
        {200, "&oauth_problem=user_refused", 200, "Authorize Error: There was an error while authorizing", 0},
        {200, "", 401, "Access Error: There was a problem requesting access from TestOAuth", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.alert);
        notes_.events.clear();
        platform::AlertRegistry::reset();
        requestStatus_ = c.requestStatus;
        accessStatus_ = c.accessStatus;
        accessRequests_ = 0;
        callbackExtra_ = c.callbackExtra;
        auto weak = share();
        ASSERT_TRUE(pumpUntil([&] { return !notes_.events.empty(); }, 10));
        pumpPending();
        EXPECT_EQ(notes_.events, Events{"auth no"});
        EXPECT_EQ(topAlertText(), c.alert);
        EXPECT_EQ(platform::AlertRegistry::shownAlerts().size(), 1u);
        EXPECT_EQ(accessRequests_.load(), c.accessRequests);
        EXPECT_TRUE(weak.expired());
        EXPECT_FALSE(SX::getAuthValueForKeyForSharer("accessKey", "TestOAuthSharer"));
        EXPECT_EQ(presented(), nullptr);
    }
}

TEST_F(SXOAuthSharerTest, RestoringNeedsKeyAndSecret) {
    SX::setAuthValueForKeyForSharer(std::string("k"), "accessKey", "TestOAuthSharer");
    EXPECT_FALSE(SXSharer::make<TestOAuthSharer>()->isAuthorized());
    SX::setAuthValueForKeyForSharer(std::string("s"), "accessSecret", "TestOAuthSharer");
    SX::setAuthValueForKeyForSharer(std::string("h"), "sessionHandle", "TestOAuthSharer");
    auto sharer = SXSharer::make<TestOAuthSharer>();
    EXPECT_TRUE(sharer->isAuthorized());
    EXPECT_EQ(sharer->accessToken()->sessionHandle(), "h");
}

}  // namespace
}  // namespace clipora
