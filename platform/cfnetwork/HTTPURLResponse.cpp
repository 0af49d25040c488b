#include "platform/cfnetwork/HTTPURLResponse.h"

#include <utility>

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Text.h"

namespace clipora::platform {

namespace {

const bool gRegistered = [] {
    HTTPURLResponse::registerCoding();
    return true;
}();

struct ContentType {
    std::optional<std::string> mimeType;
    std::optional<std::string> charset;
};

// "text/html; charset=UTF-8" -> "text/html", "utf-8".
ContentType parseContentType(const std::optional<std::string>& field) {
    ContentType result;
    if (!field) return result;
    auto parts = Text::split(*field, ";");
    std::string type = Text::lowercase(Text::trimWhitespaceAndNewlines(parts[0]));
    if (!type.empty()) result.mimeType = type;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        auto pair = Text::splitAtFirst(parts[i], "=");
        if (!pair || !Text::equalsCaseInsensitive(Text::trimWhitespaceAndNewlines(pair->first), "charset")) continue;
        std::string charset = Text::lowercase(Text::trim(Text::trimWhitespaceAndNewlines(pair->second), "\"'"));
        if (!charset.empty()) result.charset = charset;
    }
    return result;
}

std::int64_t parseLength(const std::optional<std::string>& field) {
    if (!field) return -1;
    auto value = Text::parseInt64(Text::trimWhitespaceAndNewlines(*field));
    return value && *value >= 0 ? *value : -1;
}

// The file name a "Content-Disposition" field gives, if any.
std::optional<std::string> dispositionFilename(const std::optional<std::string>& field) {
    if (!field) return std::nullopt;
    std::optional<std::string> plain;
    for (const std::string& part : Text::split(*field, ";")) {
        auto pair = Text::splitAtFirst(part, "=");
        if (!pair) continue;
        std::string name = Text::lowercase(Text::trimWhitespaceAndNewlines(pair->first));
        std::string value = Text::trimWhitespaceAndNewlines(pair->second);
        if (name == "filename*") {
            // RFC 5987: charset'language'percent-encoded
            auto quote = value.find('\'');
            auto second = quote == std::string::npos ? std::string::npos : value.find('\'', quote + 1);
            if (second != std::string::npos && Text::equalsCaseInsensitive(value.substr(0, quote), "utf-8")) {
                if (auto decoded = Text::percentUnescape(value.substr(second + 1))) return decoded;
            }
        } else if (name == "filename") {
            plain = Text::trim(value, "\"");
        }
    }
    return plain;
}

}  // namespace

HTTPURLResponse::HTTPURLResponse(URL url, int statusCode, std::string HTTPVersion, HTTPHeaders headers)
    : URLResponse(std::move(url), std::nullopt, -1, std::nullopt), statusCode_(statusCode),
      version_(std::move(HTTPVersion)), headers_(std::move(headers)) {
    ContentType type = parseContentType(headers_.value("Content-Type"));
    mimeType_ = type.mimeType;
    textEncodingName_ = type.charset;
    expectedContentLength_ = parseLength(headers_.value("Content-Length"));
}

std::shared_ptr<HTTPURLResponse> HTTPURLResponse::fromMessage(const HTTPMessage& response, const URL& url,
                                                              bool bodyDecoded) {
    auto result = std::make_shared<HTTPURLResponse>(url, response.responseStatusCode(), response.version(),
                                                    response.allHeaderFields());
    if (bodyDecoded) result->expectedContentLength_ = -1;
    return result;
}

Value::Dictionary HTTPURLResponse::allHeaderFields() const {
    Value::Dictionary fields;
    for (const auto& [name, value] : headers_.joined()) fields[name] = value;
    return fields;
}

std::string HTTPURLResponse::localizedStringForStatusCode(int statusCode) {
    switch (statusCode) {
    case 100: return "continue";
    case 101: return "switching protocols";
    case 200: return "no error";
    case 201: return "created";
    case 202: return "accepted";
    case 203: return "non-authoritative information";
    case 204: return "no content";
    case 205: return "reset content";
    case 206: return "partial content";
    case 300: return "multiple choices";
    case 301: return "moved permanently";
    case 302: return "found";
    case 303: return "see other";
    case 304: return "not modified";
    case 305: return "needs proxy";
    case 307: return "temporarily redirected";
    case 308: return "permanently redirected";
    case 400: return "bad request";
    case 401: return "unauthorized";
    case 402: return "payment required";
    case 403: return "forbidden";
    case 404: return "not found";
    case 405: return "method not allowed";
    case 406: return "unacceptable";
    case 407: return "proxy authentication required";
    case 408: return "request timed out";
    case 409: return "conflict";
    case 410: return "no longer exists";
    case 411: return "length required";
    case 412: return "precondition failed";
    case 413: return "request too large";
    case 414: return "requested URL too long";
    case 415: return "unsupported media type";
    case 416: return "requested range not satisfiable";
    case 417: return "expectation failed";
    case 429: return "too many requests";
    case 500: return "internal server error";
    case 501: return "unimplemented";
    case 502: return "bad gateway";
    case 503: return "service unavailable";
    case 504: return "gateway timed out";
    case 505: return "unsupported version";
    default: break;
    }
    if (statusCode >= 100 && statusCode < 200) return "informational";
    if (statusCode >= 200 && statusCode < 300) return "success";
    if (statusCode >= 300 && statusCode < 400) return "redirected";
    if (statusCode >= 400 && statusCode < 500) return "client error";
    if (statusCode >= 500 && statusCode < 600) return "server error";
    return "server error";
}

std::string HTTPURLResponse::suggestedFilename() const {
    if (auto name = dispositionFilename(headers_.value("Content-Disposition"))) {
        // Only the last component: a server must not steer the file
        // elsewhere ("../../x").
        std::string base = *name;
        if (auto slash = base.find_last_of("/\\"); slash != std::string::npos) base = base.substr(slash + 1);
        if (!base.empty() && base != "." && base != "..") return base;
    }
    return URLResponse::suggestedFilename();
}

void HTTPURLResponse::encodeWithCoder(KeyedArchiver& coder) const {
    URLResponse::encodeWithCoder(coder);
    coder.encodeInt(statusCode_, "statusCode");
    coder.encodeObject(Value(version_), "HTTPVersion");
    Value::Array fields;
    for (const auto& field : headers_.fields())
        for (const std::string& value : field.values) fields.push_back(Value::makeArray({field.name, value}));
    coder.encodeObject(Value(std::move(fields)), "headerFields");
}

std::shared_ptr<HTTPURLResponse> HTTPURLResponse::initWithCoder(KeyedUnarchiver& coder) {
    auto text = coder.decodeString("URL");
    std::optional<URL> url = text ? URL::fromString(*text) : std::nullopt;
    if (!url) return nullptr;
    HTTPHeaders headers;
    if (auto fields = coder.decodeObject("headerFields", {Coding::kArrayClass, Coding::kStringClass});
        fields && fields->array()) {
        for (const Value& pair : *fields->array()) {
            const Value* name = pair.at(0);
            const Value* value = pair.at(1);
            if (name && value && name->string() && value->string()) headers.add(*name->string(), *value->string());
        }
    }
    auto response =
        std::make_shared<HTTPURLResponse>(*url, coder.decodeInt("statusCode"),
                                          coder.decodeString("HTTPVersion").value_or("HTTP/1.1"), std::move(headers));
    response->expectedContentLength_ = coder.decodeInt64("expectedContentLength");
    return response;
}

void HTTPURLResponse::registerCoding() { CodingRegistry::registerClass<HTTPURLResponse>(kClassName); }

std::string HTTPURLResponse::description() const {
    return "<HTTPURLResponse " + url_.absoluteString() + " " + std::to_string(statusCode_) + " " +
           mimeType_.value_or("?") + ">";
}

}  // namespace clipora::platform
