#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora {

class TallyHTTPResponse;

// The agent's synchronous HTTP client: sends one request and runs the
// calling thread's run loop until the reply is complete.
//
// The request's time-out is an idle limit (nothing moved for that long); on
// top of it every exchange has an overall deadline of kDeadlineFactor times
// the time-out, so a peer that trickles bytes cannot hold an upload thread
// (or the thread that ends a session) for ever. Every call ends with one
// response: the reply, or the failure with its error.
class TallyHTTPEater {
public:
    static constexpr double kDefaultTimeout = 20;
    static constexpr double kDeadlineFactor = 3;

    TallyHTTPEater() = delete;

    static std::shared_ptr<TallyHTTPResponse> get(const std::variant<platform::URL, std::string>& url);
    static std::shared_ptr<TallyHTTPResponse> getHeaderFields(
        const std::variant<platform::URL, std::string>& url, const std::optional<platform::Value::Dictionary>& headers);
    static std::shared_ptr<TallyHTTPResponse> postBody(const platform::URL& url, const platform::Data& body);
    static std::shared_ptr<TallyHTTPResponse> postBodyHeaderFields(
        const platform::URL& url, const platform::Data& body,
        const std::optional<platform::Value::Dictionary>& headers);
    // Null when the web-view path was taken (its reply is never examined).
    static std::shared_ptr<TallyHTTPResponse> sendMethodToBodyHeaderFieldsTimeoutIntervalUseWebView(
        const std::string& method, const platform::URL& url, const std::optional<platform::Data>& body,
        const std::optional<platform::Value::Dictionary>& headers, double timeoutSeconds, bool useWebView);

    // "k=v&k2=v2" with keys and values as they are (only for callers that
    // pass URL-safe text).
    static std::string queryDictionaryToString(const platform::Value::Dictionary& query);
    // The same with keys and values percent-encoded: use it for any text
    // that may hold a blank, "&", "=" or "#".
    static std::string queryDictionaryToEscapedString(const platform::Value::Dictionary& query);
    static std::optional<platform::URL> urlWithProtocolHostPortPathQuery(
        const std::optional<std::string>& scheme, const std::optional<std::string>& host, int port,
        const std::optional<std::string>& path,
        const std::optional<std::variant<platform::Value::Dictionary, std::string>>& query);
};

}  // namespace clipora
