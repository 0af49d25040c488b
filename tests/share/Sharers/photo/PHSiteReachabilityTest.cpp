#include "share/Sharers/photo/PHSiteReachability.h"

#include <gtest/gtest.h>

#include "platform/system/NetworkReachability.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestHome.h"

namespace clipora {
namespace {

using platform::NetworkReachability;

struct Recorder : PHSiteReachabilityDelegate {
    std::vector<std::string> events;
    void reachabilitySiteIsAvailableOverConnectionType(PHSiteReachability&, const platform::URL&,
                                                       const std::string& type) override {
        events.push_back(type == PHSiteReachability::kWWAN ? "wwan" : "wifi");
    }
    void reachabilitySiteIsNotAvailable(PHSiteReachability&, const platform::URL&) override {
        events.push_back("down");
    }
};

class PHSiteReachabilityTest : public test::PlatformTest {
protected:
    void TearDown() override {
        NetworkReachability::clearFlagsOverrides();
        PlatformTest::TearDown();
    }
};

TEST_F(PHSiteReachabilityTest, ReportsEachChangeOfTheNetworkAndTheSite) {
    test::LoopbackServer site;
    int heads = 0;
    site.server().set_keep_alive_max_count(1);
    site.server().Get("/", [&heads](const httplib::Request& r, httplib::Response& response) {
        if (r.method == "HEAD") ++heads;
        response.status = 503;  // any answer means the site is there
    });
    site.start();
    NetworkReachability::setFlagsOverride(NetworkReachability::kReachable);
    auto recorder = std::make_shared<Recorder>();
    auto reachability = std::make_shared<PHSiteReachability>();
    reachability->setDelegate(recorder);
    reachability->setSiteURL(platform::URL::fromString(site.url("/")));
    reachability->startChecking();
    EXPECT_TRUE(reachability->isChecking());
    ASSERT_TRUE(pumpUntil([&] { return !recorder->events.empty(); }));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"wifi"});

    NetworkReachability::setFlagsOverride(0u);
    ASSERT_TRUE(pumpUntil([&] { return recorder->events.size() == 2; }));
    NetworkReachability::setFlagsOverride(NetworkReachability::kReachable | NetworkReachability::kIsWWAN);
    ASSERT_TRUE(pumpUntil([&] { return recorder->events.size() == 3; }));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"wifi", "down", "wwan"}));
    EXPECT_GE(heads, 2);

    // A site that does not answer is not available, and said so once.
    reachability->stopChecking();
    EXPECT_FALSE(reachability->isChecking());
    EXPECT_FALSE(reachability->lastCheckStatus());
    recorder->events.clear();
    reachability->setSiteURL(platform::URL::fromString("http://127.0.0.1:1/"));
    reachability->startChecking();
    ASSERT_TRUE(pumpUntil([&] { return !recorder->events.empty(); }));
    NetworkReachability::setFlagsOverride(NetworkReachability::kReachable);
    pumpUntil([&] { return recorder->events.size() > 1; }, 0.3);
    EXPECT_EQ(recorder->events, std::vector<std::string>{"down"});

    // Without a site the network alone decides.
    reachability->stopChecking();
    recorder->events.clear();
    reachability->setSiteURL(std::nullopt);
    reachability->startChecking();
    EXPECT_EQ(recorder->events, std::vector<std::string>{"wifi"});
    EXPECT_TRUE(PHSiteReachability::networkConnectivityExists());
    NetworkReachability::setFlagsOverride(0u);
    EXPECT_FALSE(PHSiteReachability::networkConnectivityExists());
    reachability->stopChecking();
}

}  // namespace
}  // namespace clipora
