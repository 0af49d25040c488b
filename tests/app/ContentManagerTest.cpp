#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/CinevueAppDelegate.h"
#include "app/ContentManager.h"
#include "app/OptionListViewController.h"
#include "app/WebViewController.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Bitmap.h"
#include "tests/app/AppTest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestCA.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class ContentManagerTest : public test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ca.emplace(home());
        ca->trust();
        server.emplace(ca->server().certificateFile, ca->server().privateKeyFile);
        server->server().set_keep_alive_max_count(1);
        server->server().Get("/Updates.plist", [this](const httplib::Request&, httplib::Response& response) {
            response.status = status;
            response.set_content(body, "application/xml");
        });
        server->server().Get("/promo.png", [this](const httplib::Request&, httplib::Response& response) {
            ++pictureFetches;
            response.set_content(std::string(picture.begin(), picture.end()), "image/png");
        });
        server->server().Get("/gone.png",
                             [](const httplib::Request&, httplib::Response& response) { response.status = 404; });
        server->start();
        auto& center = NotificationCenter::defaultCenter();
        center.addObserver(
            ContentManager::kNewsUpdateNotification, [this](const Notification&) { ++news; }, this);
        center.addObserver(
            ContentManager::kDoneNotification, [this](const Notification&) { ++done; }, this);
        auto bitmap = Bitmap::make(2, 2);
        bitmap->fill({10, 20, 30, 255});
        picture = bitmap->pngData();
    }
    void TearDown() override {
        NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
        server.reset();
        ca.reset();
        AppTest::TearDown();
    }

    static std::string list(const Value& value) {
        auto data = PropertyList::toData(value);
        return std::string(data->begin(), data->end());
    }
    Value promotion(const std::string& text) const {
        return Value::makeDictionary({{"Description", Value(text)},
                                      {"ButtonText", Value("Get it")},
                                      {"ImageURL", Value(server->url("/promo.png"))},
                                      {"LinkURL", Value("https://store.test/full")}});
    }
    // Runs one check on its own thread until it announces its end.
    void check(const std::string& address) {
        const int before = done;
        ContentManager::shareContentManager()->checkForNewsUpdate(address);
        ASSERT_TRUE(pumpUntil([&] { return done == before + 1; }, 10));
        pumpPending();
    }
    void check() { check(server->url("/Updates.plist")); }

    std::optional<test::TestCA> ca;
    std::optional<test::LoopbackServer> server;
    std::string body;
    int status = 200;
    Data picture;
    int pictureFetches = 0;
    int news = 0;
    int done = 0;
};

TEST_F(ContentManagerTest, NewsAndPromotionsAreActedOnOnceEach) {
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setInteger(2, "News");
    EXPECT_FALSE(ContentManager::shareContentManager()->getFullAppInfo());

    body = list(Value::makeDictionary({{"ShowAds", Value(true)},
                                       {"News", Value(3)},
                                       {"FullApp", Value(1)},
                                       {"FullAppDetail", promotion("The full app")}}));
    check();
    EXPECT_EQ(news, 1);
    EXPECT_TRUE(ContentManager::shareContentManager()->showAds());
    auto info = ContentManager::shareContentManager()->getFullAppInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->description(), "The full app");
    EXPECT_EQ(info->buttonText(), "Get it");
    EXPECT_EQ(info->link(), "https://store.test/full");
    ASSERT_TRUE(info->image());
    EXPECT_EQ(info->image()->bitmap()->pixel(1, 1), (Bitmap::Pixel{10, 20, 30, 255}));
    EXPECT_EQ(FileManager::contentsOfFile(ContentManager::picturePath("FullApp")), std::optional<Data>(picture));
    EXPECT_FALSE(ContentManager::shareContentManager()->getAdsAppInfo());

    // The same counters again: no news, the promotion is left as it is.
    body = list(Value::makeDictionary(
        {{"News", Value(3)}, {"FullApp", Value(1)}, {"FullAppDetail", promotion("Changed text")}}));
    check();
    EXPECT_EQ(news, 1);
    EXPECT_EQ(pictureFetches, 1);
    EXPECT_EQ(ContentManager::shareContentManager()->getFullAppInfo()->description(), "The full app");
    EXPECT_FALSE(ContentManager::shareContentManager()->showAds());

    // Counters never go down.
    body = list(Value::makeDictionary({{"News", Value(1)}}));
    check();
    EXPECT_EQ(defaults->integerForKey("News"), 3);
    EXPECT_EQ(news, 1);
}

// The checker's thread loads; every write of the defaults, and so every
// change notification the settings screens observe, happens on the main
// thread.
TEST_F(ContentManagerTest, TheCheckersWritesAndTheirNotificationsAreOnTheMainThread) {
    std::mutex mutex;
    std::vector<bool> onMain;
    auto defaults = UserDefaults::standardUserDefaults();
    NotificationCenter::defaultCenter().addObserver(
        UserDefaults::kDidChangeNotification, defaults.get(),
        [&](const Notification&) {
            std::lock_guard lock(mutex);
            onMain.push_back(Thread::isMainThread());
        },
        this);
    body = list(Value::makeDictionary({{"ShowAds", Value(true)},
                                       {"News", Value(1)},
                                       {"FullApp", Value(1)},
                                       {"FullAppDetail", promotion("The full app")}}));
    check();
    EXPECT_EQ(news, 1);
    EXPECT_TRUE(defaults->boolForKey("ShowAds"));
    ASSERT_TRUE(ContentManager::shareContentManager()->getFullAppInfo());
    std::lock_guard lock(mutex);
    // ShowAds, News, FullApp and the promotion's three texts.
    EXPECT_EQ(onMain.size(), 6u);
    EXPECT_EQ(std::count(onMain.begin(), onMain.end(), false), 0);
}

TEST_F(ContentManagerTest, AnUnreadableListChangesNothing) {
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setBool(true, "ShowAds");
    defaults->setInteger(2, "News");
    const std::string good = list(Value::makeDictionary({{"ShowAds", Value(true)}, {"News", Value(9)}}));
    struct Case {
        const char* name;
        std::string body;
        int status;
        bool plainHTTP;
    };
    const Case cases[] = {
        {"not a property list", "News = 9", 200, false},
        {"a list that is not a dictionary", list(Value::makeArray({Value(9)})), 200, false},
        {"damaged binary list", std::string("bplist00\xd1\x01\x02", 10), 200, false},
        {"larger than the ceiling", std::string(ContentManager::kMaxListBytes + 1, ' ') + good, 200, false},
        {"an error status", good, 500, false},
        {"a clear-text address", good, 200, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        body = c.body;
        status = c.status;
        std::string address = server->url("/Updates.plist");
        if (c.plainHTTP) address.replace(0, 5, "http");
        defaults->setBool(true, "ShowAds");
        check(address);
        EXPECT_EQ(news, 0);
        EXPECT_FALSE(defaults->boolForKey("ShowAds"));
        EXPECT_EQ(defaults->integerForKey("News"), 2);
    }
}

TEST_F(ContentManagerTest, AMissingPictureKeepsTheOldOne) {
    body = list(Value::makeDictionary({{"AdsApp", Value(1)}, {"AdsAppDetail", promotion("First")}}));
    check();
    ASSERT_TRUE(FileManager::fileExists(ContentManager::picturePath("AdsApp")));
    Value detail = promotion("Second");
    detail.set("ImageURL", Value(server->url("/gone.png")));
    body = list(Value::makeDictionary({{"AdsApp", Value(2)}, {"AdsAppDetail", detail}}));
    check();
    auto info = ContentManager::shareContentManager()->getAdsAppInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->description(), "Second");
    EXPECT_EQ(FileManager::contentsOfFile(ContentManager::picturePath("AdsApp")), std::optional<Data>(picture));
}

TEST_F(ContentManagerTest, TheDelegateChecksTheConfiguredListAndShowsTheNews) {
    AppConfig config = AppConfig::current();
    config.updateListURL = server->url("/Updates.plist");
    AppConfig::setCurrent(config);
    body = list(Value::makeDictionary({{"News", Value(1)}}));
    auto delegate = CinevueAppDelegate::create();
    Application::sharedApplication()->launch(delegate);
    delegate->isThereUpdate();
    ASSERT_TRUE(pumpUntil([&] { return done == 1; }, 10));
    ASSERT_TRUE(pumpUntil([&] { return delegate->viewController()->modalViewController() != nullptr; }));
    auto page = std::dynamic_pointer_cast<WebViewController>(delegate->viewController()->modalViewController());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->displayTitle(), CinevueAppDelegate::kNewsTitle);
}

}  // namespace
