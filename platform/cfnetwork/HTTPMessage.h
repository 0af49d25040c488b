#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// One HTTP/1.x message head (and, for a request, an optional body held in
// memory): a request (method, URL, version) or a response (status code,
// status line, version). Header fields match case-insensitively, keep the
// order they were added in and the spelling they were given; names and
// values containing CR, LF or NUL are refused. A response made by the core
// joins repeated fields with ", " but keeps the "Set-Cookie" values apart
// (headerFieldValues("Set-Cookie")).
//
// A message is shared between the code that builds it and the streams that
// send it, so every operation is safe from any thread. The core copies the
// head when a transaction starts; later changes affect later sends only.
class HTTPMessage {
public:
    static constexpr std::string_view kVersion10 = "HTTP/1.0";
    static constexpr std::string_view kVersion11 = "HTTP/1.1";

    // A request, or null when it cannot be sent: a URL without "http" or
    // "https" scheme or without host, a method that is not an HTTP token, or
    // a version other than "HTTP/1.0" and "HTTP/1.1".
    static std::shared_ptr<HTTPMessage> createRequest(std::string_view method, const URL& url,
                                                      std::string_view version = kVersion11);
    // A complete response head.
    static std::shared_ptr<HTTPMessage> createResponse(int statusCode, std::string statusLine, std::string version,
                                                       HTTPHeaders headers);

    std::shared_ptr<HTTPMessage> copy() const;

    bool isRequest() const { return request_; }
    std::string version() const;

    // --- Header fields ---
    // Replaces the field's value(s); false for an invalid name or value.
    bool setHeaderFieldValue(std::string_view name, std::string_view value);
    // Adds one more value to the field.
    bool addHeaderFieldValue(std::string_view name, std::string_view value);
    bool removeHeaderField(std::string_view name);
    std::optional<std::string> headerFieldValue(std::string_view name) const;
    std::vector<std::string> headerFieldValues(std::string_view name) const;
    HTTPHeaders allHeaderFields() const;

    // --- Requests ---
    std::string requestMethod() const;
    URL requestURL() const;
    void setBody(Data body);
    Data body() const;
    bool isSecure() const;
    // The port to connect to: the URL's, or 80/443.
    std::uint16_t port() const;
    // Origin-form ("/path?query", "/" for an empty path), or absolute-form for
    // a request through an HTTP proxy. User information and fragment are
    // never part of either.
    std::string requestTarget(bool absoluteForm = false) const;
    // The value of the "Host" field: the host, with ":port" when the URL
    // gives one.
    std::string hostFieldValue() const;

    // --- Responses ---
    bool isHeaderComplete() const { return !request_; }
    int responseStatusCode() const { return statusCode_; }
    // The whole first line, e.g. "HTTP/1.1 200 OK".
    const std::string& responseStatusLine() const { return statusLine_; }

private:
    HTTPMessage(bool request, std::string method, std::optional<URL> url, std::string version);

    const bool request_;
    const std::string method_;
    const std::optional<URL> url_;
    const std::string version_;
    int statusCode_ = 0;
    std::string statusLine_;

    mutable std::mutex mutex_;
    HTTPHeaders headers_;
    Data body_;
};

}  // namespace clipora::platform
