#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/InvalidArgumentException.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

namespace fs = std::filesystem;

class UserDefaultsTest : public test::PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        UserDefaults::resetStandardUserDefaults();
    }
    void TearDown() override {
        UserDefaults::resetStandardUserDefaults();
        PlatformTest::TearDown();
    }
    // What a new process would see: the shared defaults read again from disk.
    static std::shared_ptr<UserDefaults> restart() {
        UserDefaults::resetStandardUserDefaults();
        return UserDefaults::standardUserDefaults();
    }
    fs::path file() const { return home() / "Library" / "Preferences" / UserDefaults::kFileName; }
};

TEST_F(UserDefaultsTest, ValuesOfEveryKindSurviveARestart) {
    auto defaults = UserDefaults::standardUserDefaults();
    const Date expiry = Date::distantFuture();
    defaults->setObject("token-123", "FBAccessTokenKey");
    defaults->setObject(expiry, "FBExpirationDateKey");
    defaults->setBool(true, "downloadHD");
    defaults->setInteger(9007199254740993LL, "bigCounter");  // not exact as a double
    defaults->setDouble(0.1, "ratio");
    defaults->setFloat(1.5f, "scale");
    defaults->setObject(Data{0, 1, 2}, "blob");
    defaults->setObject(Value::makeArray({"a", 2}), "list");
    defaults->setObject(Value::makeDictionary({{"k", Date(12.5)}}), "map");
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_TRUE(fs::exists(file()));

    auto reloaded = restart();
    ASSERT_NE(reloaded, defaults);
    EXPECT_EQ(reloaded->stringForKey("FBAccessTokenKey"), "token-123");
    EXPECT_EQ(reloaded->dateForKey("FBExpirationDateKey"), expiry);
    EXPECT_TRUE(reloaded->boolForKey("downloadHD"));
    EXPECT_EQ(reloaded->integerForKey("bigCounter"), 9007199254740993LL);
    EXPECT_EQ(reloaded->doubleForKey("ratio"), 0.1);
    EXPECT_EQ(reloaded->floatForKey("scale"), 1.5f);
    EXPECT_EQ(reloaded->dataForKey("blob"), (Data{0, 1, 2}));
    EXPECT_EQ(Value(*reloaded->arrayForKey("list")), Value::makeArray({"a", 2}));
    EXPECT_EQ(Value(*reloaded->dictionaryForKey("map")), Value::makeDictionary({{"k", Date(12.5)}}));
}

TEST_F(UserDefaultsTest, RegisteredDefaultsNeverOverrideStoredValues) {
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setBool(false, "downloadHD");
    defaults->registerDefaults({{"downloadHD", Value(true)}, {"ReviewRequestDontAsk", Value(false)}});
    EXPECT_FALSE(defaults->boolForKey("downloadHD"));
    EXPECT_EQ(defaults->objectForKey("ReviewRequestDontAsk"), Value(false));

    // After a restart the class initializer registers again: the stored value still wins.
    auto reloaded = restart();
    reloaded->registerDefaults({{"downloadHD", Value(true)}});
    EXPECT_EQ(reloaded->objectForKey("downloadHD"), Value(false));

    // Registered values are not written; removing the stored one uncovers the default.
    reloaded->removeObjectForKey("downloadHD");
    EXPECT_EQ(reloaded->objectForKey("downloadHD"), Value(true));
    auto third = restart();
    EXPECT_EQ(third->objectForKey("downloadHD"), std::nullopt);
    EXPECT_EQ(third->objectForKey("ReviewRequestDontAsk"), std::nullopt);
}

TEST_F(UserDefaultsTest, AbsentIsDistinctFromStoredValues) {
    auto defaults = UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults->objectForKey("NextTimeToAsk"), std::nullopt);
    EXPECT_FALSE(defaults->boolForKey("NextTimeToAsk"));
    EXPECT_EQ(defaults->integerForKey("NextTimeToAsk"), 0);
    EXPECT_EQ(defaults->stringForKey("NextTimeToAsk"), std::nullopt);

    defaults->setBool(false, "flag");
    defaults->setInteger(0, "count");
    EXPECT_EQ(defaults->objectForKey("flag"), Value(false));
    EXPECT_EQ(defaults->objectForKey("count"), Value(0));
    defaults->removeObjectForKey("flag");
    EXPECT_EQ(defaults->objectForKey("flag"), std::nullopt);
    EXPECT_EQ(restart()->objectForKey("flag"), std::nullopt);
}

TEST_F(UserDefaultsTest, TypedReadingsFollowThePlatformRules) {
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setObject("YES", "textYes");
    defaults->setObject("no", "textNo");
    defaults->setObject("42abc", "textNumber");
    defaults->setInteger(42, "number");
    defaults->setDouble(2.75, "real");
    defaults->setObject(Data{1}, "data");

    EXPECT_TRUE(defaults->boolForKey("textYes"));
    EXPECT_FALSE(defaults->boolForKey("textNo"));
    EXPECT_EQ(defaults->integerForKey("textNumber"), 42);
    EXPECT_EQ(defaults->stringForKey("number"), "42");  // a number's text form
    EXPECT_EQ(defaults->integerForKey("real"), 2);
    EXPECT_TRUE(defaults->boolForKey("number"));
    EXPECT_EQ(defaults->stringForKey("data"), std::nullopt);
    EXPECT_EQ(defaults->arrayForKey("number"), std::nullopt);
    EXPECT_EQ(defaults->dateForKey("number"), std::nullopt);
}

TEST_F(UserDefaultsTest, ChangeNotificationComesAfterTheWrite) {
    auto defaults = UserDefaults::standardUserDefaults();
    std::vector<std::optional<Value>> onDisk;
    const void* owner = this;
    NotificationCenter::defaultCenter().addObserver(
        UserDefaults::kDidChangeNotification, defaults.get(),
        [&](const Notification& n) {
            EXPECT_EQ(n.object.object(), std::static_pointer_cast<Object>(defaults));
            auto stored = PropertyList::fromFile(file());
            const Value* value = stored ? stored->find("key") : nullptr;
            onDisk.push_back(value ? std::optional<Value>(*value) : std::nullopt);
        },
        owner);
    defaults->setObject("first", "key");
    defaults->removeObjectForKey("key");
    defaults->registerDefaults({{"key", Value("registered")}});  // no notification
    NotificationCenter::defaultCenter().removeObserver(owner);
    ASSERT_EQ(onDisk.size(), 2u);
    EXPECT_EQ(onDisk[0], Value("first"));
    EXPECT_EQ(onDisk[1], std::nullopt);
}

TEST_F(UserDefaultsTest, SafeFromManyThreads) {
    auto defaults = UserDefaults::standardUserDefaults();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([defaults, t] {
            for (int i = 0; i < 8; ++i) {
                defaults->setInteger(i, "t" + std::to_string(t) + "_" + std::to_string(i));
                (void)defaults->integerForKey("t0_0");
            }
        });
    }
    for (auto& thread : threads) thread.join();
    auto reloaded = restart();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(reloaded->objectForKey("t" + std::to_string(t) + "_" + std::to_string(i)), Value(i));
}

TEST_F(UserDefaultsTest, FollowsTheHomeAndSurvivesADamagedFile) {
    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setObject("here", "where");
    {
        test::TestHome other;  // a new home
        auto elsewhere = UserDefaults::standardUserDefaults();
        EXPECT_NE(elsewhere, defaults);
        EXPECT_EQ(elsewhere->objectForKey("where"), std::nullopt);
    }
    EXPECT_EQ(UserDefaults::standardUserDefaults()->stringForKey("where"), "here");

    // The same folder name made anew is a new home.
    fs::remove_all(home());
    fs::create_directories(home() / "Library" / "Preferences");
    EXPECT_EQ(UserDefaults::standardUserDefaults()->objectForKey("where"), std::nullopt);
    UserDefaults::standardUserDefaults()->setObject("here", "where");

    // A damaged file is set aside with its bytes, never overwritten by the
    // next write.
    const Data damagedBytes{'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2, 3};
    ASSERT_TRUE(FileManager::writeData(file(), damagedBytes));
    auto damaged = restart();
    EXPECT_EQ(damaged->objectForKey("where"), std::nullopt);
    damaged->setObject("again", "where");
    EXPECT_EQ(restart()->stringForKey("where"), "again");
    std::vector<fs::path> aside;
    for (const auto& entry : fs::directory_iterator(file().parent_path()))
        if (entry.path().filename().string().rfind(std::string(UserDefaults::kFileName) + ".unreadable-", 0) == 0)
            aside.push_back(entry.path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(FileManager::contentsOfFile(aside.front()), damagedBytes);
}

// The defaults hold the access token: the file is its owner's alone from
// its first write on, whatever the umask, and each rewrite replaces it by a
// new private file (no temporary is left behind for anyone to read).
TEST_F(UserDefaultsTest, TheFileIsPrivateFromItsCreation) {
    struct UmaskGuard {
        mode_t old = ::umask(0);  // a file made 0666 would be open to everyone
        ~UmaskGuard() { ::umask(old); }
    } umaskGuard;
    auto entries = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(file().parent_path()))
            names.push_back(entry.path().filename().string());
        return names;
    };

    auto defaults = UserDefaults::standardUserDefaults();
    defaults->setBool(false, "downloadHD");  // the first write makes the file
    EXPECT_EQ(FileManager::permissions(file()), 0600u);
    defaults->setObject("secret-token", "FBAccessTokenKey");
    EXPECT_EQ(FileManager::permissions(file()), 0600u);
    EXPECT_EQ(entries(), std::vector<std::string>{UserDefaults::kFileName});

    // A file an earlier version left open to others is closed when loaded,
    // and every rewrite is a new private file renamed over it.
    ASSERT_TRUE(FileManager::setPermissions(file(), 0644));
    defaults = restart();
    EXPECT_EQ(FileManager::permissions(file()), 0600u);
    ASSERT_TRUE(FileManager::setPermissions(file(), 0644));
    struct stat before {};
    ASSERT_EQ(::stat(file().c_str(), &before), 0);
    defaults->setObject("next-token", "FBAccessTokenKey");
    struct stat after {};
    ASSERT_EQ(::stat(file().c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "rewritten in place";
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    EXPECT_EQ(entries(), std::vector<std::string>{UserDefaults::kFileName});
    EXPECT_EQ(restart()->stringForKey("FBAccessTokenKey"), "next-token");
}

TEST_F(UserDefaultsTest, RefusesValuesWithoutAPropertyListForm) {
    auto defaults = UserDefaults::standardUserDefaults();
    EXPECT_THROW(defaults->setObject(Value(), "null"), InvalidArgumentException);
    EXPECT_THROW(defaults->setObject(Value::makeArray({Value(std::make_shared<Object>())}), "object"),
                 InvalidArgumentException);
    EXPECT_EQ(defaults->objectForKey("null"), std::nullopt);
}

}  // namespace
}  // namespace clipora::platform
