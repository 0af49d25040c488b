#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/foundation/CoreFoundationVersion.h"
#include "platform/foundation/Notification.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Value.h"
#include "tests/app/AppTest.h"

namespace clipora::test {

// A main bundle of the test's own (in its home) to hold settings
// descriptions, and a recorder of the kit's change notifications.
class SettingsTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        bundle = home() / "bundle";
        std::filesystem::create_directories(bundle);
        ::setenv("CLIPORA_BUNDLE_DIR", bundle.c_str(), 1);
        observer = platform::NotificationCenter::defaultCenter().addObserver(
            "kAppSettingChanged", [this](const platform::Notification& n) { changes.push_back(n); });
    }
    void TearDown() override {
        platform::NotificationCenter::defaultCenter().removeObserver(observer);
        ::unsetenv("CLIPORA_BUNDLE_DIR");
        platform::CoreFoundationVersion::reset();
        AppTest::TearDown();
    }

    // Writes a description: the specifiers (and a string table name when given).
    void writeDescription(const std::string& relativePath, platform::Value::Array specifiers,
                          std::optional<std::string> table = std::nullopt) {
        platform::Value::Dictionary root;
        root.emplace("PreferenceSpecifiers", platform::Value(std::move(specifiers)));
        if (table) root.emplace("StringsTable", platform::Value(*table));
        const auto path = bundle / relativePath;
        std::filesystem::create_directories(path.parent_path());
        ASSERT_TRUE(platform::PropertyList::writeToFile(platform::Value(std::move(root)), path));
    }
    void writeFile(const std::string& relativePath, const std::string& text) {
        const auto path = bundle / relativePath;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    static platform::Value entry(std::initializer_list<std::pair<const std::string, platform::Value>> keys) {
        return platform::Value::makeDictionary(keys);
    }

    std::filesystem::path bundle;
    std::vector<platform::Notification> changes;
    platform::NotificationCenter::ObserverId observer = 0;
};

}  // namespace clipora::test
