#include "net/request/RQCloudFilesRequest.h"

#include <mutex>

#include "net/request/RQCloudFilesContainerXMLParserDelegate.h"
#include "net/request/RQError.h"
#include "net/request/RQXMLReplyReader.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Text.h"

namespace clipora {

using namespace platform;

namespace {

// Recursive: authenticate() holds it for its whole exchange and reads and
// writes the values through the same accessors.
struct Shared {
    std::recursive_mutex mutex;
    std::optional<std::string> username;
    std::optional<std::string> apiKey;
    std::optional<std::string> authToken;
    std::optional<std::string> storageURL;
    std::optional<std::string> cdnManagementURL;
    std::string authenticationHost = RQCloudFilesRequest::kDefaultAuthenticationHost;
};

Shared& shared() {
    static Shared* s = new Shared();
    return *s;
}

template <class T>
T read(const T& field) {
    std::lock_guard lock(shared().mutex);
    return field;
}

template <class T>
void write(T& field, T value) {
    std::lock_guard lock(shared().mutex);
    field = std::move(value);
}

}  // namespace

void RQCloudFilesRequest::setUsername(std::optional<std::string> username) {
    write(shared().username, std::move(username));
}
std::optional<std::string> RQCloudFilesRequest::username() { return read(shared().username); }
void RQCloudFilesRequest::setApiKey(std::optional<std::string> apiKey) { write(shared().apiKey, std::move(apiKey)); }
std::optional<std::string> RQCloudFilesRequest::apiKey() { return read(shared().apiKey); }
std::optional<std::string> RQCloudFilesRequest::authToken() { return read(shared().authToken); }
std::optional<std::string> RQCloudFilesRequest::storageURL() { return read(shared().storageURL); }
std::optional<std::string> RQCloudFilesRequest::cdnManagementURL() { return read(shared().cdnManagementURL); }
void RQCloudFilesRequest::setAuthenticationHost(std::string host) {
    write(shared().authenticationHost, std::move(host));
}
std::string RQCloudFilesRequest::authenticationHost() { return read(shared().authenticationHost); }

void RQCloudFilesRequest::resetClassStateForTesting() {
    std::lock_guard lock(shared().mutex);
    shared().username.reset();
    shared().apiKey.reset();
    shared().authToken.reset();
    shared().storageURL.reset();
    shared().cdnManagementURL.reset();
    shared().authenticationHost = kDefaultAuthenticationHost;
}

std::shared_ptr<RQHTTPRequest> RQCloudFilesRequest::authenticationRequest() {
    std::lock_guard lock(shared().mutex);
    auto request = requestWithURL(URL::fromString("https://" + authenticationHost() + "/v1.0"));
    request->addRequestHeaderValue("X-Auth-User", username().value_or(""));
    request->addRequestHeaderValue("X-Auth-Key", apiKey().value_or(""));
    return request;
}

std::optional<Error> RQCloudFilesRequest::authenticate() {
    std::lock_guard lock(shared().mutex);
    auto request = authenticationRequest();
    request->startSynchronous();
    if (auto error = request->error()) return error;
    // A refusal (401) or any other answer without a token and a storage URL
    // is a failure: keeping it would erase a working token.
    const int status = request->responseStatusCode();
    const auto headers = request->responseHeaders().value_or(HTTPHeaders());
    auto token = headers.value("X-Auth-Token");
    auto storage = headers.value("X-Storage-Url");
    if (status == 401 || status == 403) return RQError::authenticationNeeded();
    if (status < 200 || status > 299 || !token || !storage)
        return RQError::make(RQError::kInternalError,
                             Text::format("The authentication service gave no token (status %d)", status));
    shared().authToken = std::move(token);
    shared().storageURL = std::move(storage);
    shared().cdnManagementURL = headers.value("X-Cdn-Management-Url");
    return std::nullopt;
}

std::optional<Date> RQCloudFilesRequest::dateFromString(const std::string& text) const {
    // The service writes its times in UTC without saying so.
    thread_local const DateFormatter formatter("yyyy-MM-dd'T'H:mm:ss.SSSSSS");
    return formatter.dateFromString(text);
}

std::string RQCloudFilesRequest::addressInContainer(const std::string& base, const std::string& container,
                                                    const std::optional<std::string>& objectPath) {
    std::string address = base + "/" + Text::percentEscape(container);
    if (objectPath) address += "/" + URL::percentEscapePath(*objectPath);
    return address;
}

std::optional<Error> RQCloudFilesRequest::refusalOfPath(const std::string& container,
                                                        const std::optional<std::string>& objectPath) {
    const auto dotSegment = [](std::string_view segment) { return segment == "." || segment == ".."; };
    if (dotSegment(container))
        return RQError::make(RQError::kUnableToCreateRequest,
                             Text::format("The container name \"%@\" would be read as a step in the path, not as "
                                          "a container",
                                          container));
    if (!objectPath) return std::nullopt;
    for (const std::string& segment : Text::split(*objectPath, "/")) {
        if (dotSegment(segment))
            return RQError::make(RQError::kUnableToCreateRequest,
                                 Text::format("The object path \"%@\" holds the segment \"%@\", which a server "
                                              "may resolve to another object",
                                              *objectPath, segment));
    }
    return std::nullopt;
}

void RQCloudFilesRequest::refuseBeforeSending(std::optional<Error> reason) {
    if (!reason) return;
    std::lock_guard lock(propertyMutex());
    if (!refusal_.unlocked()) refusal_.unlocked() = std::move(reason);
}

void RQCloudFilesRequest::buildRequestHeaders() {
    if (auto reason = refusal_.get()) {
        failWithError(*reason);
        return;
    }
    RQHTTPRequest::buildRequestHeaders();
}

std::string RQCloudFilesRequest::queryParameter(const std::string& name, const std::string& value) {
    return "&" + name + "=" + Text::percentEscape(value);
}

std::string RQCloudFilesRequest::listingQuery(std::uint32_t limit, const std::string& marker) {
    std::string query = "?format=xml";
    if (limit != 0) query += "&limit=" + std::to_string(limit);
    if (!marker.empty()) query += queryParameter("marker", marker);
    return query;
}

std::uint64_t RQCloudFilesRequest::responseHeaderInteger(const std::string& name) const {
    auto headers = responseHeaders();
    if (!headers) return 0;
    const auto value = headers->value(name);
    if (!value) return 0;
    const auto number = Text::parseInt64(Text::trimSpacesAndTabs(*value));
    return number && *number > 0 ? static_cast<std::uint64_t>(*number) : 0;
}

std::vector<RQCloudFilesContainer> RQCloudFilesRequest::containersFromResponse() {
    // Nothing to read before the reply is complete; asked again later, it is.
    if (!isFinished()) return {};
    std::lock_guard lock(parseMutex_);
    if (!xmlParserDelegate_) {
        xmlParserDelegate_ = std::make_shared<RQCloudFilesContainerXMLParserDelegate>();
        if (auto body = responseData(); body && !body->empty()) RQXMLReplyReader::parse(*body, xmlParserDelegate_);
    }
    return xmlParserDelegate_->containerObjects();
}

std::shared_ptr<RQCloudFilesRequest> RQCloudFilesRequest::makeEmpty(std::optional<URL> url) const {
    return std::make_shared<RQCloudFilesRequest>(std::move(url));
}

std::shared_ptr<RQHTTPRequest> RQCloudFilesRequest::makeRequestOfSameClass(std::optional<URL> url) const {
    auto request = makeEmpty(std::move(url));
    request->setContainerName(containerName());
    request->setAccountName(accountName());
    // A copy carries the same incomplete headers, so the same refusal.
    request->refuseBeforeSending(refusal_.get());
    return request;
}

}  // namespace clipora
