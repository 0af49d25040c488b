#include "platform/foundation/DateFormatter.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

constexpr const char* kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kLongMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kShortWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kLongWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// Broken-down time in some zone.
struct Fields {
    long long year = 2000;
    int month = 1;  // 1-12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    double fraction = 0;  // [0, 1)
    int weekday = 6;      // 0 = Sunday
    int offset = 0;       // seconds east of UTC
    std::string zoneName;
};

long long floorDiv(long long a, long long b) {
    long long q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

long long daysFromCivil(long long y, int m, int d) {
    using namespace std::chrono;
    return sys_days{year{static_cast<int>(y)} / month{static_cast<unsigned>(m)} / day{static_cast<unsigned>(d)}}
        .time_since_epoch()
        .count();
}

int daysInMonth(long long y, int m) {
    using namespace std::chrono;
    return static_cast<int>(unsigned((year{static_cast<int>(y)} / month{static_cast<unsigned>(m)} / last).day()));
}

// Fields of a UTC second count shifted by `offset`.
void civilFields(long long seconds, int offset, Fields& f) {
    using namespace std::chrono;
    long long shifted = seconds + offset;
    long long days = floorDiv(shifted, 86400);
    long long rest = shifted - days * 86400;
    year_month_day ymd{sys_days{std::chrono::days{days}}};
    f.year = int(ymd.year());
    f.month = static_cast<int>(unsigned(ymd.month()));
    f.day = static_cast<int>(unsigned(ymd.day()));
    f.hour = static_cast<int>(rest / 3600);
    f.minute = static_cast<int>(rest / 60 % 60);
    f.second = static_cast<int>(rest % 60);
    f.weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    f.offset = offset;
}

Fields fieldsOf(Date date, const DateFormatter::TimeZone& zone) {
    Fields f;
    double since1970 = date.timeIntervalSince1970();
    double whole = std::floor(since1970);
    auto seconds = static_cast<long long>(whole);
    f.fraction = since1970 - whole;
    int offset = zone.offsetSeconds;
    if (zone.local) {
        std::time_t t = static_cast<std::time_t>(seconds);
        std::tm tm{};
        if (localtime_r(&t, &tm)) {
            offset = static_cast<int>(tm.tm_gmtoff);
            f.zoneName = tm.tm_zone ? tm.tm_zone : "";
        } else {
            offset = 0;
        }
    }
    civilFields(seconds, offset, f);
    return f;
}

std::string pad(long long value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

std::string offsetText(int offset, bool colon) {
    int magnitude = offset < 0 ? -offset : offset;
    std::string out = offset < 0 ? "-" : "+";
    out += pad(magnitude / 3600, 2);
    if (colon) out += ':';
    out += pad(magnitude / 60 % 60, 2);
    return out;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isNumericLetter(char letter, int count) {
    switch (letter) {
    case 'y':
    case 'd':
    case 'H':
    case 'h':
    case 'K':
    case 'k':
    case 'm':
    case 's':
    case 'S': return true;
    case 'M': return count <= 2;
    default: return false;
    }
}

// A cursor over the text being parsed.
struct Reader {
    std::string_view text;
    std::size_t at = 0;

    bool done() const { return at >= text.size(); }
    char peek() const { return done() ? '\0' : text[at]; }

    std::optional<long long> number(std::size_t minDigits, std::size_t maxDigits) {
        std::size_t start = at;
        long long value = 0;
        while (!done() && isDigit(peek()) && at - start < maxDigits) value = value * 10 + (text[at++] - '0');
        if (at - start < minDigits) {
            at = start;
            return std::nullopt;
        }
        return value;
    }

    // Matches one of `names` without case, longest first; answers its index.
    template <std::size_t N>
    std::optional<int> name(const char* const (&names)[N]) {
        int best = -1;
        std::size_t bestLength = 0;
        for (std::size_t i = 0; i < N; ++i) {
            std::string_view candidate(names[i]);
            if (candidate.size() > bestLength && text.size() - at >= candidate.size() &&
                Text::equalsCaseInsensitive(text.substr(at, candidate.size()), candidate)) {
                best = static_cast<int>(i);
                bestLength = candidate.size();
            }
        }
        if (best < 0) return std::nullopt;
        at += bestLength;
        return best;
    }

    bool word(std::string_view w) {
        if (text.size() - at >= w.size() && Text::equalsCaseInsensitive(text.substr(at, w.size()), w)) {
            at += w.size();
            return true;
        }
        return false;
    }

    // "+hh", "+hhmm", "+hh:mm" (also with '-').
    std::optional<int> signedOffset() {
        if (peek() != '+' && peek() != '-') return std::nullopt;
        std::size_t start = at;
        int sign = text[at++] == '-' ? -1 : 1;
        auto hours = number(1, 2);
        if (!hours) {
            at = start;
            return std::nullopt;
        }
        long long minutes = 0;
        if (peek() == ':') {
            ++at;
            auto m = number(2, 2);
            if (!m) {
                at = start;
                return std::nullopt;
            }
            minutes = *m;
        } else if (auto m = number(2, 2)) {
            minutes = *m;
        }
        if (*hours > 23 || minutes > 59) {
            at = start;
            return std::nullopt;
        }
        return sign * static_cast<int>(*hours * 3600 + minutes * 60);
    }

    std::optional<int> zone() {
        if (word("GMT") || word("UTC") || word("UT")) {
            if (auto offset = signedOffset()) return offset;
            return 0;
        }
        if (auto offset = signedOffset()) return offset;
        static const std::pair<const char*, int> kNamed[] = {
            {"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7},
        };
        for (const auto& [zoneName, hours] : kNamed) {
            if (word(zoneName)) return hours * 3600;
        }
        if (word("Z")) return 0;
        return std::nullopt;
    }
};

int currentYear() {
    Fields f;
    double since1970 = std::floor(Date::now().timeIntervalSince1970());
    civilFields(static_cast<long long>(since1970), 0, f);
    return static_cast<int>(f.year);
}

}  // namespace

DateFormatter::DateFormatter(std::string pattern, TimeZone zone) : pattern_(std::move(pattern)), zone_(zone) {
    const std::string& p = pattern_;
    for (std::size_t i = 0; i < p.size();) {
        char c = p[i];
        if (c == '\'') {
            std::string literal;
            ++i;
            if (i < p.size() && p[i] == '\'') {
                literal = "'";
                ++i;
            } else {
                while (i < p.size()) {
                    if (p[i] == '\'') {
                        if (i + 1 < p.size() && p[i + 1] == '\'') {
                            literal += '\'';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    literal += p[i++];
                }
            }
            if (!tokens_.empty() && tokens_.back().letter == 0) {
                tokens_.back().literal += literal;
            } else {
                tokens_.push_back({0, 0, literal});
            }
        } else if (isLetter(c)) {
            int count = 0;
            while (i < p.size() && p[i] == c) ++count, ++i;
            tokens_.push_back({c, count, {}});
        } else {
            if (!tokens_.empty() && tokens_.back().letter == 0) {
                tokens_.back().literal += c;
            } else {
                tokens_.push_back({0, 0, std::string(1, c)});
            }
            ++i;
        }
    }
}

std::string DateFormatter::stringFromDate(Date date) const {
    // Nothing sensible to show beyond about three million years (the day
    // count would overflow).
    if (!(std::fabs(date.timeIntervalSince1970()) < 1e14)) return {};
    Fields f = fieldsOf(date, zone_);
    std::string out;
    for (const Token& t : tokens_) {
        switch (t.letter) {
        case 0: out += t.literal; break;
        case 'y': out += t.count == 2 ? pad(((f.year % 100) + 100) % 100, 2) : pad(f.year, t.count); break;
        case 'M':
            if (t.count >= 4) {
                out += kLongMonths[f.month - 1];
            } else if (t.count == 3) {
                out += kShortMonths[f.month - 1];
            } else {
                out += pad(f.month, t.count);
            }
            break;
        case 'd': out += pad(f.day, t.count); break;
        case 'E': out += t.count >= 4 ? kLongWeekdays[f.weekday] : kShortWeekdays[f.weekday]; break;
        case 'a': out += f.hour < 12 ? amSymbol_ : pmSymbol_; break;
        case 'H': out += pad(f.hour, t.count); break;
        case 'h': out += pad(f.hour % 12 == 0 ? 12 : f.hour % 12, t.count); break;
        case 'K': out += pad(f.hour % 12, t.count); break;
        case 'k': out += pad(f.hour == 0 ? 24 : f.hour, t.count); break;
        case 'm': out += pad(f.minute, t.count); break;
        case 's': out += pad(f.second, t.count); break;
        case 'S': {
            // Truncate, so that a formatted time never rounds up into the next second.
            double scaled = std::floor(f.fraction * std::pow(10.0, std::min(t.count, 15)));
            out += pad(static_cast<long long>(scaled), std::min(t.count, 15));
            for (int extra = 15; extra < t.count; ++extra) out += '0';
            break;
        }
        case 'z':
            if (f.offset == 0 && !zone_.local) {
                out += "GMT";
            } else if (zone_.local && !f.zoneName.empty()) {
                out += f.zoneName;
            } else {
                out += "GMT" + offsetText(f.offset, true);
            }
            break;
        case 'Z':
            if (t.count == 4) {
                out += "GMT" + offsetText(f.offset, true);
            } else if (t.count >= 5) {
                out += f.offset == 0 ? "Z" : offsetText(f.offset, true);
            } else {
                out += offsetText(f.offset, false);
            }
            break;
        case 'X':
        case 'x': {
            if (t.letter == 'X' && f.offset == 0) {
                out += 'Z';
                break;
            }
            std::string text = offsetText(f.offset, t.count >= 3);
            if (t.count == 1 && f.offset % 3600 == 0) text.resize(3);
            out += text;
            break;
        }
        default: out += std::string(static_cast<std::size_t>(t.count), t.letter);
        }
    }
    return out;
}

std::optional<Date> DateFormatter::dateFromString(std::string_view input) const {
    std::string trimmed = Text::trimWhitespaceAndNewlines(input);
    Reader r{trimmed};
    Fields f;
    std::optional<int> zoneOffset;
    bool pm = false;
    bool sawAmPm = false;
    bool hour12 = false;
    int hourField = 0;
    char hourLetter = 0;

    for (std::size_t i = 0; i < tokens_.size(); ++i) {
        const Token& t = tokens_[i];
        if (t.letter == 0) {
            for (char c : t.literal) {
                if (c == ' ') {
                    if (r.peek() != ' ') return std::nullopt;
                    while (r.peek() == ' ') ++r.at;
                } else {
                    if (r.peek() != c) return std::nullopt;
                    ++r.at;
                }
            }
            continue;
        }
        const bool adjacentNumber = i + 1 < tokens_.size() && tokens_[i + 1].letter != 0 &&
                                    isNumericLetter(tokens_[i + 1].letter, tokens_[i + 1].count);
        auto count = static_cast<std::size_t>(t.count);
        auto numberField = [&](std::size_t maxDigits) {
            return adjacentNumber ? r.number(count, count) : r.number(1, std::max(count, maxDigits));
        };
        switch (t.letter) {
        case 'y': {
            std::size_t start = r.at;
            auto y = t.count == 2 ? r.number(2, 2) : numberField(4);
            if (!y) return std::nullopt;
            f.year = *y;
            if (t.count == 2 && r.at - start == 2) {
                int windowStart = currentYear() - 80;
                long long candidate = windowStart - ((windowStart % 100) + 100) % 100 + *y;
                if (candidate < windowStart) candidate += 100;
                f.year = candidate;
            }
            break;
        }
        case 'M': {
            std::optional<int> month;
            if (t.count >= 3) {
                if (auto m = r.name(kLongMonths)) {
                    month = *m + 1;
                } else if (auto s = r.name(kShortMonths)) {
                    month = *s + 1;
                }
            } else if (auto n = numberField(2)) {
                month = static_cast<int>(*n);
            }
            if (!month || *month < 1 || *month > 12) return std::nullopt;
            f.month = *month;
            break;
        }
        case 'E':
            if (!r.name(kLongWeekdays) && !r.name(kShortWeekdays)) return std::nullopt;
            break;
        case 'a':
            if (r.word(amSymbol_)) {
                pm = false;
            } else if (r.word(pmSymbol_)) {
                pm = true;
            } else {
                return std::nullopt;
            }
            sawAmPm = true;
            break;
        case 'd':
        case 'H':
        case 'h':
        case 'K':
        case 'k':
        case 'm':
        case 's': {
            auto n = numberField(2);
            if (!n || *n > 99) return std::nullopt;
            int v = static_cast<int>(*n);
            if (t.letter == 'd') {
                f.day = v;
            } else if (t.letter == 'm') {
                if (v > 59) return std::nullopt;
                f.minute = v;
            } else if (t.letter == 's') {
                if (v > 59) return std::nullopt;
                f.second = v;
            } else {
                hourField = v;
                hourLetter = t.letter;
                hour12 = t.letter == 'h' || t.letter == 'K';
            }
            break;
        }
        case 'S': {
            std::size_t start = r.at;
            while (isDigit(r.peek())) ++r.at;
            if (r.at == start) return std::nullopt;
            std::string digits(trimmed.substr(start, std::min<std::size_t>(r.at - start, 15)));
            f.fraction = static_cast<double>(std::stoll(digits)) / std::pow(10.0, double(digits.size()));
            break;
        }
        case 'z':
        case 'Z':
        case 'X':
        case 'x': {
            auto offset = r.zone();
            if (!offset) return std::nullopt;
            zoneOffset = offset;
            break;
        }
        default:
            for (int k = 0; k < t.count; ++k) {
                if (r.peek() != t.letter) return std::nullopt;
                ++r.at;
            }
        }
    }
    if (!r.done()) return std::nullopt;

    switch (hourLetter) {
    case 0: break;
    case 'H':
        if (hourField > 23) return std::nullopt;
        f.hour = hourField;
        break;
    case 'k':
        if (hourField < 1 || hourField > 24) return std::nullopt;
        f.hour = hourField % 24;
        break;
    case 'h':
        if (hourField < 1 || hourField > 12) return std::nullopt;
        f.hour = hourField % 12;
        break;
    case 'K':
        if (hourField > 11) return std::nullopt;
        f.hour = hourField;
        break;
    }
    if (hour12 && sawAmPm && pm) f.hour += 12;
    if (!hour12 && sawAmPm && pm && f.hour < 12) f.hour += 12;
    if (f.day < 1 || f.day > daysInMonth(f.year, f.month)) return std::nullopt;

    long long localSeconds = daysFromCivil(f.year, f.month, f.day) * 86400 + f.hour * 3600 + f.minute * 60 + f.second;
    long long utcSeconds;
    if (zoneOffset) {
        utcSeconds = localSeconds - *zoneOffset;
    } else if (zone_.local) {
        std::tm tm{};
        tm.tm_year = static_cast<int>(f.year - 1900);
        tm.tm_mon = f.month - 1;
        tm.tm_mday = f.day;
        tm.tm_hour = f.hour;
        tm.tm_min = f.minute;
        tm.tm_sec = f.second;
        tm.tm_isdst = -1;
        std::time_t t = mktime(&tm);
        if (t == static_cast<std::time_t>(-1) && !(tm.tm_year == 69 && tm.tm_mon == 11 && tm.tm_mday == 31)) {
            return std::nullopt;
        }
        utcSeconds = static_cast<long long>(t);
    } else {
        utcSeconds = localSeconds - zone_.offsetSeconds;
    }
    return Date::fromTimeIntervalSince1970(static_cast<double>(utcSeconds) + f.fraction);
}

// The formatters of the HTTP date forms are never destroyed: cookie, cache
// and header code on background threads uses them, also while statics are
// destroyed at exit.
std::string DateFormatter::rfc1123String(Date date) {
    static const DateFormatter& formatter = *new DateFormatter("EEE, dd MMM yyyy HH:mm:ss 'GMT'");
    return formatter.stringFromDate(date);
}

std::optional<Date> DateFormatter::dateFromRFC1123(std::string_view text) {
    static const std::vector<DateFormatter>& formatters = *new std::vector<DateFormatter>{
        DateFormatter("EEE, dd MMM yyyy HH:mm:ss z"),
        DateFormatter("dd MMM yyyy HH:mm:ss z"),
        DateFormatter("EEE, dd MMM yyyy HH:mm z"),
        DateFormatter("dd MMM yyyy HH:mm z"),
    };
    for (const auto& formatter : formatters) {
        if (auto date = formatter.dateFromString(text)) return date;
    }
    return std::nullopt;
}

std::string DateFormatter::rfc850String(Date date) {
    static const DateFormatter& formatter = *new DateFormatter("EEEE, dd-MMM-yy HH:mm:ss 'GMT'");
    return formatter.stringFromDate(date);
}

std::optional<Date> DateFormatter::dateFromRFC850(std::string_view text) {
    static const std::vector<DateFormatter>& formatters = *new std::vector<DateFormatter>{
        DateFormatter("EEEE, dd-MMM-yy HH:mm:ss z"),
        DateFormatter("EEEE, dd-MMM-yyyy HH:mm:ss z"),
    };
    for (const auto& formatter : formatters) {
        if (auto date = formatter.dateFromString(text)) return date;
    }
    return std::nullopt;
}

std::string DateFormatter::asctimeString(Date date) {
    // asctime pads the day with a space, which no pattern letter does.
    static const DateFormatter& head = *new DateFormatter("EEE MMM");
    static const DateFormatter& day = *new DateFormatter("d");
    static const DateFormatter& tail = *new DateFormatter("HH:mm:ss yyyy");
    std::string d = day.stringFromDate(date);
    return head.stringFromDate(date) + (d.size() < 2 ? "  " : " ") + d + " " + tail.stringFromDate(date);
}

std::optional<Date> DateFormatter::dateFromAsctime(std::string_view text) {
    static const DateFormatter& formatter = *new DateFormatter("EEE MMM d HH:mm:ss yyyy");
    return formatter.dateFromString(text);
}

std::optional<Date> DateFormatter::dateFromHTTPDate(std::string_view text) {
    if (auto date = dateFromRFC1123(text)) return date;
    if (auto date = dateFromRFC850(text)) return date;
    return dateFromAsctime(text);
}

std::string DateFormatter::iso8601String(Date date, TimeZone zone) {
    return DateFormatter("yyyy-MM-dd'T'HH:mm:ssXXX", zone).stringFromDate(date);
}

std::optional<Date> DateFormatter::dateFromISO8601(std::string_view text, TimeZone zone) {
    const char* patterns[] = {
        "yyyy-MM-dd'T'HH:mm:ss.SX",
        "yyyy-MM-dd'T'HH:mm:ssX",
        "yyyy-MM-dd'T'HH:mm:ss.S",
        "yyyy-MM-dd'T'HH:mm:ss",
        "yyyy-MM-dd'T'HH:mmX",
        "yyyy-MM-dd'T'HH:mm",
        "yyyy-MM-dd",
    };
    for (const char* pattern : patterns) {
        if (auto date = DateFormatter(pattern, zone).dateFromString(text)) return date;
    }
    return std::nullopt;
}

}  // namespace clipora::platform
