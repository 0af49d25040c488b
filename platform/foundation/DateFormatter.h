#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Date.h"

namespace clipora::platform {

// Formats and parses dates by a fixed pattern, in English names and
// independent of the user's locale.
//
// Pattern letters (a letter repeated gives the width or the form):
//   y  year (yy: two digits, read within 80 years before and 20 after now;
//      yyyy: four digits)            M  month (M, MM numbers; MMM "Nov"; MMMM "November")
//   d  day of month                  E  weekday (E-EEE "Sun"; EEEE "Sunday")
//   H  hour 0-23    h hour 1-12      K hour 0-11    k hour 1-24
//   a  AM/PM symbol                  m  minute      s second
//   S  fraction of a second (as many digits as letters; reads any number)
//   z  zone name: "GMT" at offset 0, the local abbreviation in local time,
//      "GMT+hh:mm" otherwise
//   Z  "+hhmm" (ZZZZ "GMT+hh:mm", ZZZZZ "+hh:mm" or "Z")
//   X  "Z" at offset 0, otherwise X "+hh[mm]", XX "+hhmm", XXX "+hh:mm"
//   x  as X but never "Z"
// Text in single quotes is literal ('' is a quote); other characters that are
// not letters are literal. When parsing, a space matches one or more spaces;
// numbers take one or two digits (years up to four) unless the next field is
// a number too, in which case they take exactly as many digits as letters;
// names compare without case; any of the zone forms above, "UTC", "UT", "Z"
// and the US zone names (EST, EDT, CST, CDT, MST, MDT, PST, PDT) are read
// for z, Z, X and x. A zone in the text overrides the formatter's zone. Fields
// that the pattern lacks default to 1 January 2000, 00:00:00. Parsing fails
// (std::nullopt) unless the whole text (apart from surrounding blanks) is read
// and every field is in range.
class DateFormatter {
public:
    // The zone dates are shown in and read from.
    struct TimeZone {
        bool local = false;
        int offsetSeconds = 0;  // east of UTC; used when not local

        static TimeZone utc() { return {}; }
        static TimeZone localZone() { return {true, 0}; }
        static TimeZone withOffset(int secondsEastOfUTC) { return {false, secondsEastOfUTC}; }
    };

    explicit DateFormatter(std::string pattern, TimeZone zone = TimeZone::utc());

    const std::string& pattern() const { return pattern_; }
    const TimeZone& timeZone() const { return zone_; }
    void setAMSymbol(std::string symbol) { amSymbol_ = std::move(symbol); }
    void setPMSymbol(std::string symbol) { pmSymbol_ = std::move(symbol); }

    std::string stringFromDate(Date date) const;
    std::optional<Date> dateFromString(std::string_view text) const;

    // "Sun, 06 Nov 1994 08:49:37 GMT".
    static std::string rfc1123String(Date date);
    // RFC 1123 / RFC 822 dates, with or without the weekday and the seconds,
    // any zone form ("GMT", "UTC", "+0100", "EST").
    static std::optional<Date> dateFromRFC1123(std::string_view text);
    // "Sunday, 06-Nov-94 08:49:37 GMT".
    static std::string rfc850String(Date date);
    // RFC 850 dates, with a two- or four-digit year.
    static std::optional<Date> dateFromRFC850(std::string_view text);
    // "Sun Nov  6 08:49:37 1994" (UTC).
    static std::string asctimeString(Date date);
    static std::optional<Date> dateFromAsctime(std::string_view text);
    // Any of the three forms HTTP allows.
    static std::optional<Date> dateFromHTTPDate(std::string_view text);
    // "1994-11-06T08:49:37Z" in UTC, "1994-11-06T09:49:37+01:00" elsewhere.
    static std::string iso8601String(Date date, TimeZone zone = TimeZone::utc());
    // "yyyy-MM-dd'T'HH:mm:ss" with an optional fraction and an optional zone
    // ("Z", "+hh:mm", "+hhmm", "+hh"; none means `zone`), or a bare "yyyy-MM-dd".
    static std::optional<Date> dateFromISO8601(std::string_view text, TimeZone zone = TimeZone::utc());

private:
    struct Token {
        char letter;  // 0 for a literal
        int count;
        std::string literal;
    };

    std::string pattern_;
    TimeZone zone_;
    std::vector<Token> tokens_;
    std::string amSymbol_ = "AM";
    std::string pmSymbol_ = "PM";
};

}  // namespace clipora::platform
