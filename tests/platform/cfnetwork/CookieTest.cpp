#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cfnetwork/HTTPCookie.h"
#include "platform/cfnetwork/HTTPCookieStorage.h"
#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/URL.h"
#include "tests/support/TestHome.h"

namespace clipora::platform {
namespace {

using test::PlatformTest;

URL url(const char* text) { return *URL::fromString(text); }

class CookieTest : public PlatformTest {};

std::shared_ptr<HTTPCookie> parse(const char* setCookie, const char* origin) {
    return HTTPCookie::cookieFromSetCookieValue(setCookie, url(origin));
}

TEST_F(CookieTest, ParsesAttributesAndDefaultsFromTheURL) {
    auto cookie = parse("sid = abc ; Path=/app; Secure; HttpOnly; Max-Age=3600", "https://www.example.com/x/y");
    ASSERT_TRUE(cookie);
    EXPECT_EQ(cookie->name(), "sid");
    EXPECT_EQ(cookie->value(), "abc");
    EXPECT_EQ(cookie->domain(), "www.example.com");
    EXPECT_TRUE(cookie->isHostOnly());
    EXPECT_EQ(cookie->path(), "/app");
    EXPECT_TRUE(cookie->isSecure());
    EXPECT_TRUE(cookie->isHTTPOnly());
    ASSERT_TRUE(cookie->expiresDate());
    EXPECT_DOUBLE_EQ(cookie->expiresDate()->timeIntervalSince(Date::now()), 3600);

    // Default path: the request path up to its last '/'.
    auto plain = parse("a=1", "http://example.com/dir/page.html");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->path(), "/dir");
    EXPECT_TRUE(plain->isSessionOnly());
    EXPECT_EQ(parse("a=1", "http://example.com/page")->path(), "/");

    // Max-Age wins over Expires, whatever their order.
    auto both = parse("a=1; Max-Age=60; Expires=Wed, 09 Jun 2021 10:18:14 GMT", "http://example.com/");
    EXPECT_DOUBLE_EQ(both->expiresDate()->timeIntervalSince(Date::now()), 60);
}

TEST_F(CookieTest, RefusesCookiesAServerMayNotSet) {
    const char* origin = "http://www.example.com/";
    EXPECT_FALSE(parse("novalue", origin));
    EXPECT_FALSE(parse("=value", origin));
    EXPECT_FALSE(parse("a=1; Domain=other.com", origin));       // not above the host
    EXPECT_FALSE(parse("a=1; Domain=com", origin));             // a top-level domain
    EXPECT_FALSE(parse("a=1; Domain=ww.example.com", origin));  // a suffix, not a parent
    EXPECT_FALSE(HTTPCookie::cookieFromSetCookieValue("a=1; Domain=0.0.1", url("http://127.0.0.1/")));
    EXPECT_FALSE(HTTPCookie::cookieFromSetCookieValue("a=1", url("ftp://example.com/")));

    auto scoped = parse("a=1; Domain=.Example.COM", origin);
    ASSERT_TRUE(scoped);
    EXPECT_EQ(scoped->domain(), ".example.com");
    EXPECT_FALSE(scoped->isHostOnly());
    auto self = parse("a=1; Domain=www.example.com", origin);
    ASSERT_TRUE(self);
    EXPECT_EQ(self->domain(), ".www.example.com");
    EXPECT_FALSE(self->isHostOnly());
    auto local = HTTPCookie::cookieFromSetCookieValue("a=1; Domain=localhost", url("http://localhost/"));
    ASSERT_TRUE(local);
    EXPECT_TRUE(local->isHostOnly());
}

TEST_F(CookieTest, MatchesDomainPathSecureAndExpiry) {
    struct Case {
        const char* setCookie;
        const char* setBy;
        const char* requestURL;
        bool sent;
    };
    const Case cases[] = {
        {"a=1", "http://example.com/", "http://example.com/", true},
        {"a=1", "http://example.com/", "http://www.example.com/", false},  // host-only
        {"a=1", "http://example.com/", "http://EXAMPLE.com/", true},       // case of the host
        {"a=1; Domain=example.com", "http://example.com/", "http://www.example.com/", true},
        {"a=1; Domain=example.com", "http://example.com/", "http://notexample.com/", false},
        {"a=1; Domain=example.com", "http://example.com/", "http://other.org/", false},
        {"a=1; Path=/docs", "http://example.com/", "http://example.com/docs", true},
        {"a=1; Path=/docs", "http://example.com/", "http://example.com/docs/web", true},
        {"a=1; Path=/docs", "http://example.com/", "http://example.com/docsx", false},
        {"a=1; Path=/docs/", "http://example.com/", "http://example.com/docs", false},
        {"a=1; Path=/", "http://example.com/", "http://example.com/anything?q=1", true},
        {"a=1; Secure", "https://example.com/", "https://example.com/", true},
        {"a=1; Secure", "https://example.com/", "http://example.com/", false},
        {"a=1; Max-Age=0", "http://example.com/", "http://example.com/", false},
        {"a=1; Expires=Thu, 01 Jan 1970 00:00:00 GMT", "http://example.com/", "http://example.com/", false},
        {"a=1; Expires=Fri, 01 Jan 2038 00:00:00 GMT", "http://example.com/", "http://example.com/", true},
        {"a=1", "http://127.0.0.1:8080/", "http://127.0.0.1:9090/", true},  // ports do not separate cookies
        {"a=1", "http://127.0.0.1/", "http://127.0.0.2/", false},
    };
    for (const Case& c : cases) {
        HTTPCookieStorage storage;
        auto cookies =
            HTTPCookie::cookiesWithResponseHeaderFields(Value::Dictionary{{"Set-Cookie", c.setCookie}}, url(c.setBy));
        storage.setCookiesForURL(cookies, url(c.setBy), std::nullopt);
        EXPECT_EQ(storage.cookiesForURL(url(c.requestURL)).size(), c.sent ? 1u : 0u)
            << c.setCookie << " set by " << c.setBy << " for " << c.requestURL;
    }
}

TEST_F(CookieTest, ReadsTheDateFormsServersWrite) {
    const double expected = DateFormatter::dateFromRFC1123("Wed, 09 Jun 2021 10:18:14 GMT")->timeIntervalSince1970();
    for (const char* text : {"Wed, 09 Jun 2021 10:18:14 GMT", "Wednesday, 09-Jun-21 10:18:14 GMT",
                             "Wed Jun  9 10:18:14 2021", "9 jun 2021 10:18:14", "Wed, 09-Jun-2021 10:18:14 UTC"}) {
        auto date = HTTPCookie::parseCookieDate(text);
        ASSERT_TRUE(date) << text;
        EXPECT_DOUBLE_EQ(date->timeIntervalSince1970(), expected) << text;
    }
    for (const char* text : {"", "tomorrow", "31 Feb 2021 10:00:00", "09 Jun 2021 25:00:00", "09 Jun 1500 10:00:00"})
        EXPECT_FALSE(HTTPCookie::parseCookieDate(text)) << text;
}

TEST_F(CookieTest, SplitsFoldedSetCookieFieldsButNotTheirDates) {
    Value::Dictionary fields{{"set-cookie", "a=1; Expires=Wed, 09 Jun 2038 10:18:14 GMT; Path=/, b=2, c=3; Path=/x"}};
    auto cookies = HTTPCookie::cookiesWithResponseHeaderFields(fields, url("http://example.com/"));
    ASSERT_EQ(cookies.size(), 3u);
    EXPECT_EQ(cookies[0]->name(), "a");
    EXPECT_TRUE(cookies[0]->expiresDate());
    EXPECT_EQ(cookies[1]->name(), "b");
    EXPECT_EQ(cookies[2]->path(), "/x");

    HTTPHeaders headers;
    headers.add("Set-Cookie", "x=1");
    headers.add("Set-Cookie", "y=2; Expires=Wed, 09 Jun 2038 10:18:14 GMT");
    EXPECT_EQ(HTTPCookie::cookiesWithResponseHeaderFields(headers, url("http://example.com/")).size(), 2u);
}

TEST_F(CookieTest, StorageReplacesDeletesAndOrders) {
    HTTPCookieStorage storage;
    const URL site = url("http://www.example.com/a/b");
    storage.setCookiesForURL(
        HTTPCookie::cookiesWithResponseHeaderFields(
            Value::Dictionary{{"Set-Cookie", "root=1; Path=/, deep=2; Path=/a/b, mid=3; Path=/a"}}, site),
        site, std::nullopt);
    auto sent = storage.cookiesForURL(site);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(HTTPCookie::cookieHeaderValue(sent), "deep=2; mid=3; root=1");  // longest path first
    EXPECT_EQ(HTTPCookie::requestHeaderFieldsWithCookies(sent).at("Cookie"), Value("deep=2; mid=3; root=1"));

    // Same name, domain and path: replaced in place.
    storage.setCookie(HTTPCookie::cookieFromSetCookieValue("root=9; Path=/", site));
    EXPECT_EQ(*storage.cookieHeaderForURL(site), "deep=2; mid=3; root=9");
    // An expired cookie deletes the stored one.
    storage.setCookie(HTTPCookie::cookieFromSetCookieValue("mid=x; Path=/a; Max-Age=0", site));
    EXPECT_EQ(*storage.cookieHeaderForURL(site), "deep=2; root=9");
    storage.deleteCookie(*storage.cookiesForURL(site).front());
    EXPECT_EQ(*storage.cookieHeaderForURL(site), "root=9");

    // A cookie whose time ran out is no longer returned.
    storage.setCookie(HTTPCookie::cookieFromSetCookieValue("short=1; Max-Age=10", site));
    EXPECT_EQ(storage.cookies().size(), 2u);
    advanceClock(11);
    EXPECT_EQ(storage.cookies().size(), 1u);
}

TEST_F(CookieTest, EnumeratesByDomainAndHonoursTheAcceptPolicy) {
    HTTPCookieStorage storage;
    storage.setCookie(parse("a=1; Domain=example.com", "http://www.example.com/"));
    storage.setCookie(parse("b=2", "http://deep.www.example.com/"));
    storage.setCookie(parse("c=3", "http://other.org/"));
    EXPECT_EQ(storage.cookiesForDomain("example.com").size(), 2u);
    EXPECT_EQ(storage.cookiesForDomain(".www.example.com").size(), 1u);
    EXPECT_EQ(storage.cookiesForDomain("other.org").size(), 1u);

    const URL tracker = url("http://tracker.net/");
    auto cookies = HTTPCookie::cookiesWithResponseHeaderFields(Value::Dictionary{{"Set-Cookie", "t=1"}}, tracker);
    storage.setCookieAcceptPolicy(HTTPCookieStorage::AcceptPolicy::OnlyFromMainDocumentDomain);
    storage.setCookiesForURL(cookies, tracker, url("http://www.example.com/"));
    EXPECT_TRUE(storage.cookiesForURL(tracker).empty());
    storage.setCookiesForURL(cookies, tracker, url("http://www.tracker.net/"));
    EXPECT_EQ(storage.cookiesForURL(tracker).size(), 1u);
    storage.deleteAllCookies();
    storage.setCookieAcceptPolicy(HTTPCookieStorage::AcceptPolicy::Never);
    storage.setCookiesForURL(cookies, tracker, std::nullopt);
    EXPECT_TRUE(storage.cookies().empty());
}

TEST_F(CookieTest, PropertiesRoundTrip) {
    auto cookie = HTTPCookie::cookieWithProperties({{"Name", "n"},
                                                    {"Value", "v"},
                                                    {"Domain", ".example.com"},
                                                    {"Path", "/"},
                                                    {"Expires", Date::now().addingTimeInterval(100)},
                                                    {"Secure", "TRUE"}});
    ASSERT_TRUE(cookie);
    EXPECT_FALSE(cookie->isHostOnly());
    EXPECT_TRUE(cookie->isSecure());
    auto again = HTTPCookie::cookieWithProperties(cookie->properties());
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->isEqual(*cookie));
    EXPECT_FALSE(HTTPCookie::cookieWithProperties({{"Name", "n"}, {"Value", "v"}, {"Path", "/"}}));  // no domain
    EXPECT_FALSE(
        HTTPCookie::cookieWithProperties({{"Name", "n"}, {"Value", "v\r\nX: y"}, {"Domain", "a.com"}, {"Path", "/"}}));
}

TEST_F(CookieTest, SharedStorageKeepsPersistentCookiesInAPrivateFile) {
    auto storage = HTTPCookieStorage::sharedHTTPCookieStorage();
    const URL site = url("http://example.com/");
    storage->setCookiesForURL(HTTPCookie::cookiesWithResponseHeaderFields(
                                  Value::Dictionary{{"Set-Cookie", "keep=1; Max-Age=3600, session=2"}}, site),
                              site, std::nullopt);
    ASSERT_TRUE(storage->file());
    struct stat info {};
    ASSERT_EQ(stat(storage->file()->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Another jar on the same file sees only the persistent cookie.
    HTTPCookieStorage reloaded(*storage->file());
    auto cookies = reloaded.cookiesForURL(site);
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0]->name(), "keep");
}

}  // namespace
}  // namespace clipora::platform
