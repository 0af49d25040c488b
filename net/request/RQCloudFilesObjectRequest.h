#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/request/RQCloudFilesObject.h"
#include "net/request/RQCloudFilesRequest.h"
#include "net/request/RQXMLReplyReader.h"

namespace clipora {

// A container's facts and objects on the storage endpoint: container facts
// (HEAD), the object listing, and objects read, inspected, stored (from data
// or a file), given new metadata and deleted. Metadata travel as
// "X-Object-Meta-<key>" headers.
class RQCloudFilesObjectRequest : public RQCloudFilesRequest, public RQXMLReplyReader {
public:
    using Metadata = std::map<std::string, std::string>;

    using RQCloudFilesRequest::RQCloudFilesRequest;

    // "<storage URL>/<container>", then the query as given or "/<object
    // path>"; the method, the token and containerName set.
    static std::shared_ptr<RQCloudFilesObjectRequest> storageRequestWithMethodContainerName(
        const std::string& method, const std::string& containerName);
    static std::shared_ptr<RQCloudFilesObjectRequest> storageRequestWithMethodContainerNameQueryString(
        const std::string& method, const std::string& containerName, const std::string& queryString);
    static std::shared_ptr<RQCloudFilesObjectRequest> storageRequestWithMethodContainerNameObjectPath(
        const std::string& method, const std::string& containerName, const std::string& objectPath);

    // HEAD on the container; then containerObjectCount() and containerBytesUsed().
    static std::shared_ptr<RQCloudFilesObjectRequest> containerInfoRequest(const std::string& containerName);
    std::uint64_t containerObjectCount() const;
    std::uint64_t containerBytesUsed() const;
    // HEAD on the object.
    static std::shared_ptr<RQCloudFilesObjectRequest> objectInfoRequestObjectPath(const std::string& containerName,
                                                                                  const std::string& objectPath);

    // "?format=xml" with "&limit=" (not 0), "&marker=", "&prefix=" and
    // "&path=" (each when not empty), values escaped.
    static std::string queryStringWithContainerLimitMarkerPrefixPath(const std::string& containerName,
                                                                     std::uint32_t limit, const std::string& marker,
                                                                     const std::string& prefix,
                                                                     const std::string& path);
    static std::shared_ptr<RQCloudFilesObjectRequest> listRequestWithContainerLimitMarkerPrefixPath(
        const std::string& containerName, std::uint32_t limit, const std::string& marker, const std::string& prefix,
        const std::string& path);
    static std::shared_ptr<RQCloudFilesObjectRequest> listRequestWithContainer(const std::string& containerName);
    // The objects of a finished listing (empty before it finished).
    std::vector<RQCloudFilesObject> objects();

    static std::shared_ptr<RQCloudFilesObjectRequest> getObjectRequestWithContainerObjectPath(
        const std::string& containerName, const std::string& objectPath);
    // The object a finished GET read: its name, the "ETag", "Content-Length",
    // "Content-Type", "Last-Modified" and "X-Object-Meta-" headers, and the body.
    RQCloudFilesObject object();

    // PUT of the object with its type, metadata and body; a non-empty etag
    // is sent as "ETag" for the service to check the body against.
    static std::shared_ptr<RQCloudFilesObjectRequest>
    putObjectRequestWithContainerObjectPathContentTypeObjectDataMetadataEtag(
        const std::string& containerName, const std::string& objectPath, const std::string& contentType,
        const platform::Data& objectData, const Metadata& metadata, const std::string& etag);
    // The same with the body streamed from a file.
    static std::shared_ptr<RQCloudFilesObjectRequest>
    putObjectRequestWithContainerObjectPathContentTypeFileMetadataEtag(
        const std::string& containerName, const std::string& objectPath, const std::string& contentType,
        const std::string& filePath, const Metadata& metadata, const std::string& etag);
    static std::shared_ptr<RQCloudFilesObjectRequest> putObjectRequestWithContainerObject(
        const std::string& containerName, const RQCloudFilesObject& object);

    // POST of new metadata.
    static std::shared_ptr<RQCloudFilesObjectRequest> postObjectRequestWithContainerObjectPathMetadata(
        const std::string& containerName, const std::string& objectPath, const Metadata& metadata);
    static std::shared_ptr<RQCloudFilesObjectRequest> postObjectRequestWithContainerObject(
        const std::string& containerName, const RQCloudFilesObject& object);

    static std::shared_ptr<RQCloudFilesObjectRequest> deleteObjectRequestWithContainerObjectPath(
        const std::string& containerName, const std::string& objectPath);

protected:
    // Reading the object listing.
    void elementStarted(const std::string& name) override;
    void elementEnded(platform::XMLParser& parser, const std::string& name) override;
    std::shared_ptr<RQCloudFilesRequest> makeEmpty(std::optional<platform::URL> url) const override {
        return std::make_shared<RQCloudFilesObjectRequest>(std::move(url));
    }

private:
    void addMetadataHeaders(const Metadata& metadata);

    std::mutex objectsMutex_;
    std::optional<std::vector<RQCloudFilesObject>> objects_;
    std::optional<RQCloudFilesObject> currentObject_;
};

}  // namespace clipora
