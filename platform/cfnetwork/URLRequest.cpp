#include "platform/cfnetwork/URLRequest.h"

#include <atomic>
#include <utility>

#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace clipora::platform {

namespace {

std::atomic<double> gDefaultTimeout{60.0};

// Registered at start-up so that archives holding requests read back
// wherever this class is linked in.
const bool gRegistered = [] {
    URLRequest::registerCoding();
    return true;
}();

}  // namespace

double URLRequest::defaultTimeoutInterval() { return gDefaultTimeout.load(); }

void URLRequest::setDefaultTimeoutInterval(double seconds) { gDefaultTimeout.store(seconds); }

URLRequest::URLRequest(URL url) : url_(std::move(url)), timeoutInterval_(defaultTimeoutInterval()) {}

URLRequest::URLRequest(URL url, CachePolicy cachePolicy, double timeoutInterval)
    : url_(std::move(url)), timeoutInterval_(timeoutInterval), cachePolicy_(cachePolicy) {}

bool URLRequest::setValueForHTTPHeaderField(const std::optional<std::string>& value, std::string_view field) {
    if (!value) {
        headers_.remove(field);
        return HTTPHeaders::isValidName(field);
    }
    return headers_.set(field, *value);
}

bool URLRequest::addValueForHTTPHeaderField(std::string_view value, std::string_view field) {
    auto existing = headers_.value(field);
    return headers_.set(field, existing ? *existing + ", " + std::string(value) : std::string(value));
}

Value::Dictionary URLRequest::allHTTPHeaderFields() const {
    Value::Dictionary fields;
    for (const auto& [name, value] : headers_.joined()) fields[name] = value;
    return fields;
}

void URLRequest::setAllHTTPHeaderFields(const Value::Dictionary& fields) {
    headers_.clear();
    for (const auto& [name, value] : fields) headers_.set(name, value.string() ? *value.string() : value.description());
}

void URLRequest::setHTTPBody(std::optional<Data> body) {
    body_ = std::move(body);
    if (body_) bodyStream_.reset();
}

void URLRequest::setHTTPBodyStream(std::shared_ptr<InputStream> stream) {
    bodyStream_ = std::move(stream);
    if (bodyStream_) body_.reset();
}

void URLRequest::encodeWithCoder(KeyedArchiver& coder) const {
    coder.encodeObject(Value(url_.absoluteString()), "URL");
    coder.encodeObject(Value(method_), "method");
    Value::Array fields;
    for (const auto& [name, value] : headers_.joined()) fields.push_back(Value::makeArray({name, value}));
    coder.encodeObject(Value(std::move(fields)), "headerFields");
    if (body_) coder.encodeObject(Value(*body_), "body");
    coder.encodeDouble(timeoutInterval_, "timeoutInterval");
    coder.encodeInt(static_cast<int>(cachePolicy_), "cachePolicy");
    coder.encodeBool(shouldHandleCookies_, "shouldHandleCookies");
    if (mainDocumentURL_) coder.encodeObject(Value(mainDocumentURL_->absoluteString()), "mainDocumentURL");
}

std::shared_ptr<URLRequest> URLRequest::initWithCoder(KeyedUnarchiver& coder) {
    auto urlText = coder.decodeString("URL");
    std::optional<URL> url = urlText ? URL::fromString(*urlText) : std::nullopt;
    if (!url) return nullptr;
    auto request = std::make_shared<URLRequest>(*url);
    if (auto method = coder.decodeString("method")) request->method_ = *method;
    if (auto fields = coder.decodeObject("headerFields", {Coding::kArrayClass, Coding::kStringClass});
        fields && fields->array()) {
        for (const Value& pair : *fields->array()) {
            const Value* name = pair.at(0);
            const Value* value = pair.at(1);
            if (name && value && name->string() && value->string())
                request->headers_.set(*name->string(), *value->string());
        }
    }
    if (auto body = coder.decodeData("body")) request->body_ = std::move(*body);
    request->timeoutInterval_ = coder.decodeDouble("timeoutInterval");
    int policy = coder.decodeInt("cachePolicy");
    if (policy >= 0 && policy <= 5) request->cachePolicy_ = static_cast<CachePolicy>(policy);
    request->shouldHandleCookies_ = coder.decodeBool("shouldHandleCookies");
    if (auto main = coder.decodeString("mainDocumentURL")) request->mainDocumentURL_ = URL::fromString(*main);
    return request;
}

void URLRequest::registerCoding() { CodingRegistry::registerClass<URLRequest>(kClassName); }

std::string URLRequest::description() const { return "<URLRequest " + method_ + " " + url_.absoluteString() + ">"; }

bool URLRequest::isEqual(const Object& other) const {
    const auto* request = dynamic_cast<const URLRequest*>(&other);
    return request && url_ == request->url_ && method_ == request->method_ && headers_ == request->headers_ &&
           body_ == request->body_ && bodyStream_ == request->bodyStream_ &&
           timeoutInterval_ == request->timeoutInterval_ && cachePolicy_ == request->cachePolicy_ &&
           shouldHandleCookies_ == request->shouldHandleCookies_ && mainDocumentURL_ == request->mainDocumentURL_;
}

}  // namespace clipora::platform
