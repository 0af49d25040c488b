#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cfnetwork/HTTPTransaction.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"

namespace clipora::platform {

// One answer of proxy discovery.
struct ProxyEntry {
    enum class Type {
        None,                  // connect directly
        HTTP,                  // an HTTP proxy for plain-http URLs (absolute-form requests)
        HTTPS,                 // an HTTP proxy for https URLs (CONNECT tunnel)
        SOCKS,                 // SOCKS5
        AutoConfigurationURL,  // run the PAC script at pacURL to find out
    };
    Type type = Type::None;
    std::string host;
    std::uint16_t port = 0;
    std::string pacURL;

    // What the HTTP core takes: HTTP and HTTPS entries are both HTTP proxies.
    HTTPProxy transactionProxy() const;
    friend bool operator==(const ProxyEntry& a, const ProxyEntry& b) = default;
};

// Proxy discovery on Linux: the environment (http_proxy, https_proxy,
// all_proxy with socks5:// or http://, no_proxy; upper-case names as a
// fallback) and an optional proxy auto-configuration script named by
// $CLIPORA_PAC_URL (an http(s) URL, a file URL or a path). Tests inject
// their own settings with setSystemProxySettings().
//
// PAC scripts run in libpacparser, whose engine is process-global and cannot
// be interrupted. Each evaluation therefore runs in a fresh process (the
// library's `pactester` front end, spawned, never forked from this
// multi-threaded process) that is killed when it overruns its time; scripts
// above 1 MiB are refused. A script that fails for any reason means "no
// proxy". The evaluator gets the environment this process started with
// (and is found on its PATH), never the one of the moment: evaluations run
// on worker threads, where the live environment cannot be read safely.
class ProxySettings {
public:
    static constexpr std::size_t kMaxPACScriptSize = 1024 * 1024;
    static constexpr double kPACTimeLimit = 5;  // seconds, for fetching and for evaluating
    static constexpr const char* kPACURLVariable = "CLIPORA_PAC_URL";
    static constexpr const char* kPACEvaluator = "pactester";

    std::optional<ProxyEntry> httpProxy;   // for http URLs
    std::optional<ProxyEntry> httpsProxy;  // for https URLs
    std::optional<ProxyEntry> allProxy;    // for either, when the specific one is absent
    std::vector<std::string> noProxy;      // host suffixes (optionally ":port"); "*" for all
    std::optional<std::string> pacURL;

    static ProxySettings fromEnvironment();
    // The settings in force: injected ones, else the environment's (read
    // at each call). Never null here.
    static std::shared_ptr<const ProxySettings> systemProxySettings();
    // Injects settings (null: back to the environment).
    static void setSystemProxySettings(std::shared_ptr<const ProxySettings> settings);

    // "host:port", "http://user:pw@host:port/", "socks5://host:port"... as an
    // entry (HTTP or SOCKS); nothing for an unusable value.
    static std::optional<ProxyEntry> parseProxyValue(std::string_view value);

    bool bypasses(const URL& url) const;
    // The proxies to try for the URL, in order; empty means a direct
    // connection. With a PAC URL: one AutoConfigurationURL entry.
    std::vector<ProxyEntry> proxiesForURL(const URL& url) const;

    // Runs FindProxyForURL(url, host) and maps its answer ("PROXY h:p",
    // "SOCKS h:p", "DIRECT", separated by ';') in order. Nothing (and the
    // error) when the script is too large, fails, overruns or answers
    // nothing usable.
    static std::optional<std::vector<ProxyEntry>> proxiesForPACScript(std::string_view script, const URL& url,
                                                                      std::optional<Error>* error = nullptr,
                                                                      double timeLimit = kPACTimeLimit);
    static std::vector<ProxyEntry> parsePACAnswer(std::string_view answer, const URL& url);

    // Reads a PAC script from a path, a file URL or an http(s) URL (fetched
    // directly through the HTTP core), at most kMaxPACScriptSize bytes and
    // kPACTimeLimit seconds. Blocks: call it off any run loop.
    static std::optional<std::string> fetchPACScript(const std::string& pacURL, double timeLimit = kPACTimeLimit);

    // The whole discovery for one URL, PAC script included, on a thread of
    // its own; the completion runs there with the entries to try (empty:
    // direct). Never blocks the caller.
    static void resolveProxiesForURL(const URL& url, std::function<void(std::vector<ProxyEntry>)> completion);
};

}  // namespace clipora::platform
