#include "platform/cfnetwork/HTTPCookie.h"

#include <arpa/inet.h>
#include <algorithm>
#include <cctype>
#include <limits>
#include <utility>

#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

bool isIPAddress(std::string_view host) {
    std::string text(host);
    unsigned char buffer[16];
    return inet_pton(AF_INET, text.c_str(), buffer) == 1 || inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

// Characters a "Cookie" field cannot carry inside a name or value.
bool isCarriable(std::string_view text, bool isName) {
    for (unsigned char c : text) {
        if (c == '\r' || c == '\n' || c == '\0' || c == ';') return false;
        if (isName && (c == '=' || c == ' ' || c == '\t' || c == ',')) return false;
    }
    return true;
}

bool isTokenChar(unsigned char c) {
    if (c <= 32 || c >= 127) return false;
    return std::string_view("()<>@,;:\\\"/[]?={}").find(static_cast<char>(c)) == std::string_view::npos;
}

// RFC 6265 section 5.1.4.
std::string defaultPath(const URL& url) {
    const std::string& path = url.percentEncodedPath();
    if (path.empty() || path.front() != '/') return "/";
    std::size_t last = path.rfind('/');
    if (last == 0) return "/";
    return path.substr(0, last);
}

std::string effectivePath(const URL& url) {
    const std::string& path = url.percentEncodedPath();
    return path.empty() ? std::string("/") : path;
}

bool isHTTPScheme(const URL& url) {
    return Text::equalsCaseInsensitive(url.scheme(), "http") || Text::equalsCaseInsensitive(url.scheme(), "https");
}

std::vector<int> parsePortList(std::string_view text) {
    std::vector<int> ports;
    for (const std::string& piece : Text::split(Text::trim(text, "\" "), ",")) {
        auto port = Text::parseInt64(Text::trimSpacesAndTabs(piece));
        if (port && *port > 0 && *port < 65536) ports.push_back(static_cast<int>(*port));
    }
    return ports;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool isDateDelimiter(unsigned char c) {
    return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
           (c >= 0x7B && c <= 0x7E);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads 1 to `maxDigits` digits at `pos`, at least `minDigits`.
std::optional<int> readDigits(std::string_view token, std::size_t& pos, std::size_t minDigits, std::size_t maxDigits) {
    std::size_t start = pos;
    int value = 0;
    while (pos < token.size() && isDigit(token[pos]) && pos - start < maxDigits) {
        value = value * 10 + (token[pos] - '0');
        ++pos;
    }
    if (pos - start < minDigits) return std::nullopt;
    // More digits than allowed: the production does not match.
    if (pos < token.size() && isDigit(token[pos])) return std::nullopt;
    return value;
}

}  // namespace

std::optional<Date> HTTPCookie::parseCookieDate(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isDateDelimiter(static_cast<unsigned char>(text[i]))) ++i;
        std::size_t start = i;
        while (i < text.size() && !isDateDelimiter(static_cast<unsigned char>(text[i]))) ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }

    std::optional<int> hour, minute, second, day, month, year;
    static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                   "jul", "aug", "sep", "oct", "nov", "dec"};
    for (std::string_view token : tokens) {
        if (!hour) {
            std::size_t pos = 0;
            auto h = readDigits(token, pos, 1, 2);
            if (h && pos < token.size() && token[pos] == ':') {
                ++pos;
                auto m = readDigits(token, pos, 1, 2);
                if (m && pos < token.size() && token[pos] == ':') {
                    ++pos;
                    auto s = readDigits(token, pos, 1, 2);
                    if (s) {
                        hour = h;
                        minute = m;
                        second = s;
                        continue;
                    }
                }
            }
        }
        if (!day) {
            std::size_t pos = 0;
            auto d = readDigits(token, pos, 1, 2);
            if (d) {
                day = d;
                continue;
            }
        }
        if (!month && token.size() >= 3) {
            std::string prefix = Text::lowercase(token.substr(0, 3));
            auto found = std::find(std::begin(kMonths), std::end(kMonths), prefix);
            if (found != std::end(kMonths)) {
                month = static_cast<int>(found - std::begin(kMonths)) + 1;
                continue;
            }
        }
        if (!year) {
            std::size_t pos = 0;
            auto y = readDigits(token, pos, 2, 4);
            if (y) {
                year = y;
                continue;
            }
        }
    }
    if (!hour || !day || !month || !year) return std::nullopt;
    int y = *year;
    if (y >= 70 && y <= 99) y += 1900;
    if (y >= 0 && y <= 69) y += 2000;
    if (*day < 1 || *day > daysInMonth(y, *month) || y < 1601 || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    std::int64_t days = daysFromCivil(y, static_cast<unsigned>(*month), static_cast<unsigned>(*day));
    double seconds = static_cast<double>(days) * 86400.0 + *hour * 3600.0 + *minute * 60.0 + *second;
    return Date::fromTimeIntervalSince1970(seconds);
}

std::shared_ptr<HTTPCookie> HTTPCookie::cookieFromSetCookieValue(std::string_view setCookie, const URL& url) {
    if (!isHTTPScheme(url) || url.host().empty()) return nullptr;
    std::string_view pair = setCookie;
    std::string_view attributes;
    if (std::size_t semicolon = setCookie.find(';'); semicolon != std::string_view::npos) {
        pair = setCookie.substr(0, semicolon);
        attributes = setCookie.substr(semicolon + 1);
    }
    std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) return nullptr;
    std::string name = Text::trimSpacesAndTabs(pair.substr(0, equals));
    std::string value = Text::trimSpacesAndTabs(pair.substr(equals + 1));
    if (name.empty() || !isCarriable(name, true) || !isCarriable(value, false)) return nullptr;

    std::optional<Date> expires;
    std::optional<double> maxAge;
    std::optional<std::string> domainAttribute;
    std::optional<std::string> pathAttribute;
    auto cookie = std::shared_ptr<HTTPCookie>(new HTTPCookie());
    bool discard = false;
    for (const std::string& attribute : Text::split(attributes, ";")) {
        std::string attrName = attribute;
        std::string attrValue;
        if (auto split = Text::splitAtFirst(attribute, "=")) {
            attrName = split->first;
            attrValue = Text::trimSpacesAndTabs(split->second);
        }
        attrName = Text::lowercase(Text::trimSpacesAndTabs(attrName));
        if (attrName == "expires") {
            if (auto date = parseCookieDate(attrValue)) expires = date;
        } else if (attrName == "max-age") {
            bool valid = !attrValue.empty() && (isDigit(attrValue[0]) || attrValue[0] == '-');
            for (std::size_t k = 1; valid && k < attrValue.size(); ++k) valid = isDigit(attrValue[k]);
            if (valid && attrValue != "-") {
                auto seconds = Text::parseInt64(attrValue);
                maxAge = seconds ? static_cast<double>(*seconds)
                                 : (attrValue[0] == '-' ? -1.0 : std::numeric_limits<double>::max());
            }
        } else if (attrName == "domain") {
            if (!attrValue.empty()) {
                std::string domain = Text::lowercase(attrValue);
                if (domain.front() == '.') domain.erase(0, 1);
                domainAttribute = domain;
            }
        } else if (attrName == "path") {
            pathAttribute = (attrValue.empty() || attrValue.front() != '/') ? defaultPath(url) : attrValue;
        } else if (attrName == "secure") {
            cookie->secure_ = true;
        } else if (attrName == "httponly") {
            cookie->httpOnly_ = true;
        } else if (attrName == "version") {
            cookie->version_ = static_cast<int>(Text::longLongValue(Text::trim(attrValue, "\"")));
        } else if (attrName == "comment") {
            cookie->comment_ = attrValue;
        } else if (attrName == "commenturl") {
            cookie->commentURL_ = Text::trim(attrValue, "\"");
        } else if (attrName == "port") {
            cookie->ports_ = parsePortList(attrValue);
        } else if (attrName == "discard") {
            discard = true;
        }
    }

    const std::string host = Text::lowercase(url.host());
    if (domainAttribute) {
        const std::string& domain = *domainAttribute;
        if (domain == host && (isIPAddress(host) || host.find('.') == std::string::npos)) {
            // An address, or a single-label name: only that host.
            cookie->hostOnly_ = true;
            cookie->domain_ = host;
        } else if (domain == host) {
            cookie->hostOnly_ = false;
            cookie->domain_ = "." + domain;
        } else {
            // The host must lie below the domain; an address literal can
            // only be scoped to itself, and a single label ("com") is a
            // top-level domain that no cookie may claim.
            bool below = host.size() > domain.size() && Text::hasSuffix(host, "." + domain);
            if (!below || isIPAddress(host) || domain.find('.') == std::string::npos) return nullptr;
            cookie->hostOnly_ = false;
            cookie->domain_ = "." + domain;
        }
    } else {
        cookie->hostOnly_ = true;
        cookie->domain_ = host;
    }

    cookie->name_ = std::move(name);
    cookie->value_ = std::move(value);
    cookie->path_ = pathAttribute ? *pathAttribute : defaultPath(url);
    const Date now = Date::now();
    if (maxAge) {
        // Max-Age wins over Expires; zero or less means "expired now".
        cookie->expires_ = *maxAge <= 0 ? Date::distantPast() : now.addingTimeInterval(std::min(*maxAge, 1.0e11));
    } else if (expires) {
        cookie->expires_ = expires;
    }
    if (discard && cookie->expires_ && *cookie->expires_ > now) cookie->expires_.reset();
    cookie->created_ = now;
    return cookie;
}

std::vector<std::shared_ptr<HTTPCookie>> HTTPCookie::cookiesWithResponseHeaderFields(const HTTPHeaders& headers,
                                                                                     const URL& url) {
    std::vector<std::shared_ptr<HTTPCookie>> cookies;
    for (const std::string& value : headers.values("Set-Cookie")) {
        if (auto cookie = cookieFromSetCookieValue(value, url)) cookies.push_back(std::move(cookie));
    }
    return cookies;
}

std::vector<std::shared_ptr<HTTPCookie>> HTTPCookie::cookiesWithResponseHeaderFields(
    const Value::Dictionary& headerFields, const URL& url) {
    std::vector<std::shared_ptr<HTTPCookie>> cookies;
    for (const auto& [name, value] : headerFields) {
        if (!Text::equalsCaseInsensitive(name, "Set-Cookie")) continue;
        std::vector<std::string> texts;
        if (const auto* array = value.array()) {
            for (const Value& item : *array)
                if (item.string()) texts.push_back(*item.string());
        } else if (value.string()) {
            // Split a folded field where a new "name=" starts after a comma.
            const std::string& text = *value.string();
            std::size_t start = 0;
            for (std::size_t k = 0; k < text.size(); ++k) {
                if (text[k] != ',') continue;
                std::size_t p = k + 1;
                while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
                std::size_t tokenStart = p;
                while (p < text.size() && isTokenChar(static_cast<unsigned char>(text[p]))) ++p;
                if (p > tokenStart && p < text.size() && text[p] == '=') {
                    texts.push_back(text.substr(start, k - start));
                    start = k + 1;
                }
            }
            texts.push_back(text.substr(start));
        }
        for (const std::string& text : texts) {
            if (auto cookie = cookieFromSetCookieValue(text, url)) cookies.push_back(std::move(cookie));
        }
    }
    return cookies;
}

std::shared_ptr<HTTPCookie> HTTPCookie::cookieWithProperties(const Value::Dictionary& properties) {
    auto text = [&](std::string_view key) -> std::optional<std::string> {
        auto it = properties.find(key);
        if (it == properties.end()) return std::nullopt;
        if (const std::string* s = it->second.string()) return *s;
        if (it->second.isNumber()) return it->second.description();
        if (auto url = it->second.objectAs<URL>()) return url->absoluteString();
        return std::nullopt;
    };
    auto name = text(kName);
    auto value = text(kValue);
    auto path = text(kPath);
    if (!name || !value || !path || name->empty() || !isCarriable(*name, true) || !isCarriable(*value, false))
        return nullptr;

    auto cookie = std::shared_ptr<HTTPCookie>(new HTTPCookie());
    if (auto domain = text(kDomain); domain && !domain->empty()) {
        cookie->domain_ = Text::lowercase(*domain);
        cookie->hostOnly_ = cookie->domain_.front() != '.';
    } else if (auto origin = text(kOriginURL)) {
        auto url = URL::fromString(*origin);
        if (!url || url->host().empty()) return nullptr;
        cookie->domain_ = Text::lowercase(url->host());
        cookie->hostOnly_ = true;
    } else {
        return nullptr;
    }
    cookie->name_ = *name;
    cookie->value_ = *value;
    cookie->path_ = path->empty() ? std::string("/") : *path;

    const Date now = Date::now();
    if (auto it = properties.find(kMaximumAge); it != properties.end()) {
        double seconds = it->second.string() ? Text::doubleValue(*it->second.string()) : it->second.doubleValue();
        cookie->expires_ = seconds <= 0 ? Date::distantPast() : now.addingTimeInterval(seconds);
    } else if (auto it2 = properties.find(kExpires); it2 != properties.end()) {
        if (auto date = it2->second.date())
            cookie->expires_ = *date;
        else if (const std::string* s = it2->second.string())
            cookie->expires_ = parseCookieDate(*s);
    }
    if (auto it = properties.find(kDiscard); it != properties.end() && it->second.boolValue()) cookie->expires_.reset();
    if (auto it = properties.find(kSecure); it != properties.end()) cookie->secure_ = it->second.boolValue();
    if (auto it = properties.find(kHTTPOnly); it != properties.end()) cookie->httpOnly_ = it->second.boolValue();
    if (auto it = properties.find(kVersion); it != properties.end()) cookie->version_ = it->second.intValue();
    cookie->comment_ = text(kComment);
    cookie->commentURL_ = text(kCommentURL);
    if (auto ports = text(kPort)) cookie->ports_ = parsePortList(*ports);
    if (auto it = properties.find(kCreated); it != properties.end() && it->second.date())
        cookie->created_ = *it->second.date();
    else
        cookie->created_ = now;
    return cookie;
}

Value::Dictionary HTTPCookie::requestHeaderFieldsWithCookies(const std::vector<std::shared_ptr<HTTPCookie>>& cookies) {
    Value::Dictionary fields;
    if (!cookies.empty()) fields["Cookie"] = cookieHeaderValue(cookies);
    return fields;
}

std::string HTTPCookie::cookieHeaderValue(const std::vector<std::shared_ptr<HTTPCookie>>& cookies) {
    std::string text;
    for (const auto& cookie : cookies) {
        if (!cookie) continue;
        if (!text.empty()) text += "; ";
        text += cookie->name_ + "=" + cookie->value_;
    }
    return text;
}

bool HTTPCookie::domainMatches(std::string_view host) const {
    std::string lower = Text::lowercase(host);
    if (hostOnly_) return lower == Text::lowercase(domain_);
    std::string_view bare = std::string_view(domain_).substr(1);
    if (Text::equalsCaseInsensitive(lower, bare)) return true;
    return !isIPAddress(lower) && lower.size() > domain_.size() && Text::hasSuffix(lower, Text::lowercase(domain_));
}

bool HTTPCookie::pathMatches(std::string_view requestPath) const {
    if (requestPath == path_) return true;
    if (!Text::hasPrefix(requestPath, path_)) return false;
    return path_.back() == '/' || requestPath[path_.size()] == '/';
}

bool HTTPCookie::matchesURL(const URL& url) const {
    if (!isHTTPScheme(url)) return false;
    if (secure_ && !Text::equalsCaseInsensitive(url.scheme(), "https")) return false;
    if (!domainMatches(url.host()) || !pathMatches(effectivePath(url))) return false;
    if (!ports_.empty() && std::find(ports_.begin(), ports_.end(), url.effectivePort()) == ports_.end()) return false;
    return true;
}

std::shared_ptr<HTTPCookie> HTTPCookie::withCreated(Date created) const {
    auto copy = std::shared_ptr<HTTPCookie>(new HTTPCookie(*this));
    copy->created_ = created;
    return copy;
}

Value::Dictionary HTTPCookie::properties() const {
    Value::Dictionary properties;
    properties[std::string(kName)] = name_;
    properties[std::string(kValue)] = value_;
    properties[std::string(kDomain)] = domain_;
    properties[std::string(kPath)] = path_;
    if (expires_) properties[std::string(kExpires)] = *expires_;
    if (secure_) properties[std::string(kSecure)] = "TRUE";
    if (httpOnly_) properties[std::string(kHTTPOnly)] = "TRUE";
    if (version_ != 0) properties[std::string(kVersion)] = std::to_string(version_);
    if (comment_) properties[std::string(kComment)] = *comment_;
    if (commentURL_) properties[std::string(kCommentURL)] = *commentURL_;
    if (!ports_.empty()) {
        std::vector<std::string> ports;
        for (int port : ports_) ports.push_back(std::to_string(port));
        properties[std::string(kPort)] = Text::join(ports, ",");
    }
    properties[std::string(kCreated)] = created_;
    return properties;
}

bool HTTPCookie::hasSameIdentity(const HTTPCookie& other) const {
    return name_ == other.name_ && path_ == other.path_ && Text::equalsCaseInsensitive(domain_, other.domain_);
}

std::string HTTPCookie::description() const {
    std::string text = "<HTTPCookie " + name_ + "=" + value_ + "; domain=" + domain_ + "; path=" + path_;
    if (expires_) text += "; expires=" + DateFormatter::rfc1123String(*expires_);
    if (secure_) text += "; secure";
    if (httpOnly_) text += "; httponly";
    return text + ">";
}

bool HTTPCookie::isEqual(const Object& other) const {
    const auto* cookie = dynamic_cast<const HTTPCookie*>(&other);
    return cookie && hasSameIdentity(*cookie) && value_ == cookie->value_ && expires_ == cookie->expires_ &&
           secure_ == cookie->secure_ && httpOnly_ == cookie->httpOnly_;
}

}  // namespace clipora::platform
