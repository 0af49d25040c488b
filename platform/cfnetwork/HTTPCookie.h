#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// One HTTP cookie (RFC 6265), immutable. Made from a "Set-Cookie" field of a
// response (cookiesWithResponseHeaderFields) or from a dictionary of
// properties (cookieWithProperties).
//
// Domain: a cookie the server scoped with a Domain attribute has a domain
// that starts with "." and is sent to that domain and every host below it; a
// cookie without one has the bare host name of the URL that set it and is
// sent to that host only ("host-only").
class HTTPCookie : public Object {
public:
    // Property keys (cookieWithProperties, properties()).
    static constexpr std::string_view kName = "Name";
    static constexpr std::string_view kValue = "Value";
    static constexpr std::string_view kDomain = "Domain";
    static constexpr std::string_view kPath = "Path";
    static constexpr std::string_view kOriginURL = "OriginURL";
    static constexpr std::string_view kExpires = "Expires";     // date, or an HTTP date text
    static constexpr std::string_view kMaximumAge = "Max-Age";  // seconds, number or text
    static constexpr std::string_view kSecure = "Secure";       // any true value ("TRUE", true, 1)
    static constexpr std::string_view kHTTPOnly = "HttpOnly";
    static constexpr std::string_view kDiscard = "Discard";  // "TRUE": a session cookie despite an expiry
    static constexpr std::string_view kVersion = "Version";
    static constexpr std::string_view kComment = "Comment";
    static constexpr std::string_view kCommentURL = "CommentURL";
    static constexpr std::string_view kPort = "Port";  // "80,8080"
    // Set by the cookie storage: when the cookie was stored first.
    static constexpr std::string_view kCreated = "Created";

    // A cookie from properties, or null when Name, Value or Path is missing,
    // when neither Domain nor OriginURL gives a domain, or when the name or
    // value holds a character a "Cookie" field cannot carry (CR, LF, ';',
    // NUL). A Domain property without a leading "." is host-only.
    static std::shared_ptr<HTTPCookie> cookieWithProperties(const Value::Dictionary& properties);

    // Every acceptable cookie the response's "Set-Cookie" fields set for
    // `url`: a cookie is dropped when its Domain attribute does not cover
    // the URL's host, names a top-level domain only, or scopes an address
    // literal to anything but itself.
    static std::vector<std::shared_ptr<HTTPCookie>> cookiesWithResponseHeaderFields(const HTTPHeaders& headers,
                                                                                    const URL& url);
    // The same from a dictionary of header fields (name -> text), where
    // several "Set-Cookie" values may have been folded into one text with
    // ", " (split again where a new "name=" begins, never inside an expiry
    // date).
    static std::vector<std::shared_ptr<HTTPCookie>> cookiesWithResponseHeaderFields(
        const Value::Dictionary& headerFields, const URL& url);
    // One "Set-Cookie" value; null when it is not acceptable for `url`.
    static std::shared_ptr<HTTPCookie> cookieFromSetCookieValue(std::string_view setCookie, const URL& url);

    // {"Cookie": "a=1; b=2"} for the cookies in order; empty for none.
    static Value::Dictionary requestHeaderFieldsWithCookies(const std::vector<std::shared_ptr<HTTPCookie>>& cookies);
    // "a=1; b=2".
    static std::string cookieHeaderValue(const std::vector<std::shared_ptr<HTTPCookie>>& cookies);

    // The cookie-date reading of RFC 6265 (section 5.1.1), lenient about
    // the form, as servers write many. Null when no valid date is found.
    static std::optional<Date> parseCookieDate(std::string_view text);

    const std::string& name() const { return name_; }
    const std::string& value() const { return value_; }
    const std::string& domain() const { return domain_; }
    const std::string& path() const { return path_; }
    // None for a session cookie.
    const std::optional<Date>& expiresDate() const { return expires_; }
    bool isSessionOnly() const { return !expires_.has_value(); }
    bool isSecure() const { return secure_; }
    bool isHTTPOnly() const { return httpOnly_; }
    bool isHostOnly() const { return hostOnly_; }
    int version() const { return version_; }
    const std::optional<std::string>& comment() const { return comment_; }
    const std::optional<std::string>& commentURL() const { return commentURL_; }
    const std::vector<int>& portList() const { return ports_; }
    Date created() const { return created_; }

    // Whether the cookie has expired at `now`.
    bool isExpired(Date now) const { return expires_ && *expires_ <= now; }
    // RFC 6265 domain, path and secure matching (not expiry) for a request
    // to `url`. Only "http" and "https" URLs match.
    bool matchesURL(const URL& url) const;
    bool domainMatches(std::string_view host) const;
    bool pathMatches(std::string_view requestPath) const;

    // The same cookie with another creation date (the storage stamps it).
    std::shared_ptr<HTTPCookie> withCreated(Date created) const;

    // Every property, under the keys above (Expires as a date, Secure and
    // HttpOnly as "TRUE" when set); cookieWithProperties() takes it back.
    Value::Dictionary properties() const;

    // Same name, domain (any case) and path: a newer cookie replaces it.
    bool hasSameIdentity(const HTTPCookie& other) const;

    std::string description() const override;
    bool isEqual(const Object& other) const override;

private:
    HTTPCookie() = default;

    std::string name_;
    std::string value_;
    std::string domain_;
    std::string path_;
    std::optional<Date> expires_;
    bool secure_ = false;
    bool httpOnly_ = false;
    bool hostOnly_ = true;
    int version_ = 0;
    std::optional<std::string> comment_;
    std::optional<std::string> commentURL_;
    std::vector<int> ports_;
    Date created_;
};

}  // namespace clipora::platform
