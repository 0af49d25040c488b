#include "platform/foundation/Date.h"

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/foundation/Clock.h"
#include "platform/foundation/DateFormatter.h"

namespace clipora::platform {
namespace {

// Sun, 06 Nov 1994 08:49:37 GMT.
const Date kSample = Date::fromTimeIntervalSince1970(784111777);

class DateTest : public ::testing::Test {
protected:
    void TearDown() override { Clock::useSystemTime(); }
};

TEST_F(DateTest, ReferenceDateAndArithmetic) {
    EXPECT_EQ(Date().timeIntervalSince1970(), 978307200.0);
    EXPECT_EQ(Date::fromTimeIntervalSince1970(978307200.5).timeIntervalSinceReferenceDate(), 0.5);
    EXPECT_EQ(Date(10).addingTimeInterval(-15), Date(-5));
    EXPECT_EQ(Date(10).timeIntervalSince(Date(4)), 6.0);
    EXPECT_LT(Date(1), Date(2));
    EXPECT_FALSE(Date(2) < Date(2));
    EXPECT_EQ(Date(1).earlierDate(Date(2)), Date(1));
    EXPECT_EQ(Date(1).laterDate(Date(2)), Date(2));
    EXPECT_LT(Date::distantPast(), Date::now());
    EXPECT_LT(Date::now(), Date::distantFuture());
    EXPECT_EQ(Date::distantPast().description(), "0001-01-01 00:00:00 +0000");
    EXPECT_EQ(Date::distantFuture().description(), "4001-01-01 00:00:00 +0000");
    EXPECT_EQ(kSample.description(), "1994-11-06 08:49:37 +0000");
    EXPECT_EQ(Date(-0.5).description(), "2000-12-31 23:59:59 +0000");
    EXPECT_EQ(DateFormatter("yyyy").stringFromDate(Date(1e300)), "");  // no overflow
    EXPECT_NE(Date(1e300).description().find("seconds since"), std::string::npos);
}

TEST_F(DateTest, WholeHoursAreTruncated) {
    struct Case {
        double seconds;
        std::int64_t hours;
    };
    const Case cases[] = {{0, 0}, {3599.9, 0}, {3600, 1}, {-3599, 0}, {-7201, -2}, {2 * 86400 + 5, 48}};
    for (const auto& c : cases) {
        EXPECT_EQ(Date::wholeHoursBetween(Date(100), Date(100 + c.seconds)), c.hours) << c.seconds;
    }
}

TEST_F(DateTest, ClockCanBeSetAdvancedAndHeard) {
    std::vector<Date> heard;
    auto id = Clock::addListener([&](Date now) { heard.push_back(now); });
    Clock::setNow(Date(1000));
    EXPECT_TRUE(Clock::isManual());
    EXPECT_EQ(Date::now(), Date(1000));
    Clock::advance(2.5);
    EXPECT_EQ(Clock::now(), Date(1002.5));
    EXPECT_EQ(Date(1010).timeIntervalSinceNow(), 7.5);
    Clock::removeListener(id);
    Clock::advance(1);
    EXPECT_EQ(heard, (std::vector<Date>{Date(1000), Date(1002.5)}));

    // A listener may remove itself while it runs.
    int selfRemovingCalls = 0;
    Clock::ListenerId self = 0;
    self = Clock::addListener([&](Date) {
        ++selfRemovingCalls;
        Clock::removeListener(self);
    });
    Clock::advance(1);
    Clock::advance(1);
    EXPECT_EQ(selfRemovingCalls, 1);

    Clock::useSystemTime();
    EXPECT_FALSE(Clock::isManual());
    EXPECT_GT(Date::now(), Date(1003));
}

TEST_F(DateTest, ClockAdvancesAtomicallyFromManyThreadsAndListenersMayReadIt) {
    Clock::setNow(Date(0));
    std::atomic<int> calls{0};
    auto id = Clock::addListener([&](Date) {
        Clock::now();  // must not deadlock
        ++calls;
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 250; ++i) Clock::advance(1);
        });
    }
    for (auto& thread : threads) thread.join();
    Clock::removeListener(id);
    EXPECT_EQ(Clock::now(), Date(1000));
    EXPECT_EQ(calls.load(), 1000);
}

TEST_F(DateTest, FixedFormsInBothDirections) {
    EXPECT_EQ(DateFormatter::rfc1123String(kSample), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(DateFormatter::rfc850String(kSample), "Sunday, 06-Nov-94 08:49:37 GMT");
    EXPECT_EQ(DateFormatter::asctimeString(kSample), "Sun Nov  6 08:49:37 1994");
    EXPECT_EQ(DateFormatter::asctimeString(kSample.addingTimeInterval(10 * 86400)), "Wed Nov 16 08:49:37 1994");
    EXPECT_EQ(DateFormatter::iso8601String(kSample), "1994-11-06T08:49:37Z");
    EXPECT_EQ(DateFormatter::iso8601String(kSample, DateFormatter::TimeZone::withOffset(-5 * 3600 - 1800)),
              "1994-11-06T03:19:37-05:30");

    Clock::setNow(Date::fromTimeIntervalSince1970(1336000000));  // 2012: "94" means 1994
    const char* equivalent[] = {
        "Sun, 06 Nov 1994 08:49:37 GMT",     "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994",
        "  Sun, 06 Nov 1994 08:49:37 GMT  ", "06 Nov 1994 08:49:37 GMT",       "Sun, 6 Nov 1994 09:49:37 +0100",
        "Sun, 06 Nov 1994 08:49:37 UTC",     "Sun, 06 Nov 1994 03:49:37 EST",  "sun, 06 nov 1994 08:49:37 gmt",
        "Sunday, 06-Nov-1994 08:49:37 GMT",
    };
    for (const char* text : equivalent) EXPECT_EQ(DateFormatter::dateFromHTTPDate(text), kSample) << text;
    EXPECT_EQ(DateFormatter::dateFromRFC1123("Sun, 06 Nov 1994 08:49 GMT"), kSample.addingTimeInterval(-37));
    EXPECT_EQ(DateFormatter::dateFromRFC850("Sunday, 06-Nov-94 08:49:37 GMT"), kSample);
    EXPECT_EQ(DateFormatter::dateFromAsctime("Sun Nov  6 08:49:37 1994"), kSample);

    const char* isoForms[] = {"1994-11-06T08:49:37Z", "1994-11-06T09:49:37+01:00", "1994-11-06T09:49:37+0100",
                              "1994-11-06T07:49:37-01", "1994-11-06T08:49:37"};
    for (const char* text : isoForms) EXPECT_EQ(DateFormatter::dateFromISO8601(text), kSample) << text;
    EXPECT_EQ(DateFormatter::dateFromISO8601("1994-11-06T08:49:37.250Z"), kSample.addingTimeInterval(0.25));
    EXPECT_EQ(DateFormatter::dateFromISO8601("1994-11-06"), kSample.addingTimeInterval(-(8 * 3600 + 49 * 60 + 37)));
}

TEST_F(DateTest, MalformedDatesAreAbsent) {
    const char* bad[] = {
        "",
        "garbage",
        "Sun, 31 Feb 1994 08:49:37 GMT",
        "Sun, 06 Nov 1994 25:49:37 GMT",
        "Sun, 06 Nov 1994 08:60:37 GMT",
        "Sun, 06 Foo 1994 08:49:37 GMT",
        "Sun, 06 Nov 1994 08:49:37 GMT trailing",
        "Sun, 06 Nov 1994 08:49:37",
        "Sun, 06 Nov 1994 08:49:37 +2500",
        "Sun Nov  6 08:49:37",
        "Sunday, 06-Nov-94 08:49:37",
        "Xyz, 06 Nov 1994 08:49:37 GMT",
    };
    for (const char* text : bad) EXPECT_EQ(DateFormatter::dateFromHTTPDate(text), std::nullopt) << text;
    EXPECT_EQ(DateFormatter::dateFromISO8601("1994-13-06T08:49:37Z"), std::nullopt);
    EXPECT_EQ(DateFormatter::dateFromISO8601("1994-11-06T08:49:37+"), std::nullopt);
    EXPECT_EQ(DateFormatter::dateFromISO8601("1994-11-06 08:49:37"), std::nullopt);
}

TEST_F(DateTest, TwoDigitYearsFallWithinEightyYearsBeforeAndTwentyAfterNow) {
    Clock::setNow(Date::fromTimeIntervalSince1970(1336000000));  // May 2012
    DateFormatter yy("dd-MM-yy");
    DateFormatter full("yyyy");
    struct Case {
        const char* text;
        const char* year;
    };
    const Case cases[] = {
        {"01-01-32", "1932"}, {"01-01-31", "2031"}, {"01-01-33", "1933"}, {"01-01-94", "1994"}, {"01-01-00", "2000"}};
    for (const auto& c : cases) {
        auto date = yy.dateFromString(c.text);
        ASSERT_TRUE(date) << c.text;
        EXPECT_EQ(full.stringFromDate(*date), c.year) << c.text;
    }
}

TEST_F(DateTest, GeneralPatterns) {
    using TZ = DateFormatter::TimeZone;
    struct Case {
        const char* pattern;
        TZ zone;
        const char* text;
    };
    const Case cases[] = {
        {"EEE, d MMM yyyy HH:mm:ss Z", TZ::utc(), "Sun, 6 Nov 1994 08:49:37 +0000"},
        {"yyyy-MM-dd'T'HH:mm:ss'.000Z'", TZ::utc(), "1994-11-06T08:49:37.000Z"},
        {"EEEE, MMMM d, yyyy h:mm a", TZ::utc(), "Sunday, November 6, 1994 8:49 AM"},
        {"yyyyMMddHHmmss", TZ::utc(), "19941106084937"},
        {"HH:mm:ss Z", TZ::withOffset(3600), "09:49:37 +0100"},
        {"HH:mm ZZZZZ|z|ZZZZ", TZ::withOffset(-9000), "06:19 -02:30|GMT-02:30|GMT-02:30"},
        {"h 'o''clock' a", TZ::utc(), "8 o'clock AM"},
        {"K:mm a, k:mm", TZ::withOffset(-8 * 3600 - 49 * 60), "0:00 AM, 24:00"},
        {"MM/dd/yyyy hh:mm:a", TZ::withOffset(6 * 3600), "11/06/1994 02:49:PM"},
    };
    for (const auto& c : cases) {
        DateFormatter formatter(c.pattern, c.zone);
        std::string text = formatter.stringFromDate(kSample);
        EXPECT_EQ(text, c.text) << c.pattern;
        auto parsed = formatter.dateFromString(text);
        ASSERT_TRUE(parsed) << c.pattern;
        // Patterns without a date read back 1 January 2000.
        if (std::string(c.pattern).find('y') == std::string::npos) continue;
        // Patterns without seconds read back the start of the minute.
        EXPECT_EQ(parsed->timeIntervalSince1970(),
                  std::string(c.pattern).find('s') == std::string::npos ? 784111777 - 37 : 784111777)
            << c.pattern;
    }

    DateFormatter fraction("yyyy-MM-dd'T'H:mm:ss.SSSSSS");
    auto precise = fraction.dateFromString("1994-11-06T8:49:37.123456");
    ASSERT_TRUE(precise);
    EXPECT_NEAR(precise->timeIntervalSince(kSample), 0.123456, 1e-6);
    EXPECT_EQ(fraction.stringFromDate(kSample.addingTimeInterval(0.5)), "1994-11-06T8:49:37.500000");

    DateFormatter custom("hh:mm a");
    custom.setAMSymbol("vorm.");
    custom.setPMSymbol("nachm.");
    EXPECT_EQ(custom.stringFromDate(kSample.addingTimeInterval(12 * 3600)), "08:49 nachm.");
    EXPECT_EQ(custom.dateFromString("12:00 vorm."), DateFormatter("HH:mm").dateFromString("00:00"));
    EXPECT_EQ(custom.dateFromString("13:00 vorm."), std::nullopt);
}

// Runs the body with TZ set to a zone with daylight saving time (US Eastern,
// given as a POSIX rule so no zone database is needed).
class LocalTimeTest : public DateTest {
protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        if (old) saved_ = old;
        setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
        tzset();
    }
    void TearDown() override {
        if (saved_) {
            setenv("TZ", saved_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
        DateTest::TearDown();
    }
    std::optional<std::string> saved_;
};

TEST_F(LocalTimeTest, FormatsAndParsesInLocalTime) {
    const auto local = DateFormatter::TimeZone::localZone();
    DateFormatter app("MM/dd/yyyy hh:mm:a", local);
    const Date summer = Date::fromTimeIntervalSince1970(1341425100);             // 2012-07-04 18:05 UTC
    const Date winter = Date::fromTimeIntervalSince1970(1326628800);             // 2012-01-15 12:00 UTC
    const Date midnight = Date::fromTimeIntervalSince1970(1326603600 + 60 * 7);  // 00:07 EST
    EXPECT_EQ(app.stringFromDate(summer), "07/04/2012 02:05:PM");
    EXPECT_EQ(app.stringFromDate(winter), "01/15/2012 07:00:AM");
    EXPECT_EQ(app.stringFromDate(midnight), "01/15/2012 12:07:AM");
    for (Date d : {summer, winter, midnight}) EXPECT_EQ(app.dateFromString(app.stringFromDate(d)), d);

    EXPECT_EQ(DateFormatter("z Z", local).stringFromDate(summer), "EDT -0400");
    EXPECT_EQ(DateFormatter("z Z", local).stringFromDate(winter), "EST -0500");
    EXPECT_EQ(DateFormatter::iso8601String(summer, local), "2012-07-04T14:05:00-04:00");

    // A year alone reads as 1 January, 00:00 local time.
    EXPECT_EQ(DateFormatter("yyyy", local).dateFromString("2012"), Date::fromTimeIntervalSince1970(1325394000));
    // A zone in the text wins over the local zone.
    EXPECT_EQ(DateFormatter("yyyy-MM-dd HH:mm Z", local).dateFromString("2012-07-04 18:05 +0000"), summer);
    // Fixed forms stay in GMT whatever the local zone.
    EXPECT_EQ(DateFormatter::rfc1123String(summer), "Wed, 04 Jul 2012 18:05:00 GMT");
}

}  // namespace
}  // namespace clipora::platform
