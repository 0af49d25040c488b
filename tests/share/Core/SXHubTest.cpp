#include "share/Core/SX.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/NavigationController.h"
#include "share/Core/SXItem.h"
#include "share/Core/SXStrings.h"
#include "tests/share/ShareTest.h"

namespace clipora {
namespace {

using platform::UserDefaults;
using platform::Value;
using Ids = std::vector<std::string>;

class SXHubTest : public test::ShareTest {};

// A screen that tells the hub when it goes away, as every framework screen
// does.
class FrameworkScreen : public platform::NavigationController {
public:
    void viewDidDisappear(bool animated) override {
        NavigationController::viewDidDisappear(animated);
        SX::currentHelper()->viewWasDismissed();
    }
};

TEST_F(SXHubTest, FavouritesStartFromTheDefaultsAndKeepTheMostRecentThree) {
    EXPECT_EQ(SX::favoriteSharersForType(1), (Ids{"SXTwitter", "SXFacebook", "SXReadItLater", "SXVkontakte"}));
    EXPECT_EQ(SX::favoriteSharersForType(0), Ids{});
    EXPECT_TRUE(UserDefaults::standardUserDefaults()->arrayForKey("SX_FAVS_1"));

    SX::pushOnFavoritesForType("SXTwitter", 1);  // already first: only the cut to three
    EXPECT_EQ(SX::favoriteSharersForType(1), (Ids{"SXTwitter", "SXFacebook", "SXReadItLater"}));
    SX::pushOnFavoritesForType("SXMail", 1);
    EXPECT_EQ(SX::favoriteSharersForType(1), (Ids{"SXMail", "SXTwitter", "SXFacebook"}));
    SX::pushOnFavoritesForType("SXFacebook", 1);
    EXPECT_EQ(SX::favoriteSharersForType(1), (Ids{"SXFacebook", "SXMail", "SXTwitter"}));

    UserDefaults::standardUserDefaults()->setObject(Value::makeDictionary({{"SXTwitter", Value("1")}}),
                                                    SX::kExcludedKey);
    EXPECT_EQ(SX::favoriteSharersForType(1), (Ids{"SXFacebook", "SXMail"}));
    EXPECT_EQ(UserDefaults::standardUserDefaults()->arrayForKey("SX_FAVS_1")->size(), 2u);
}

TEST_F(SXHubTest, PresentsOneScreenAtATime) {
    auto hub = SX::currentHelper();
    auto first = std::make_shared<FrameworkScreen>();
    auto second = std::make_shared<FrameworkScreen>();
    hub->showViewController(first);
    EXPECT_EQ(presented(), first);
    EXPECT_EQ(hub->currentView(), first);

    // The second waits until the first has gone.
    hub->showViewController(second);
    EXPECT_EQ(presented(), nullptr);
    EXPECT_EQ(hub->pendingView(), second);
    settle();
    EXPECT_EQ(presented(), second);
    EXPECT_EQ(hub->currentView(), second);
    EXPECT_FALSE(hub->pendingView());

    // A plain screen comes wrapped in a navigation controller.
    int hidden = 0;
    auto id = platform::NotificationCenter::defaultCenter().addObserver(SX::kHideCurrentViewFinishedNotification,
                                                                        [&](const auto&) { ++hidden; });
    hub->hideCurrentViewControllerAnimated(true);
    hub->hideCurrentViewControllerAnimated(true);
    EXPECT_EQ(presented(), nullptr);
    EXPECT_FALSE(hub->currentView());
    pumpPending();
    EXPECT_EQ(hidden, 1);
    platform::NotificationCenter::defaultCenter().removeObserver(id);
}

TEST_F(SXHubTest, ErrorsAndEncoders) {
    auto error = SX::error("Problem with %@", "the server's <text>");
    EXPECT_EQ(error.domain(), "sharecore");
    EXPECT_EQ(error.code(), 1);
    EXPECT_EQ(error.localizedDescription(), "Problem with the server's <text>");

    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"fish &amp; chips", "fish%20%26%20chips"}, {"a+b=c", "a%2Bb%3Dc"},
        {"x&private=0", "x%26private%3D0"},         {"p@ss/w?rd#;$,:", "p%40ss%2Fw%3Frd%23%3B%24%2C%3A"},
        {"caf\xC3\xA9 ~-._", "caf%C3%A9%20~-._"},
    };
    for (const auto& c : cases) EXPECT_EQ(encodeQueryValue(std::string(c.in)), c.out) << c.in;
    EXPECT_EQ(encodeQueryValue(std::nullopt), "");
    EXPECT_EQ(encodeURLString(platform::URL::fromString("http://a.b/c?d=e&f=g")),
              "http%3A%2F%2Fa.b%2Fc%3Fd%3De%26f%3Dg");
    EXPECT_EQ(encodeURLString(std::nullopt), "");
    EXPECT_EQ(localizedShareString("Saved!"), "Saved!");
    EXPECT_EQ(localizedShareFormat("Send to %@", "Mail"), "Send to Mail");
}

class SXOfflineQueueTest : public test::ShareTest {
protected:
    static std::shared_ptr<platform::Image> image() {
        auto bitmap = std::make_shared<platform::Bitmap>(4, 4);
        bitmap->fill({0, 128, 255, 255});
        return platform::Image::imageWithBitmap(bitmap);
    }
    static std::string dataFile(const Value& entry) {
        return (std::filesystem::path(SX::offlineQueuePath()) / *entry.find("uid")->string()).string();
    }
};

TEST_F(SXOfflineQueueTest, QueuesItemsWithTheirDataInSeparateFiles) {
    auto link = SXItem::URLTitle(platform::URL::fromString("http://example.com/x%20y"), "T");
    auto picture = SXItem::imageTitle(image(), "P");
    auto file = SXItem::fileFilenameMimeTypeTitle(platform::Data{9, 8, 7}, "f.bin", "application/x", std::nullopt);
    EXPECT_FALSE(SX::getOfflineQueueList());
    ASSERT_TRUE(SX::addToOfflineQueueForSharer(*link, "SXTwitter"));
    ASSERT_TRUE(SX::addToOfflineQueueForSharer(*picture, "SXTwitter"));
    ASSERT_TRUE(SX::addToOfflineQueueForSharer(*picture, "SXTwitter"));
    ASSERT_TRUE(SX::addToOfflineQueueForSharer(*file, "SXMail"));

    // The list file is a property list any reader can open.
    auto list = platform::PropertyList::fromFile(SX::offlineQueueListPath());
    ASSERT_TRUE(list && list->isArray());
    ASSERT_EQ(list->count(), 4u);
    const auto& entries = *list->array();
    EXPECT_EQ(*entries[0].find("sharer")->string(), "SXTwitter");
    EXPECT_TRUE(entries[0].find("uid")->string()->starts_with("SXTwitter-1-"));
    EXPECT_EQ(*entries[0].find("item")->find("URL")->string(), "http://example.com/x%20y");
    // Same second, same sharer and type: still two names.
    EXPECT_NE(*entries[1].find("uid")->string(), *entries[2].find("uid")->string());
    // The picture and the file live only in their data files.
    for (const auto& entry : entries) {
        EXPECT_FALSE(entry.find("item")->contains("image"));
        EXPECT_FALSE(entry.find("item")->contains("data"));
    }
    EXPECT_FALSE(platform::FileManager::fileExists(dataFile(entries[0])));
    auto jpeg = platform::FileManager::contentsOfFile(dataFile(entries[1]));
    ASSERT_TRUE(jpeg);
    EXPECT_TRUE(platform::Bitmap::looksLikeJPEG(*jpeg));
    EXPECT_EQ(platform::FileManager::contentsOfFile(dataFile(entries[3])), (platform::Data{9, 8, 7}));

    SX::removeOfflineQueueEntry(*entries[1].find("uid")->string());
    EXPECT_EQ(SX::getOfflineQueueList()->size(), 3u);
    EXPECT_FALSE(platform::FileManager::fileExists(dataFile(entries[1])));
}

TEST_F(SXOfflineQueueTest, RefusesWhenOfflineSharingIsOffAndKeepsAnUnreadableList) {
    class NoOffline : public DefaultSXConfigurator {
    public:
        std::optional<Value> performSelector(std::string_view name) const override {
            if (name == "allowOffline") return Value(false);
            return DefaultSXConfigurator::performSelector(name);
        }
    };
    SXConfiguration::sharedInstanceWithConfigurator(std::make_shared<NoOffline>());
    EXPECT_FALSE(SX::addToOfflineQueueForSharer(*SXItem::text("t"), "SXMail"));
    EXPECT_FALSE(platform::FileManager::fileExists(SX::offlineQueueListPath()));
    SXConfiguration::resetSharedInstance();

    {
        std::ofstream damaged(SX::offlineQueueListPath());
        damaged << "not a property list";
    }
    EXPECT_TRUE(SX::addToOfflineQueueForSharer(*SXItem::text("t"), "SXMail"));
    EXPECT_EQ(SX::getOfflineQueueList()->size(), 1u);
    int asideFiles = 0;
    auto names = platform::FileManager::contentsOfDirectory(SX::offlineQueuePath());
    ASSERT_TRUE(names);
    for (const auto& name : *names) {
        if (name.starts_with("SXOfflineQueue.plist.unreadable-")) ++asideFiles;
    }
    EXPECT_EQ(asideFiles, 1);
}

TEST_F(SXOfflineQueueTest, UidsThatLeaveTheQueueFolderAreRefused) {
    for (const char* uid : {"", ".", "..", "../x", "a/b", "/etc/passwd"}) EXPECT_FALSE(SX::isSafeQueueUid(uid)) << uid;
    EXPECT_TRUE(SX::isSafeQueueUid("SXTwitter-3-1338552000--12345"));
    auto outside = home() / "keep.txt";
    std::ofstream(outside) << "keep";
    SX::saveOfflineQueueList({Value::makeDictionary({{"uid", Value("../../../keep.txt")}})});
    SX::removeOfflineQueueEntry("../../../keep.txt");
    EXPECT_TRUE(std::filesystem::exists(outside));
}

}  // namespace
}  // namespace clipora
