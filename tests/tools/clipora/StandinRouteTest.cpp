// Where the device program sends the system's hosts: to the stand-in, past
// any proxy the environment names.

#include <gtest/gtest.h>

#include <memory>

#include "app/AppConfig.h"
#include "platform/cfnetwork/HostResolver.h"
#include "platform/cfnetwork/ProxySettings.h"
#include "platform/foundation/URL.h"
#include "tests/app/AppTest.h"
#include "tools/clipora/StandinRoute.h"

namespace clipora::test {
namespace {

using platform::HostResolver;
using platform::ProxySettings;
using platform::URL;

class StandinRouteTest : public AppTest {
protected:
    void TearDown() override {
        for (const auto& name : device::standinHostNames()) HostResolver::removeOverride(name);
        ProxySettings::setSystemProxySettings(nullptr);
        AppTest::TearDown();
    }
};

TEST_F(StandinRouteTest, TheStandinsHostsAreMappedAndBypassTheEnvironmentsProxy) {
    // A proxy for the outside world, as https_proxy=... gives it.
    auto outside = std::make_shared<ProxySettings>();
    outside->httpsProxy = ProxySettings::parseProxyValue("http://127.0.0.1:9");
    outside->noProxy = {"intranet.test"};
    ProxySettings::setSystemProxySettings(outside);
    AppConfig config = AppConfig::current();
    config.versionsListURL = AppConfig::defaults().versionsListURL;
    config.updateListURL = AppConfig::defaults().updateListURL;
    AppConfig::setCurrent(config);

    device::routeToStandin(4321);
    auto settings = ProxySettings::systemProxySettings();
    for (const char* address : {"https://rest.social.test/method/fql.query", "https://web.social.test/login.php",
                                "https://www.social.test/home.php", "https://files.clipora.test/Versions.plist",
                                "https://files.clipora.test/Updates.plist"}) {
        EXPECT_TRUE(settings->proxiesForURL(*URL::fromString(address)).empty()) << address;
        const auto url = *URL::fromString(address);
        auto mapped = HostResolver::overrideFor(url.host(), 443);
        ASSERT_TRUE(mapped) << address;
        EXPECT_EQ(mapped->port(), 4321);
    }
    // Everything else still goes through the proxy; its own bypass stays.
    EXPECT_EQ(settings->proxiesForURL(*URL::fromString("https://elsewhere.test/")).size(), 1u);
    EXPECT_TRUE(settings->proxiesForURL(*URL::fromString("https://intranet.test/")).empty());
    EXPECT_FALSE(AppConfig::current().versionsListURL.empty());
}

TEST_F(StandinRouteTest, WithoutAStandinTheMakersListsAreNotAskedFor) {
    device::routeToStandin(0);
    EXPECT_TRUE(AppConfig::current().versionsListURL.empty());
    EXPECT_TRUE(AppConfig::current().updateListURL.empty());
    EXPECT_FALSE(HostResolver::overrideFor("files.clipora.test", 443));
}

}  // namespace
}  // namespace clipora::test
