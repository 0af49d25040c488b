#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/settings/STSettingsStoreFile.h"
#include "app/settings/STSettingsStoreUserDefaults.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/settings/SettingsFixture.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class SettingsStoreTest : public test::SettingsTest {
protected:
    std::string filePath() const { return (home() / "Library/Preferences/settings.plist").string(); }
};

TEST_F(SettingsStoreTest, BothStoresKeepEveryKindOfValue) {
    const std::vector<std::pair<const char*, std::function<std::shared_ptr<STSettingsStore>()>>> stores = {
        {"defaults", [] { return std::make_shared<STSettingsStoreUserDefaults>(); }},
        {"file", [this] { return std::make_shared<STSettingsStoreFile>(filePath()); }},
    };
    for (const auto& [name, make] : stores) {
        auto store = make();
        EXPECT_FALSE(store->boolForKey("never")) << name;
        EXPECT_EQ(store->objectForKey("never"), std::nullopt) << name;
        store->setBoolForKey(true, "b");
        store->setFloatForKey(0.25f, "f");
        store->setDoubleForKey(2.5, "d");
        store->setIntegerForKey(-7, "i");
        store->setObjectForKey(Value("text"), "o");
        EXPECT_TRUE(store->boolForKey("b")) << name;
        EXPECT_EQ(store->floatForKey("f"), 0.25f) << name;
        EXPECT_EQ(store->doubleForKey("d"), 2.5) << name;
        EXPECT_EQ(store->integerForKey("i"), -7) << name;
        EXPECT_EQ(store->objectForKey("o"), Value("text")) << name;
        auto f = store->objectForKey("f");
        ASSERT_TRUE(f) << name;
        EXPECT_TRUE(f->isNumber()) << name;  // a number, not a text
        EXPECT_TRUE(store->synchronize()) << name;
        // What was synchronised is there for the next store on the same place.
        auto again = make();
        EXPECT_EQ(again->integerForKey("i"), -7) << name;
        EXPECT_EQ(again->objectForKey("o"), Value("text")) << name;
    }
    // The user-defaults store is the application's own defaults.
    EXPECT_TRUE(UserDefaults::standardUserDefaults()->boolForKey("b"));
}

TEST_F(SettingsStoreTest, TheFileStoreWritesOnlyOnSynchronizeAndReportsAFailedWrite) {
    STSettingsStoreFile store(filePath());
    store.setObjectForKey(Value(1), "x");
    EXPECT_FALSE(FileManager::fileExists(filePath()));
    EXPECT_TRUE(store.synchronize());
    EXPECT_TRUE(FileManager::fileExists(filePath()));

    // A damaged file starts empty; a folder that cannot be written answers NO
    // and keeps the values.
    FileManager::writeData(filePath(), Data{'n', 'o', 'p', 'e'});
    EXPECT_TRUE(STSettingsStoreFile(filePath()).dict().empty());
    STSettingsStoreFile nowhere((home() / "missing/folder/settings.plist").string());
    nowhere.setBoolForKey(true, "kept");
    EXPECT_FALSE(nowhere.synchronize());
    EXPECT_TRUE(nowhere.boolForKey("kept"));
}

TEST_F(SettingsStoreTest, TheAbstractStoreHasNoPrimitives) {
    STAbstractSettingsStore store;
    EXPECT_FALSE(store.synchronize());
    try {
        store.setBoolForKey(true, "k");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), "Unimplemented");
        EXPECT_EQ(e.reason(), "setObject:forKey: must be implemented in subclasses of STAbstractSettingsStore");
    }
    EXPECT_THROW(store.boolForKey("k"), Exception);
}

}  // namespace
