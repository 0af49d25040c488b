#include "platform/foundation/Date.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "platform/foundation/Clock.h"

namespace clipora::platform {

namespace {
// 2000 Gregorian years (485 leap days) lie between 0001-01-01 and the
// reference date, and again between the reference date and 4001-01-01.
constexpr double kTwoThousandYears = 730485.0 * 86400.0;
}  // namespace

Date Date::now() { return Clock::now(); }
Date Date::distantPast() { return Date(-kTwoThousandYears); }
Date Date::distantFuture() { return Date(kTwoThousandYears); }

Date Date::fromTimeIntervalSince1970(double seconds) {
    return Date(seconds - kTimeIntervalBetween1970AndReferenceDate);
}

Date Date::fromTimeIntervalSinceNow(double seconds) { return now().addingTimeInterval(seconds); }

double Date::timeIntervalSince1970() const { return seconds_ + kTimeIntervalBetween1970AndReferenceDate; }
double Date::timeIntervalSince(Date other) const { return seconds_ - other.seconds_; }
double Date::timeIntervalSinceNow() const { return seconds_ - now().seconds_; }
Date Date::addingTimeInterval(double seconds) const { return Date(seconds_ + seconds); }
Date Date::earlierDate(Date other) const { return other.seconds_ < seconds_ ? other : *this; }
Date Date::laterDate(Date other) const { return other.seconds_ > seconds_ ? other : *this; }

std::int64_t Date::wholeHoursBetween(Date from, Date to) {
    // Hours are fixed lengths on the Gregorian calendar (no leap seconds), so
    // the difference does not depend on the time zone.
    double hours = std::trunc((to.seconds_ - from.seconds_) / 3600.0);
    if (std::isnan(hours)) return 0;
    if (hours >= 9.2e18) return INT64_MAX;
    if (hours <= -9.2e18) return INT64_MIN;
    return static_cast<std::int64_t>(hours);
}

std::string Date::description() const {
    using namespace std::chrono;
    double since1970 = std::floor(timeIntervalSince1970());
    // Beyond about three million years the calendar is meaningless (and the
    // day count would overflow); show the raw count instead.
    if (!(std::fabs(since1970) < 1e14)) {
        return std::to_string(seconds_) + " seconds since 2001-01-01 00:00:00 +0000";
    }
    auto total = static_cast<long long>(since1970);
    long long days = total / 86400;
    long long rest = total % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    year_month_day ymd{sys_days{std::chrono::days{days}}};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02lld:%02lld:%02lld +0000", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), rest / 3600, rest / 60 % 60, rest % 60);
    return buffer;
}

}  // namespace clipora::platform
