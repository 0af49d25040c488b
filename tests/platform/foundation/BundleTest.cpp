#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/foundation/Bundle.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

namespace fs = std::filesystem;

const fs::path kFixture = fs::path(CLIPORA_SOURCE_DIR) / "tests" / "platform" / "fixtures" / "TestBundle";

class BundleTest : public test::PlatformTest {
protected:
    std::shared_ptr<Bundle> fixture = Bundle::bundleWithPath(kFixture);
};

TEST_F(BundleTest, MainBundleIsTheResourcesFolderWithItsInfo) {
    auto main = Bundle::mainBundle();
    ASSERT_TRUE(main);
    EXPECT_EQ(fs::path(main->bundlePath()), fs::path(CLIPORA_SOURCE_DIR) / "resources");
    EXPECT_EQ(main->infoString("CFBundleName"), "Clipora");
    EXPECT_EQ(main->infoString("CFBundleDisplayName"), "Clipora");
    EXPECT_EQ(main->infoString("CFBundleVersion"), "1.0");
    EXPECT_EQ(main->infoString("CFBundleShortVersionString"), "1.0");
    EXPECT_EQ(main->infoString("NoSuchKey"), std::nullopt);
    EXPECT_EQ(main->pathForResource("Info", "plist"), (fs::path(main->bundlePath()) / "Info.plist").string());
}

TEST_F(BundleTest, BundleDirectoryCanBeOverridden) {
    ::setenv("CLIPORA_BUNDLE_DIR", kFixture.c_str(), 1);
    auto overridden = Bundle::mainBundle();
    ::unsetenv("CLIPORA_BUNDLE_DIR");
    EXPECT_EQ(overridden->bundlePath(), kFixture.string());
    EXPECT_EQ(overridden->infoString("CFBundleName"), "Fixture");
    EXPECT_EQ(Bundle::mainBundle()->infoString("CFBundleName"), "Clipora");  // back to resources/
}

TEST_F(BundleTest, FindsResourcesByNameTypeSubdirectoryAndLocalization) {
    ASSERT_TRUE(fixture);
    const std::string close = (kFixture / "Widget.bundle" / "images" / "close.png").string();
    EXPECT_EQ(fixture->pathForResource("Widget.bundle/images/close.png"), close);
    EXPECT_EQ(fixture->pathForResource("close", "png", "Widget.bundle/images"), close);
    EXPECT_EQ(fixture->pathForResource("close", ".png", "Widget.bundle/images"), close);
    EXPECT_EQ(fixture->pathForResource("Widget", "bundle"), (kFixture / "Widget.bundle").string());
    // Found in the English localization folder.
    EXPECT_EQ(fixture->pathForResource("Settings", "strings"), (kFixture / "en.lproj" / "Settings.strings").string());
    EXPECT_EQ(fixture->pathForResource("close", "png"), std::nullopt);
    EXPECT_EQ(fixture->pathForResource(""), std::nullopt);

    EXPECT_EQ(Bundle::bundleWithPath(kFixture / "missing"), nullptr);
    EXPECT_EQ(Bundle::bundleWithPath(kFixture / "Info.plist"), nullptr);  // a file is no bundle
}

TEST_F(BundleTest, LocalizedStringsWithDefaults) {
    struct Case {
        const char* key;
        const char* defaultValue;
        const char* table;
        std::string expected;
    } cases[] = {
        {"Cancel", "", "", "Abbrechen"},  // Localizable is the default table
        {"Cancel", "ignored", "Localizable", "Abbrechen"},
        {"Loading...", "", "", "Loading \"now\"\n"},
        {"Settings", "", "", "Einstellungen"},
        {"OnlyKey", "", "", "OnlyKey"},
        {"Escapes", "", "",
         "tab\there \xC3\xA9"
         "A A back\\slash"},
        {"Emoji", "", "", "\xF0\x9F\x98\x80"},
        {"Missing", "Fallback", "", "Fallback"},         // missing key: the default
        {"Missing", "", "", "Missing"},                  // no default: the key
        {"Title", "", "Settings", "R\xC3\xA9glages"},    // plist-form table in en.lproj
        {"Title", "Default", "NoSuchTable", "Default"},  // missing table
    };
    for (const Case& c : cases)
        EXPECT_EQ(fixture->localizedString(c.key, c.defaultValue, c.table), c.expected) << c.key << "/" << c.table;

    auto widget = Bundle::bundleWithPath(*fixture->pathForResource("Widget", "bundle"));
    ASSERT_TRUE(widget);
    EXPECT_EQ(widget->localizedString("Dismiss", "", "Widget"), "Close it");  // UTF-16 table

    EXPECT_TRUE(fixture->hasStringsTable("Localizable"));
    EXPECT_TRUE(fixture->hasStringsTable("Settings"));
    EXPECT_FALSE(fixture->hasStringsTable("Root"));
    EXPECT_FALSE(fixture->hasStringsTable(""));
    // The main bundle answers the key itself while it has no tables.
    EXPECT_EQ(Bundle::mainBundle()->localizedString("Loading...", ""), "Loading...");
}

}  // namespace
}  // namespace clipora::platform
