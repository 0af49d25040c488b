#include "net/request/RQCloudFilesObjectRequest.h"

#include <set>

#include "net/request/RQError.h"
#include "platform/cfnetwork/HTTPHeaders.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Text.h"

namespace clipora {

using namespace platform;

namespace {

constexpr std::string_view kMetadataPrefix = "X-Object-Meta-";

}  // namespace

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::storageRequestWithMethodContainerName(
    const std::string& method, const std::string& containerName) {
    return storageRequestWithMethodContainerNameQueryString(method, containerName, "");
}

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::storageRequestWithMethodContainerNameQueryString(
    const std::string& method, const std::string& containerName, const std::string& queryString) {
    auto request = requestWithMethodAddress<RQCloudFilesObjectRequest>(
        method, addressInContainer(storageURL().value_or(""), containerName) + queryString);
    request->setContainerName(containerName);
    request->refuseBeforeSending(refusalOfPath(containerName));
    return request;
}

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::storageRequestWithMethodContainerNameObjectPath(
    const std::string& method, const std::string& containerName, const std::string& objectPath) {
    auto request = requestWithMethodAddress<RQCloudFilesObjectRequest>(
        method, addressInContainer(storageURL().value_or(""), containerName, objectPath));
    request->setContainerName(containerName);
    request->refuseBeforeSending(refusalOfPath(containerName, objectPath));
    return request;
}

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::containerInfoRequest(
    const std::string& containerName) {
    return storageRequestWithMethodContainerName("HEAD", containerName);
}

std::uint64_t RQCloudFilesObjectRequest::containerObjectCount() const {
    return responseHeaderInteger("X-Container-Object-Count");
}

std::uint64_t RQCloudFilesObjectRequest::containerBytesUsed() const {
    return responseHeaderInteger("X-Container-Bytes-Used");
}

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::objectInfoRequestObjectPath(
    const std::string& containerName, const std::string& objectPath) {
    return storageRequestWithMethodContainerNameObjectPath("HEAD", containerName, objectPath);
}

std::string RQCloudFilesObjectRequest::queryStringWithContainerLimitMarkerPrefixPath(const std::string&,
                                                                                     std::uint32_t limit,
                                                                                     const std::string& marker,
                                                                                     const std::string& prefix,
                                                                                     const std::string& path) {
    std::string query = listingQuery(limit, marker);
    if (!prefix.empty()) query += queryParameter("prefix", prefix);
    if (!path.empty()) query += queryParameter("path", path);
    return query;
}

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::listRequestWithContainerLimitMarkerPrefixPath(
    const std::string& containerName, std::uint32_t limit, const std::string& marker, const std::string& prefix,
    const std::string& path) {
    return storageRequestWithMethodContainerNameQueryString(
        "GET", containerName,
        queryStringWithContainerLimitMarkerPrefixPath(containerName, limit, marker, prefix, path));
}

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::listRequestWithContainer(
    const std::string& containerName) {
    return listRequestWithContainerLimitMarkerPrefixPath(containerName, 0, "", "", "");
}

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::getObjectRequestWithContainerObjectPath(
    const std::string& containerName, const std::string& objectPath) {
    return storageRequestWithMethodContainerNameObjectPath("GET", containerName, objectPath);
}

void RQCloudFilesObjectRequest::addMetadataHeaders(const Metadata& metadata) {
    // Every entry goes, or the request does not: a metadata POST replaces
    // all of the object's metadata, so an entry left out would be lost.
    const auto refuse = [&](const std::string& key, const char* why) {
        refuseBeforeSending(RQError::make(RQError::kUnableToCreateRequest,
                                          Text::format("The metadata entry \"%@\" cannot be sent: %@", key, why)));
    };
    std::set<std::string> sent;  // lower-case names
    for (const auto& [key, value] : metadata) {
        const std::string name = std::string(kMetadataPrefix) + key;
        if (key.empty() || !HTTPHeaders::isValidName(name))
            refuse(key, "its name holds a character a header name cannot hold");
        else if (!HTTPHeaders::isValidValue(value))
            refuse(key, "its value holds a line break or another control character");
        else if (!sent.insert(Text::lowercase(key)).second)
            refuse(key, "another entry has the same name but for case, and header names ignore case");
        else
            addRequestHeaderValue(name, value);
    }
}

std::shared_ptr<RQCloudFilesObjectRequest>
RQCloudFilesObjectRequest::putObjectRequestWithContainerObjectPathContentTypeObjectDataMetadataEtag(
    const std::string& containerName, const std::string& objectPath, const std::string& contentType,
    const Data& objectData, const Metadata& metadata, const std::string& etag) {
    auto request = storageRequestWithMethodContainerNameObjectPath("PUT", containerName, objectPath);
    request->addRequestHeaderValue("Content-Type", contentType);
    request->addMetadataHeaders(metadata);
    if (!etag.empty()) request->addRequestHeaderValue("ETag", etag);
    request->appendPostData(objectData);
    return request;
}

std::shared_ptr<RQCloudFilesObjectRequest>
RQCloudFilesObjectRequest::putObjectRequestWithContainerObjectPathContentTypeFileMetadataEtag(
    const std::string& containerName, const std::string& objectPath, const std::string& contentType,
    const std::string& filePath, const Metadata& metadata, const std::string& etag) {
    auto request = storageRequestWithMethodContainerNameObjectPath("PUT", containerName, objectPath);
    request->addRequestHeaderValue("Content-Type", contentType);
    request->addMetadataHeaders(metadata);
    if (!etag.empty()) request->addRequestHeaderValue("ETag", etag);
    request->setShouldStreamPostDataFromDisk(true);
    request->setPostBodyFilePath(filePath);
    return request;
}

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::putObjectRequestWithContainerObject(
    const std::string& containerName, const RQCloudFilesObject& object) {
    return putObjectRequestWithContainerObjectPathContentTypeObjectDataMetadataEtag(
        containerName, object.name, object.contentType, object.data, object.metadata, "");
}

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::postObjectRequestWithContainerObjectPathMetadata(
    const std::string& containerName, const std::string& objectPath, const Metadata& metadata) {
    auto request = storageRequestWithMethodContainerNameObjectPath("POST", containerName, objectPath);
    request->addMetadataHeaders(metadata);
    return request;
}

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::postObjectRequestWithContainerObject(
    const std::string& containerName, const RQCloudFilesObject& object) {
    return postObjectRequestWithContainerObjectPathMetadata(containerName, object.name, object.metadata);
}

std::shared_ptr<RQCloudFilesObjectRequest> RQCloudFilesObjectRequest::deleteObjectRequestWithContainerObjectPath(
    const std::string& containerName, const std::string& objectPath) {
    return storageRequestWithMethodContainerNameObjectPath("DELETE", containerName, objectPath);
}

// --- Results ---------------------------------------------------------------------------

RQCloudFilesObject RQCloudFilesObjectRequest::object() {
    RQCloudFilesObject object = RQCloudFilesObject::object();
    // The name is what follows exactly "<storage path>/<container>/": the
    // container's name may well occur earlier in the account's path.
    const auto target = originalURL() ? originalURL() : url();
    const auto storage = URL::fromString(storageURL().value_or(""));
    if (target && storage) {
        const std::string prefix = storage->percentEncodedPath() + "/" + Text::percentEscape(containerName()) + "/";
        const std::string& path = target->percentEncodedPath();
        if (Text::hasPrefix(path, prefix))
            object.name = Text::percentUnescape(std::string_view(path).substr(prefix.size())).value_or("");
    }
    const auto headers = responseHeaders().value_or(HTTPHeaders());
    object.hash = headers.value("ETag").value_or("");
    object.data = responseData().value_or(Data());
    // A compressed reply's length is that of the bytes on the wire.
    object.bytes = isResponseCompressed() ? object.data.size() : responseHeaderInteger("Content-Length");
    object.contentType = headers.value("Content-Type").value_or("");
    if (auto modified = headers.value("Last-Modified"))
        object.lastModified = DateFormatter::dateFromHTTPDate(*modified);
    for (const auto& field : headers.fields()) {
        // Header names match in any case (intermediaries may lower-case them).
        if (field.name.size() > kMetadataPrefix.size() &&
            Text::equalsCaseInsensitive(std::string_view(field.name).substr(0, kMetadataPrefix.size()),
                                        kMetadataPrefix))
            object.metadata[field.name.substr(kMetadataPrefix.size())] = headers.value(field.name).value_or("");
    }
    return object;
}

std::vector<RQCloudFilesObject> RQCloudFilesObjectRequest::objects() {
    // Nothing to read before the reply is complete; asked again later, it is.
    if (!isFinished()) return {};
    std::lock_guard lock(objectsMutex_);
    if (!objects_) {
        objects_.emplace();
        resetReader();
        if (auto body = responseData(); body && !body->empty())
            RQXMLReplyReader::parse(*body, std::dynamic_pointer_cast<XMLParserDelegate>(shared_from_this()));
    }
    return *objects_;
}

void RQCloudFilesObjectRequest::elementStarted(const std::string& name) {
    if (name == "object") currentObject_ = RQCloudFilesObject::object();
}

void RQCloudFilesObjectRequest::elementEnded(XMLParser&, const std::string& name) {
    if (!currentObject_) return;
    const std::string& text = elementText();
    auto& object = *currentObject_;
    if (name == "name")
        object.name = text;
    else if (name == "hash")
        object.hash = text;
    else if (name == "content_type")
        object.contentType = text;
    else if (name == "bytes")
        object.bytes = elementUnsignedValue();
    else if (name == "last_modified")
        object.lastModified = dateFromString(text);
    else if (name == "object") {
        objects_->push_back(std::move(object));
        currentObject_.reset();
    }
}

}  // namespace clipora
