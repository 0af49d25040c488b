#include <arpa/inet.h>

#include <atomic>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cfnetwork/HostResolver.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/system/NetworkReachability.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

using Flags = NetworkReachability::Flags;

class ReachabilityTest : public test::PlatformTest {
protected:
    void TearDown() override {
        NetworkReachability::clearFlagsOverrides();
        HostResolver::removeAllOverrides();
        PlatformTest::TearDown();
    }
};

// Collects the flags a target's callback hears on its queue.
struct Listener {
    std::mutex mutex;
    std::vector<Flags> heard;
    std::atomic<bool> onQueue{true};

    void attach(const std::shared_ptr<NetworkReachability>& target, const std::shared_ptr<DispatchQueue>& queue) {
        target->setCallback([this, queue](NetworkReachability&, Flags flags) {
            if (!queue->isCurrent()) onQueue = false;
            std::lock_guard lock(mutex);
            heard.push_back(flags);
        });
        ASSERT_TRUE(target->setDispatchQueue(queue));
    }
    std::vector<Flags> snapshot() {
        std::lock_guard lock(mutex);
        return heard;
    }
};

TEST_F(ReachabilityTest, LocalTargetsAreAlwaysReachable) {
    const Flags local =
        NetworkReachability::kReachable | NetworkReachability::kIsLocalAddress | NetworkReachability::kIsDirect;
    sockaddr_in loopback{};
    loopback.sin_family = AF_INET;
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(NetworkReachability::withAddress(reinterpret_cast<sockaddr*>(&loopback))->flags(), local);
    EXPECT_EQ(NetworkReachability::withName("localhost")->flags(), local);
    EXPECT_EQ(NetworkReachability::withName("::1")->flags(), local);

    // A name the resolver override serves from loopback is local too, even
    // when the machine is offline.
    HostResolver::setOverride("api.standin.test", 8080);
    NetworkReachability::setFlagsOverride(0u);
    EXPECT_EQ(NetworkReachability::withName("api.standin.test")->flags(), local);
    EXPECT_EQ(NetworkReachability::forInternetConnection()->flags(), 0u);
    EXPECT_EQ(NetworkReachability::withName("www.example.com")->flags(), 0u);

    EXPECT_FALSE(NetworkReachability::withName(""));
    sockaddr unknown{};
    unknown.sa_family = AF_UNIX;
    EXPECT_FALSE(NetworkReachability::withAddress(&unknown));
}

TEST_F(ReachabilityTest, OverrideFiresTheCallbackOnTheQueue) {
    auto internet = NetworkReachability::forInternetConnection();
    auto queue = DispatchQueue::createSerial("reachability.test");
    NetworkReachability::setFlagsOverride(NetworkReachability::kReachable);
    Listener listener;
    listener.attach(internet, queue);

    // Only changes are told.
    NetworkReachability::setFlagsOverride(NetworkReachability::kReachable);
    const Flags cellular = NetworkReachability::kReachable | NetworkReachability::kIsWWAN;
    NetworkReachability::setFlagsOverride(cellular);
    NetworkReachability::setFlagsOverride(0u);
    queue->sync([] {});
    EXPECT_EQ(listener.snapshot(), (std::vector<Flags>{cellular, 0u}));
    EXPECT_TRUE(listener.onQueue);
    EXPECT_EQ(internet->flags(), 0u);

    // A host's own override wins, and concerns that host only.
    auto host = NetworkReachability::withName("Cdn.Example.com");
    Listener hostListener;
    hostListener.attach(host, queue);
    NetworkReachability::setFlagsOverride("cdn.example.com",
                                          NetworkReachability::kReachable | NetworkReachability::kConnectionRequired);
    queue->sync([] {});
    EXPECT_EQ(hostListener.snapshot(),
              (std::vector<Flags>{NetworkReachability::kReachable | NetworkReachability::kConnectionRequired}));
    EXPECT_EQ(listener.snapshot().size(), 2u);

    // Without a callback nothing more is heard.
    internet->setCallback(nullptr);
    NetworkReachability::setFlagsOverride(NetworkReachability::kReachable);
    queue->sync([] {});
    EXPECT_EQ(listener.snapshot().size(), 2u);
}

}  // namespace
}  // namespace clipora::platform
