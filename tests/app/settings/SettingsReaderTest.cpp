#include <gtest/gtest.h>

#include "app/settings/STSettingsReader.h"
#include "platform/foundation/PlistNode.h"
#include "platform/uikit/Device.h"
#include "tests/app/settings/SettingsFixture.h"
#include "tests/support/Nesting.h"

using namespace clipora;
using namespace clipora::platform;

namespace {

class SettingsReaderTest : public test::SettingsTest {};

TEST_F(SettingsReaderTest, GroupsSpecifiersIntoSectionsWithLocalizedTitles) {
    writeDescription(
        "Settings.bundle/Root.plist",
        {entry({{"Type", "PSToggleSwitchSpecifier"}, {"Title", "HD"}, {"Key", "downloadHD"}}),
         entry({{"Type", "PSToggleSwitchSpecifier"}, {"Title", "Untranslated"}, {"Key", "b"}}),
         entry({{"Type", "PSGroupSpecifier"}, {"Title", "GENERAL"}, {"Key", "general"}, {"FooterText", "NOTE"}}),
         entry({{"Type", "PSGroupSpecifier"}, {"Title", "EMPTY"}}),
         entry({{"Type", "PSMultiValueSpecifier"},
                {"Title", "Quality"},
                {"Key", "quality"},
                {"Values", Value::makeArray({1, 2})},
                {"Titles", Value::makeArray({"LOW", "HIGH"})}}),
         entry({{"Type", "NoSuchType"}, {"Title", "Odd"}})});
    writeFile("Settings.bundle/en.lproj/Root.strings",
              "\"HD\" = \"Download HD\";\n\"GENERAL\" = \"General\";\n\"NOTE\" = \"A note\";\n\"HIGH\" = \"High\";\n");

    auto reader = STSettingsReader::create();
    EXPECT_EQ(reader->path(), (bundle / "Settings.bundle/Root.plist").string());
    EXPECT_EQ(reader->localizationTable(), "Root");
    ASSERT_EQ(reader->numberOfSections(), 3);
    EXPECT_EQ(reader->numberOfRowsForSection(0), 2);  // before the first group: no heading
    EXPECT_EQ(reader->titleForSection(0), std::nullopt);
    EXPECT_EQ(reader->specifierForIndexPath(0, 0)->title(), "Download HD");
    EXPECT_EQ(reader->specifierForIndexPath(0, 1)->title(), "Untranslated");  // the table lacks it
    EXPECT_EQ(reader->titleForSection(1), "General");
    EXPECT_EQ(reader->keyForSection(1), "general");
    EXPECT_EQ(reader->footerTextForSection(1), "A note");
    EXPECT_EQ(reader->numberOfRowsForSection(1), 0);  // a group followed by a group
    EXPECT_EQ(reader->titleForSection(2), "EMPTY");
    EXPECT_EQ(reader->numberOfRowsForSection(2), 2);  // unknown types are still rows
    EXPECT_EQ(reader->specifierForIndexPath(2, 5), nullptr);

    auto quality = reader->specifierForIndexPath(2, 0);
    EXPECT_EQ(quality->titleForCurrentValue(Value(2)), "High");
    EXPECT_EQ(quality->titleForCurrentValue(Value(1)), "LOW");
    EXPECT_EQ(quality->titleForCurrentValue(Value(3)), std::nullopt);
    EXPECT_EQ(reader->specifierForKey("quality"), quality);
    EXPECT_EQ(reader->specifierForKey("general"), nullptr);  // headings are not rows
    EXPECT_EQ(reader->titleForStringId(std::nullopt), "");
    EXPECT_EQ(reader->pathForImageNamed("a.png"), (bundle / "Settings.bundle/a.png").string());
}

TEST_F(SettingsReaderTest, FindsTheDescriptionInTheDocumentedOrder) {
    auto one = Value::Array{entry({{"Type", "PSToggleSwitchSpecifier"}, {"Key", "x"}})};
    EXPECT_EQ(STSettingsReader::locateSettingsFile("Root"), (bundle / "Settings.bundle/Root.plist").string());
    EXPECT_EQ(STSettingsReader::create()->numberOfSections(), 0);  // nothing there: no sections

    Device::currentDevice()->setUserInterfaceIdiom(Device::UserInterfaceIdiomPad);
    const std::vector<std::string> byRank = {
        "STSettings.bundle/Root~ipad.inApp.plist", "STSettings.bundle/Root.inApp.plist",
        "STSettings.bundle/Root~ipad.plist",       "STSettings.bundle/Root.plist",
        "Settings.bundle/Root~ipad.inApp.plist",   "Settings.bundle/Root.inApp.plist",
        "Settings.bundle/Root~ipad.plist",         "Settings.bundle/Root.plist"};
    // Written from the lowest rank up: each new file wins over all before it.
    for (auto it = byRank.rbegin(); it != byRank.rend(); ++it) {
        writeDescription(*it, one);
        EXPECT_EQ(STSettingsReader::locateSettingsFile("Root"), (bundle / *it).string());
    }

    // Root~ipad.plist without a table name localises with "Root" when the
    // folder has that table.
    std::filesystem::remove_all(bundle / "STSettings.bundle");
    std::filesystem::remove(bundle / "Settings.bundle/Root~ipad.inApp.plist");
    std::filesystem::remove(bundle / "Settings.bundle/Root.inApp.plist");
    writeFile("Settings.bundle/Root.strings", "\"a\" = \"b\";\n");
    auto reader = STSettingsReader::create();
    EXPECT_EQ(reader->path(), (bundle / "Settings.bundle/Root~ipad.plist").string());
    EXPECT_EQ(reader->localizationTable(), "Root");
}

TEST_F(SettingsReaderTest, ReadsSpecifierKeys) {
    STSpecifier field(*entry({{"Type", "PSTextFieldSpecifier"},
                              {"IsSecure", true},
                              {"KeyboardType", "DecimalPad"},
                              {"AutocapitalizationType", "Words"},
                              {"AutocorrectionType", "No"}})
                           .dictionary());
    EXPECT_TRUE(field.isSecure());
    EXPECT_EQ(field.keyboardType(), TextField::KeyboardTypeDecimalPad);
    EXPECT_EQ(field.autocapitalizationType(), TextField::AutocapitalizationWords);
    EXPECT_EQ(field.autoCorrectionType(), TextField::AutocorrectionNo);
    CoreFoundationVersion::setNumber(550.32);
    EXPECT_EQ(field.keyboardType(), TextField::KeyboardTypeNumbersAndPunctuation);

    struct Case {
        const char* keyboard;
        TextField::KeyboardType expected;
    };
    for (const Case& c :
         {Case{"Alphabet", TextField::KeyboardTypeASCIICapable}, Case{"NumberPad", TextField::KeyboardTypeNumberPad},
          Case{"URL", TextField::KeyboardTypeURL}, Case{"EmailAddress", TextField::KeyboardTypeEmailAddress},
          Case{"url", TextField::KeyboardTypeDefault}}) {
        STSpecifier s(*entry({{"KeyboardType", c.keyboard}}).dictionary());
        EXPECT_EQ(s.keyboardType(), c.expected) << c.keyboard;
    }
    STSpecifier plain(Value::Dictionary{});
    EXPECT_EQ(plain.autocapitalizationType(), TextField::AutocapitalizationNone);
    EXPECT_EQ(plain.autoCorrectionType(), TextField::AutocorrectionDefault);
    EXPECT_FALSE(plain.defaultBoolValue());
    EXPECT_EQ(plain.minimumValue(), 0.0f);

    // A default equal to the true value reads as on, whatever its text says.
    STSpecifier toggle(
        *entry({{"DefaultValue", "no way"}, {"TrueValue", "no way"}, {"FalseValue", "yes"}}).dictionary());
    EXPECT_TRUE(toggle.defaultBoolValue());
    STSpecifier uneven(*entry({{"Type", "PSMultiValueSpecifier"},
                               {"Values", Value::makeArray({1, 2, 3})},
                               {"Titles", Value::makeArray({"a", "b"})}})
                            .dictionary());
    EXPECT_EQ(uneven.multipleValuesCount(), 3u);
    EXPECT_EQ(uneven.titleForCurrentValue(Value(1)), std::nullopt);
}

TEST_F(SettingsReaderTest, ADescriptionNestedPastTheLimitIsNoDescription) {
    // The root dictionary, its specifier list and one specifier are three
    // levels; the default value nests the rest.
    for (const auto& [levels, accepted] : test::depthCases(PlistNode::kMaxDepth)) {
        writeFile("Settings.bundle/Root.plist",
                  "<plist><dict><key>PreferenceSpecifiers</key><array><dict>"
                  "<key>Type</key><string>PSTitleValueSpecifier</string><key>Key</key><string>deep</string>"
                  "<key>DefaultValue</key>" +
                      test::nested("<array>", "<string>x</string>", "</array>", levels - 3) +
                      "</dict></array></dict></plist>");
        auto reader = STSettingsReader::create();
        EXPECT_EQ(reader->settingsBundle().has_value(), accepted) << levels;
        EXPECT_EQ(reader->numberOfSections(), accepted ? 1 : 0) << levels;
        if (accepted) {
            EXPECT_TRUE(reader->specifierForKey("deep"));
        }
    }
}

}  // namespace
