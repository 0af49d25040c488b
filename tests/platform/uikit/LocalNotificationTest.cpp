#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Date.h"
#include "platform/uikit/LocalNotificationCenter.h"
#include "tests/platform/uikit/UIKitTest.h"

namespace clipora::test {
namespace {

using platform::Date;
using platform::LocalNotification;
using platform::LocalNotificationCenter;
using platform::Value;

class LocalNotificationTest : public UIKitTest {};

// What is presented is kept as it was then, with the time, the latest ones
// only; a fresh application forgets it.
TEST_F(LocalNotificationTest, PresentedNotificationsAreKeptAsTheyWere) {
    LocalNotification notification;
    notification.setAlertBody("The download failed.");
    notification.setAlertAction("Dismiss");
    notification.setUserInfo(Value::makeDictionary({{"video", Value("400021")}}));
    const Date first = Date::now();
    LocalNotificationCenter::presentLocalNotificationNow(notification);
    notification.setAlertBody("changed afterwards");
    advanceClock(5);
    LocalNotificationCenter::presentLocalNotificationNow(LocalNotification{});

    auto presented = LocalNotificationCenter::presentedNotifications();
    ASSERT_EQ(presented.size(), 2u);
    EXPECT_EQ(presented[0].notification.alertBody(), std::optional<std::string>("The download failed."));
    EXPECT_EQ(presented[0].notification.alertAction(), std::optional<std::string>("Dismiss"));
    EXPECT_EQ(presented[0].notification.userInfo(), Value::makeDictionary({{"video", Value("400021")}}));
    EXPECT_EQ(presented[0].date, first);
    EXPECT_EQ(presented[1].date.timeIntervalSince(first), 5.0);
    EXPECT_FALSE(presented[1].notification.alertBody());

    for (std::size_t i = 0; i < LocalNotificationCenter::kKept; ++i) {
        LocalNotification numbered;
        numbered.setAlertBody(std::to_string(i));
        LocalNotificationCenter::presentLocalNotificationNow(numbered);
    }
    presented = LocalNotificationCenter::presentedNotifications();
    ASSERT_EQ(presented.size(), LocalNotificationCenter::kKept);
    EXPECT_EQ(presented.front().notification.alertBody(), std::optional<std::string>("0"));

    platform::Application::reset();
    EXPECT_TRUE(LocalNotificationCenter::presentedNotifications().empty());
}

}  // namespace
}  // namespace clipora::test
