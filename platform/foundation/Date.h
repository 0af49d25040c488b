#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace clipora::platform {

// A point in time: seconds (with fraction) since 1 January 2001 00:00:00 UTC,
// the platform's reference date. A plain value type.
class Date {
public:
    // Seconds between 1 January 1970 and the reference date.
    static constexpr double kTimeIntervalBetween1970AndReferenceDate = 978307200.0;

    // The reference date itself.
    constexpr Date() = default;
    constexpr explicit Date(double secondsSinceReferenceDate) : seconds_(secondsSinceReferenceDate) {}

    // Now, as the process-wide Clock tells it.
    static Date now();
    // 1 January 0001 and 1 January 4001, UTC.
    static Date distantPast();
    static Date distantFuture();
    static Date fromTimeIntervalSince1970(double seconds);
    static Date fromTimeIntervalSinceNow(double seconds);

    double timeIntervalSinceReferenceDate() const { return seconds_; }
    double timeIntervalSince1970() const;
    // this - other, in seconds.
    double timeIntervalSince(Date other) const;
    // this - now, in seconds (negative for a past date).
    double timeIntervalSinceNow() const;
    Date addingTimeInterval(double seconds) const;

    Date earlierDate(Date other) const;
    Date laterDate(Date other) const;

    // Whole hours from `from` to `to` on the Gregorian calendar, truncated
    // toward zero (negative when `to` is earlier).
    static std::int64_t wholeHoursBetween(Date from, Date to);

    // "2001-01-01 00:00:00 +0000" (UTC, whole seconds).
    std::string description() const;

    friend constexpr bool operator==(Date a, Date b) { return a.seconds_ == b.seconds_; }
    friend constexpr std::partial_ordering operator<=>(Date a, Date b) { return a.seconds_ <=> b.seconds_; }

private:
    double seconds_ = 0.0;
};

}  // namespace clipora::platform
