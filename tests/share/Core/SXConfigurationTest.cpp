#include "share/Core/SXConfiguration.h"

#include <gtest/gtest.h>

#include "platform/foundation/Exception.h"
#include "share/Core/LegacySXConfigurator.h"

namespace clipora {
namespace {

using platform::Value;

class SXConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override { SXConfiguration::resetSharedInstance(); }
    void TearDown() override { SXConfiguration::resetSharedInstance(); }
};

TEST_F(SXConfigurationTest, TheLegacyConfiguratorAnswersEveryKey) {
    auto configuration = SXConfiguration::sharedInstance();
    LegacySXConfigurator legacy;
    EXPECT_EQ(legacy.configuration().size(), 48u);
    for (const auto& [key, value] : legacy.configuration()) {
        SCOPED_TRACE(key);
        EXPECT_EQ(configuration->configurationValue(key), value);
    }
    struct Case {
        const char* key;
        Value value;
    } cases[] = {
        {"appName", Value("My App Name")},
        {"shareMenuAlphabeticalOrder", Value(1)},
        {"maxFavCount", Value(3)},
        {"favsPrefixKey", Value("SX_FAVS_")},
        {"authPrefix", Value("SX_AUTH_")},
        {"sharersPlistName", Value("SXSharers.plist")},
        {"formBgColorRed", Value(-1)},
        {"twitterConsumerKey", Value("")},
        {"facebookSessionProxyURL", Value("")},
        {"modalPresentationStyle", Value("UIModalPresentationFormSheet")},
    };
    for (const auto& c : cases) EXPECT_EQ(configuration->configurationValue(c.key), c.value) << c.key;
    EXPECT_TRUE(SXConfiguration::boolValue("allowOffline"));
    EXPECT_FALSE(SXConfiguration::boolValue("usePlaceholders"));
    // A misspelt key answers nothing, read as false / 0 / empty.
    EXPECT_FALSE(configuration->configurationValue("allowOfline"));
    EXPECT_FALSE(SXConfiguration::boolValue("allowOfline"));
    EXPECT_EQ(SXConfiguration::integerValue("maxFavCnt"), 0);
    EXPECT_FALSE(configuration->barTintForView(nullptr));
}

TEST_F(SXConfigurationTest, TheBareDefaultsDifferWhereTheyShould) {
    auto configuration = SXConfiguration::sharedInstanceWithConfigurator(std::make_shared<DefaultSXConfigurator>());
    EXPECT_EQ(configuration->configurationValue("shareMenuAlphabeticalOrder"), Value(0));
    EXPECT_EQ(configuration->configurationValue("allowAutoShare"), Value(true));
    // Keys that only the legacy dictionary has.
    EXPECT_FALSE(configuration->configurationValue("barTintColorRed"));
    EXPECT_FALSE(configuration->configurationValue("facebookUseSessionProxy"));
    EXPECT_FALSE(configuration->configurationValue("facebookSessionProxyURL"));
    EXPECT_EQ(configuration->configurationValue("linkedInSecret"), Value(""));
}

TEST_F(SXConfigurationTest, ASecondConfiguratorIsRefused) {
    SXConfiguration::sharedInstance();
    try {
        SXConfiguration::sharedInstanceWithConfigurator(std::make_shared<DefaultSXConfigurator>());
        FAIL() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), "IllegalStateException");
        EXPECT_EQ(e.reason(), "SXConfiguration has already been configured with a delegate.");
    }
}

}  // namespace
}  // namespace clipora
