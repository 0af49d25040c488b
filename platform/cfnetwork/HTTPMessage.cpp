#include "platform/cfnetwork/HTTPMessage.h"

#include <algorithm>

namespace clipora::platform {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) { return HTTPHeaders::equalNames(a, b); }

}  // namespace

HTTPMessage::HTTPMessage(bool request, std::string method, std::optional<URL> url, std::string version)
    : request_(request), method_(std::move(method)), url_(std::move(url)), version_(std::move(version)) {}

std::shared_ptr<HTTPMessage> HTTPMessage::createRequest(std::string_view method, const URL& url,
                                                        std::string_view version) {
    if (!HTTPHeaders::isValidName(method)) return nullptr;  // a method is a token, like a field name
    if (version != kVersion10 && version != kVersion11) return nullptr;
    if (!equalsIgnoringCase(url.scheme(), "http") && !equalsIgnoringCase(url.scheme(), "https")) return nullptr;
    if (url.host().empty()) return nullptr;
    return std::shared_ptr<HTTPMessage>(new HTTPMessage(true, std::string(method), url, std::string(version)));
}

std::shared_ptr<HTTPMessage> HTTPMessage::createResponse(int statusCode, std::string statusLine, std::string version,
                                                         HTTPHeaders headers) {
    auto message = std::shared_ptr<HTTPMessage>(new HTTPMessage(false, {}, std::nullopt, std::move(version)));
    message->statusCode_ = statusCode;
    message->statusLine_ = std::move(statusLine);
    message->headers_ = std::move(headers);
    return message;
}

std::shared_ptr<HTTPMessage> HTTPMessage::copy() const {
    auto message = std::shared_ptr<HTTPMessage>(new HTTPMessage(request_, method_, url_, version_));
    message->statusCode_ = statusCode_;
    message->statusLine_ = statusLine_;
    std::lock_guard lock(mutex_);
    message->headers_ = headers_;
    message->body_ = body_;
    return message;
}

std::string HTTPMessage::version() const { return version_; }

bool HTTPMessage::setHeaderFieldValue(std::string_view name, std::string_view value) {
    std::lock_guard lock(mutex_);
    return headers_.set(name, value);
}

bool HTTPMessage::addHeaderFieldValue(std::string_view name, std::string_view value) {
    std::lock_guard lock(mutex_);
    return headers_.add(name, value);
}

bool HTTPMessage::removeHeaderField(std::string_view name) {
    std::lock_guard lock(mutex_);
    return headers_.remove(name);
}

std::optional<std::string> HTTPMessage::headerFieldValue(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return headers_.value(name);
}

std::vector<std::string> HTTPMessage::headerFieldValues(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return headers_.values(name);
}

HTTPHeaders HTTPMessage::allHeaderFields() const {
    std::lock_guard lock(mutex_);
    return headers_;
}

std::string HTTPMessage::requestMethod() const { return method_; }

URL HTTPMessage::requestURL() const { return url_ ? *url_ : *URL::fromString("about:blank"); }

void HTTPMessage::setBody(Data body) {
    std::lock_guard lock(mutex_);
    body_ = std::move(body);
}

Data HTTPMessage::body() const {
    std::lock_guard lock(mutex_);
    return body_;
}

bool HTTPMessage::isSecure() const { return url_ && equalsIgnoringCase(url_->scheme(), "https"); }

std::uint16_t HTTPMessage::port() const { return static_cast<std::uint16_t>(url_ ? url_->effectivePort() : 80); }

std::string HTTPMessage::requestTarget(bool absoluteForm) const {
    if (!url_) return {};
    std::string target = url_->percentEncodedPath();
    if (target.empty()) target = "/";
    if (url_->query()) target += "?" + *url_->query();
    if (!absoluteForm) return target;
    std::string scheme = url_->scheme();
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c | 0x20 : c); });
    return scheme + "://" + hostFieldValue() + target;
}

std::string HTTPMessage::hostFieldValue() const {
    if (!url_) return {};
    std::string host = url_->host();
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    if (url_->port()) host += ":" + std::to_string(*url_->port());
    return host;
}

}  // namespace clipora::platform
