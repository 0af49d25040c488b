#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Object.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

class NotificationCenterTest : public test::PlatformTest {
protected:
    NotificationCenter center;
    std::vector<std::string> heard;

    NotificationCenter::Block record(std::string who) {
        return [this, who](const Notification& n) { heard.push_back(who + ":" + n.name); };
    }
};

TEST_F(NotificationCenterTest, DeliversByNameAndSenderFilter) {
    auto sender = std::make_shared<Object>();
    auto other = std::make_shared<Object>();
    center.addObserver("Ping", record("any"));
    center.addObserver("Ping", sender.get(), record("fromSender"));
    center.addObserver("", record("everyName"));
    center.addObserver("Pong", record("pong"));

    center.post("Ping");
    center.post("Ping", Value(other));
    center.post("Ping", Value(sender));
    EXPECT_EQ(heard, (std::vector<std::string>{"any:Ping", "everyName:Ping", "any:Ping", "everyName:Ping", "any:Ping",
                                               "fromSender:Ping", "everyName:Ping"}));
}

TEST_F(NotificationCenterTest, PassesObjectAndUserInfo) {
    Value seenInfo;
    Value seenObject;
    center.addObserver("SXAuthDidFinish", [&](const Notification& n) {
        seenObject = n.object;
        seenInfo = n.userInfo;
    });
    center.post("SXAuthDidFinish", Value(3), Value::makeDictionary({{"success", true}}));
    EXPECT_EQ(seenObject, Value(3));
    EXPECT_EQ(seenInfo, Value::makeDictionary({{"success", true}}));
}

TEST_F(NotificationCenterTest, RemovesByIdOwnerAndOwnerName) {
    int owner = 0;
    const auto id = center.addObserver("A", record("id"));
    center.addObserver("A", record("ownerA"), &owner);
    center.addObserver("B", record("ownerB"), &owner);
    EXPECT_EQ(center.observerCount(), 3u);

    center.removeObserver(id);
    center.removeObserver(&owner, "A");
    center.post("A");
    center.post("B");
    EXPECT_EQ(heard, (std::vector<std::string>{"ownerB:B"}));

    center.removeObserver(&owner);
    EXPECT_EQ(center.observerCount(), 0u);
}

TEST_F(NotificationCenterTest, ObserverRemovedDuringAPostIsNotCalled) {
    NotificationCenter::ObserverId second = 0;
    center.addObserver("X", [&](const Notification&) {
        heard.push_back("first");
        center.removeObserver(second);
        // Adding during a post is safe too (the new one hears the next post).
        center.addObserver("X", record("added"));
    });
    second = center.addObserver("X", record("second"));
    center.post("X");
    EXPECT_EQ(heard, (std::vector<std::string>{"first"}));
}

TEST_F(NotificationCenterTest, DeliversOnThePostingThread) {
    std::thread::id deliveredOn;
    center.addObserver("T", [&](const Notification&) { deliveredOn = std::this_thread::get_id(); });
    std::thread::id poster;
    std::thread t([&] {
        poster = std::this_thread::get_id();
        center.post("T");
    });
    t.join();
    EXPECT_EQ(deliveredOn, poster);
}

}  // namespace
}  // namespace clipora::platform
