#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

class KeyedUnarchiver;

// A URL load request (the mutable kind): URL, method, header fields, a body
// (bytes, or a stream read while sending), time-out, cache policy and
// cookie handling. Copyable (the copy shares a body stream) and keyed-
// archivable (without its body stream). Shared as std::shared_ptr where a
// request may be absent.
class URLRequest : public Object, public Coding {
public:
    // Published values of the platform's cache-policy enumeration. No
    // response cache exists here, so every policy loads from the network.
    enum class CachePolicy {
        UseProtocolCachePolicy = 0,
        ReloadIgnoringLocalCacheData = 1,
        ReturnCacheDataElseLoad = 2,
        ReturnCacheDataDontLoad = 3,
        ReloadIgnoringLocalAndRemoteCacheData = 4,
        ReloadRevalidatingCacheData = 5,
    };

    static constexpr const char* kClassName = "URLRequest";

    // The time-out of requests made without one: 60 seconds unless changed
    // (tests shorten it).
    static double defaultTimeoutInterval();
    static void setDefaultTimeoutInterval(double seconds);

    explicit URLRequest(URL url);
    URLRequest(URL url, CachePolicy cachePolicy, double timeoutInterval);
    static std::shared_ptr<URLRequest> requestWithURL(const URL& url) { return std::make_shared<URLRequest>(url); }
    static std::shared_ptr<URLRequest> requestWithURLCachePolicyTimeoutInterval(const URL& url, CachePolicy policy,
                                                                                double timeoutInterval) {
        return std::make_shared<URLRequest>(url, policy, timeoutInterval);
    }
    std::shared_ptr<URLRequest> copy() const { return std::make_shared<URLRequest>(*this); }

    const URL& url() const { return url_; }
    void setURL(URL url) { url_ = std::move(url); }

    // "GET" unless set.
    const std::string& HTTPMethod() const { return method_; }
    void setHTTPMethod(std::string method) { method_ = std::move(method); }

    // --- Header fields (names match without regard to case) ---
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const { return headers_.value(field); }
    // Replaces the field's value; std::nullopt removes the field. False (and
    // nothing changed) for a name or value holding CR, LF or NUL.
    bool setValueForHTTPHeaderField(const std::optional<std::string>& value, std::string_view field);
    // Appends to the field's value with ", " when the field is present.
    bool addValueForHTTPHeaderField(std::string_view value, std::string_view field);
    // Every field as name -> value text, in the spelling first given.
    Value::Dictionary allHTTPHeaderFields() const;
    // Replaces every field by those of the dictionary (string values; other
    // values are written as their text form). Invalid fields are skipped.
    void setAllHTTPHeaderFields(const Value::Dictionary& fields);
    const HTTPHeaders& headers() const { return headers_; }

    // --- Body: bytes or a stream; setting one clears the other ---
    const std::optional<Data>& HTTPBody() const { return body_; }
    void setHTTPBody(std::optional<Data> body);
    const std::shared_ptr<InputStream>& HTTPBodyStream() const { return bodyStream_; }
    void setHTTPBodyStream(std::shared_ptr<InputStream> stream);

    // Seconds without any progress after which a load fails (-1001).
    double timeoutInterval() const { return timeoutInterval_; }
    void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }
    CachePolicy cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(CachePolicy policy) { cachePolicy_ = policy; }
    // Whether the shared cookie storage adds "Cookie" and takes
    // "Set-Cookie" (default true).
    bool HTTPShouldHandleCookies() const { return shouldHandleCookies_; }
    void setHTTPShouldHandleCookies(bool handle) { shouldHandleCookies_ = handle; }
    // The page this load serves, for the cookie accept policy.
    const std::optional<URL>& mainDocumentURL() const { return mainDocumentURL_; }
    void setMainDocumentURL(std::optional<URL> url) { mainDocumentURL_ = std::move(url); }

    // --- Archiving ---
    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override;
    static std::shared_ptr<URLRequest> initWithCoder(KeyedUnarchiver& coder);
    // Registers the class with the coding registry (also done at start-up).
    static void registerCoding();

    // "<URLRequest GET http://...>".
    std::string description() const override;
    // URL, method, header fields, body bytes, body stream (same object),
    // time-out, cache policy and cookie handling equal.
    bool isEqual(const Object& other) const override;

private:
    URL url_;
    std::string method_ = "GET";
    HTTPHeaders headers_;
    std::optional<Data> body_;
    std::shared_ptr<InputStream> bodyStream_;
    double timeoutInterval_;
    CachePolicy cachePolicy_ = CachePolicy::UseProtocolCachePolicy;
    bool shouldHandleCookies_ = true;
    std::optional<URL> mainDocumentURL_;
};

}  // namespace clipora::platform
