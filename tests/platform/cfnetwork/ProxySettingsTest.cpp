#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "platform/cfnetwork/HTTPStreamError.h"
#include "platform/cfnetwork/ProxySettings.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestHome.h"

namespace clipora::test {
namespace {

using platform::ProxyEntry;
using platform::ProxySettings;
using platform::URL;

class ProxySettingsTest : public PlatformTest {
protected:
    void TearDown() override {
        ProxySettings::setSystemProxySettings(nullptr);
        for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                                 "ALL_PROXY", "NO_PROXY", "CLIPORA_PAC_URL"}) {
            unsetenv(name);
        }
        PlatformTest::TearDown();
    }
    static URL url(const char* text) { return *URL::fromString(text); }
    static ProxyEntry entry(ProxyEntry::Type type, std::string host, std::uint16_t port) {
        return ProxyEntry{type, std::move(host), port, {}};
    }
};

TEST_F(ProxySettingsTest, ParsesProxyValuesFromTheEnvironment) {
    struct Case {
        const char* value;
        std::optional<ProxyEntry> expected;
    };
    const std::vector<Case> cases = {
        {"proxy.test:3128", entry(ProxyEntry::Type::HTTP, "proxy.test", 3128)},
        {"http://user:pw@proxy.test:8080/", entry(ProxyEntry::Type::HTTP, "proxy.test", 8080)},
        {"http://proxy.test", entry(ProxyEntry::Type::HTTP, "proxy.test", 80)},
        {"socks5://10.0.0.1:1081", entry(ProxyEntry::Type::SOCKS, "10.0.0.1", 1081)},
        {"socks5h://[::1]:9050", entry(ProxyEntry::Type::SOCKS, "::1", 9050)},
        {"ftp://proxy.test:21", std::nullopt},
        {"proxy.test:99999", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ProxySettings::parseProxyValue(c.value), c.expected);
    }

    setenv("http_proxy", "http://plain.test:3128", 1);
    setenv("HTTPS_PROXY", "secure.test:3129", 1);
    setenv("all_proxy", "socks5://socks.test:1080", 1);
    setenv("no_proxy", "localhost, .internal.test,exact.test:8080", 1);
    auto settings = ProxySettings::systemProxySettings();
    EXPECT_EQ(settings->proxiesForURL(url("http://a.test/")),
              std::vector<ProxyEntry>{entry(ProxyEntry::Type::HTTP, "plain.test", 3128)});
    EXPECT_EQ(settings->proxiesForURL(url("https://a.test/")),
              std::vector<ProxyEntry>{entry(ProxyEntry::Type::HTTPS, "secure.test", 3129)});
    EXPECT_TRUE(settings->proxiesForURL(url("http://localhost:9/")).empty());
    EXPECT_TRUE(settings->proxiesForURL(url("http://deep.internal.test/")).empty());
    EXPECT_TRUE(settings->proxiesForURL(url("http://internal.test/")).empty());
    EXPECT_TRUE(settings->proxiesForURL(url("http://exact.test:8080/")).empty());
    EXPECT_FALSE(settings->proxiesForURL(url("http://exact.test/")).empty());
    EXPECT_FALSE(settings->proxiesForURL(url("http://notinternal.test/")).empty());

    unsetenv("http_proxy");
    EXPECT_EQ(ProxySettings::systemProxySettings()->proxiesForURL(url("http://a.test/")),
              std::vector<ProxyEntry>{entry(ProxyEntry::Type::SOCKS, "socks.test", 1080)});
    setenv("CLIPORA_PAC_URL", "file:///etc/proxy.pac", 1);
    auto pac = ProxySettings::systemProxySettings()->proxiesForURL(url("http://a.test/"));
    ASSERT_EQ(pac.size(), 1u);
    EXPECT_EQ(pac[0].type, ProxyEntry::Type::AutoConfigurationURL);
    EXPECT_EQ(pac[0].pacURL, "file:///etc/proxy.pac");
}

TEST_F(ProxySettingsTest, EvaluatesPACScriptsInOrderWithinBounds) {
    const char* script = R"(
        function FindProxyForURL(url, host) {
            if (dnsDomainIs(host, ".direct.test")) return "DIRECT";
            if (shExpMatch(url, "https:*")) return "PROXY secure.test:443; DIRECT";
            if (host == "socks.test") return "SOCKS s.test:1080";
            return "PROXY p1.test:8080; PROXY p2.test:8081; DIRECT";
        })";
    auto http = ProxySettings::proxiesForPACScript(script, url("http://www.example.test/x"));
    ASSERT_TRUE(http);
    EXPECT_EQ(*http, (std::vector<ProxyEntry>{entry(ProxyEntry::Type::HTTP, "p1.test", 8080),
                                              entry(ProxyEntry::Type::HTTP, "p2.test", 8081), ProxyEntry{}}));
    auto https = ProxySettings::proxiesForPACScript(script, url("https://www.example.test/"));
    ASSERT_TRUE(https);
    EXPECT_EQ(https->front(), entry(ProxyEntry::Type::HTTPS, "secure.test", 443));
    EXPECT_EQ(*ProxySettings::proxiesForPACScript(script, url("http://socks.test/")),
              std::vector<ProxyEntry>{entry(ProxyEntry::Type::SOCKS, "s.test", 1080)});
    EXPECT_EQ(*ProxySettings::proxiesForPACScript(script, url("http://a.direct.test/")),
              std::vector<ProxyEntry>{ProxyEntry{}});

    struct Bad {
        const char* name;
        std::string script;
    };
    const std::vector<Bad> bad = {
        {"syntax", "function FindProxyForURL(url, host) { return "},
        {"throws", "function FindProxyForURL(url, host) { throw 'no'; }"},
        {"no function", "var x = 1;"},
        {"garbage answer", "function FindProxyForURL(url, host) { return 'WHATEVER'; }"},
        {"endless", "function FindProxyForURL(url, host) { while (true) {} }"},
        {"too large", "//" + std::string(ProxySettings::kMaxPACScriptSize, 'x')},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.name);
        std::optional<platform::Error> error;
        EXPECT_FALSE(ProxySettings::proxiesForPACScript(b.script, url("http://a.test/"), &error, 0.5));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), platform::HTTPStreamError::kPACFileError);
    }
}

TEST_F(ProxySettingsTest, ResolvesThroughAPACScriptFromAFileOrAServer) {
    auto path = home() / "proxy.pac";
    std::ofstream(path) << "function FindProxyForURL(url, host) { return 'PROXY from-file.test:3128'; }";
    LoopbackServer server;
    server.server().Get("/proxy.pac", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("function FindProxyForURL(u, h) { return 'SOCKS from-server.test:1080'; }",
                             "application/x-ns-proxy-autoconfig");
    });
    server.start();

    struct Case {
        std::string pacURL;
        std::vector<ProxyEntry> expected;
    };
    const std::vector<Case> cases = {
        {path.string(), {entry(ProxyEntry::Type::HTTP, "from-file.test", 3128)}},
        {"file://" + path.string(), {entry(ProxyEntry::Type::HTTP, "from-file.test", 3128)}},
        {server.url("/proxy.pac"), {entry(ProxyEntry::Type::SOCKS, "from-server.test", 1080)}},
        {server.url("/missing.pac"), {}},
        {(home() / "absent.pac").string(), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pacURL);
        auto settings = std::make_shared<ProxySettings>();
        settings->pacURL = c.pacURL;
        ProxySettings::setSystemProxySettings(settings);
        std::mutex mutex;
        std::optional<std::vector<ProxyEntry>> result;
        ProxySettings::resolveProxiesForURL(url("http://www.example.test/"), [&](std::vector<ProxyEntry> entries) {
            std::lock_guard lock(mutex);
            result = std::move(entries);
        });
        ASSERT_TRUE(pumpUntil([&]() {
            std::lock_guard lock(mutex);
            return result.has_value();
        }));
        EXPECT_EQ(*result, c.expected);
    }
}

}  // namespace
}  // namespace clipora::test
