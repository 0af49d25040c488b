#include "net/request/RQS3Request.h"

#include <algorithm>
#include <mutex>

#include "net/request/RQError.h"
#include "net/request/RQS3Bucket.h"
#include "net/request/RQS3BucketObject.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/Text.h"

namespace clipora {

using namespace platform;

namespace {

struct Shared {
    std::mutex mutex;
    std::optional<std::string> accessKey;
    std::optional<std::string> secretKey;
    std::string host = RQS3Request::kDefaultHost;
};

Shared& shared() {
    static Shared* s = new Shared();
    return *s;
}

const DateFormatter& headerDateFormatter() {
    thread_local const DateFormatter formatter("EEE, d MMM yyyy HH:mm:ss Z");
    return formatter;
}

const DateFormatter& replyDateFormatter() {
    thread_local const DateFormatter formatter("yyyy-MM-dd'T'HH:mm:ss'.000Z'");
    return formatter;
}

}  // namespace

std::string RQS3Bucket::description() const {
    return Text::format("Name: %@ creationDate: %@ ownerID: %@ ownerName: %@", name,
                        creationDate ? Value(*creationDate) : Value(), ownerID, ownerName);
}

std::string RQS3BucketObject::description() const {
    return Text::format("Key: %@ lastModified: %@ ETag: %@ size: %llu ownerID: %@ ownerName: %@", key,
                        lastModified ? Value(*lastModified) : Value(), ETag, static_cast<unsigned long long>(size),
                        ownerID, ownerName);
}

RQS3Request::RQS3Request(std::optional<URL> url) : RQHTTPRequest(std::move(url)) {
    setPersistentConnectionTimeoutSeconds(20);
}

void RQS3Request::setSharedAccessKey(std::optional<std::string> key) {
    std::lock_guard lock(shared().mutex);
    shared().accessKey = std::move(key);
}
std::optional<std::string> RQS3Request::sharedAccessKey() {
    std::lock_guard lock(shared().mutex);
    return shared().accessKey;
}
void RQS3Request::setSharedSecretAccessKey(std::optional<std::string> key) {
    std::lock_guard lock(shared().mutex);
    shared().secretKey = std::move(key);
}
std::optional<std::string> RQS3Request::sharedSecretAccessKey() {
    std::lock_guard lock(shared().mutex);
    return shared().secretKey;
}
std::string RQS3Request::S3Host() {
    std::lock_guard lock(shared().mutex);
    return shared().host;
}
void RQS3Request::setS3Host(std::string host) {
    std::lock_guard lock(shared().mutex);
    shared().host = std::move(host);
}

void RQS3Request::setDate(Date date) { setDateString(headerDateFormatter().stringFromDate(date)); }

std::optional<Date> RQS3Request::dateFromReplyString(const std::string& text) {
    return replyDateFormatter().dateFromString(text);
}

std::map<std::string, std::string> RQS3Request::S3Headers() const {
    std::map<std::string, std::string> headers;
    if (auto policy = accessPolicy(); !policy.empty()) headers["x-amz-acl"] = policy;
    return headers;
}

std::string RQS3Request::stringToSignForHeadersResource(const std::string& headers, const std::string& resource) {
    return Text::format("%@\n\n\n%@\n%@%@", requestMethod(), dateString(), headers, resource);
}

Data RQS3Request::HMACSHA1withKeyForString(const std::string& key, const std::string& text) {
    return Digest::hmacSHA1(key, text);
}

std::string RQS3Request::stringByURLEncodingForS3Path(const std::optional<std::string>& path) {
    if (!path) return "/";
    std::string encoded = URL::percentEscapePath(*path, "~");
    if (encoded.empty() || encoded[0] != '/') encoded.insert(0, "/");
    return encoded;
}

std::optional<std::string> RQS3Request::bucketAddress(const std::string& bucket) const {
    const bool usable = !bucket.empty() && std::all_of(bucket.begin(), bucket.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
               c == '_';
    });
    if (!usable) return std::nullopt;
    return requestScheme() + "://" + bucket + "." + S3Host();
}

void RQS3Request::main() {
    if (!url()) buildURL();
    RQHTTPRequest::main();
}

void RQS3Request::buildRequestHeaders() {
    if (!url()) buildURL();
    RQHTTPRequest::buildRequestHeaders();
    if (accessKey().empty()) setAccessKey(sharedAccessKey().value_or(std::string()));
    if (secretAccessKey().empty()) setSecretAccessKey(sharedSecretAccessKey().value_or(std::string()));
    if (dateString().empty()) setDate(Date::now());
    addRequestHeaderValue("Date", dateString());

    const std::string resource = canonicalizedResource();
    // Signed in the order of their lower-case names.
    std::map<std::string, std::pair<std::string, std::string>> byLowerName;
    for (const auto& [name, value] : S3Headers()) byLowerName[Text::lowercase(name)] = {name, value};
    std::string headersText;
    for (const auto& [lower, entry] : byLowerName) {
        headersText += lower + ":" + entry.second + "\n";
        addRequestHeaderValue(entry.first, entry.second);
    }
    const std::string toSign = stringToSignForHeadersResource(headersText, resource);
    const std::string signature = base64forData(HMACSHA1withKeyForString(secretAccessKey(), toSign));
    addRequestHeaderValue("Authorization", "AWS " + accessKey() + ":" + signature);
}

// --- Replies --------------------------------------------------------------------------

void RQS3Request::requestFinished() {
    auto headers = responseHeaders();
    const int status = responseStatusCode();
    const bool errorReply = status < 200 || status >= 300;
    if (headers && headers->value("Content-Type") == std::optional<std::string>("application/xml") &&
        (errorReply || successReplyIsDocument()))
        parseResponseXML();
    // The reply failed the request (its failure is reported) or asked for a
    // second attempt, which is under way.
    if (error() || !complete()) return;
    RQHTTPRequest::requestFinished();
}

void RQS3Request::parseResponseXML() {
    auto body = responseData();
    if (!body || body->empty()) return;
    resetReader();
    RQXMLReplyReader::parse(*body, std::dynamic_pointer_cast<XMLParserDelegate>(shared_from_this()));
}

void RQS3Request::elementEnded(XMLParser& parser, const std::string& name) {
    if (name == "Code" && elementText() == "RequestTimeout") {
        if (retryUsingNewConnection()) parser.abortParsing();
    } else if (name == "Message") {
        failWithError(RQError::make(kServiceError, elementText()));
        parser.abortParsing();
    }
}

void RQS3Request::parserParseErrorOccurred(XMLParser&, const Error& parseError) {
    if (error()) return;
    failWithError(RQError::make(kReplyUnreadable, "Parsing the resposnse failed", parseError));
}

// --- Copies -----------------------------------------------------------------------------

std::shared_ptr<RQS3Request> RQS3Request::makeEmpty(std::optional<URL> url) const {
    return std::make_shared<RQS3Request>(std::move(url));
}

void RQS3Request::copyS3SettingsTo(RQS3Request& other) const {
    other.setAccessKey(accessKey());
    other.setSecretAccessKey(secretAccessKey());
    other.setAccessPolicy(accessPolicy());
    other.setRequestScheme(requestScheme());
}

std::shared_ptr<RQHTTPRequest> RQS3Request::makeRequestOfSameClass(std::optional<URL> url) const {
    auto request = makeEmpty(std::move(url));
    copyS3SettingsTo(*request);
    return request;
}

}  // namespace clipora
