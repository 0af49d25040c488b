#include "net/request/RQCloudFilesContainerRequest.h"

namespace clipora {

std::shared_ptr<RQCloudFilesContainerRequest>
RQCloudFilesContainerRequest::storageRequestWithMethodContainerNameQueryString(
    const std::string& method, const std::optional<std::string>& containerName, const std::string& queryString) {
    const std::string base = storageURL().value_or("");
    const std::string address = containerName ? addressInContainer(base, *containerName) : base;
    auto request = requestWithMethodAddress<RQCloudFilesContainerRequest>(method, address + queryString);
    if (containerName) request->refuseBeforeSending(refusalOfPath(*containerName));
    return request;
}

std::shared_ptr<RQCloudFilesContainerRequest> RQCloudFilesContainerRequest::storageRequestWithMethodQueryString(
    const std::string& method, const std::string& queryString) {
    return storageRequestWithMethodContainerNameQueryString(method, std::nullopt, queryString);
}

std::shared_ptr<RQCloudFilesContainerRequest> RQCloudFilesContainerRequest::storageRequestWithMethod(
    const std::string& method) {
    return storageRequestWithMethodQueryString(method, "");
}

std::shared_ptr<RQCloudFilesContainerRequest> RQCloudFilesContainerRequest::accountInfoRequest() {
    return storageRequestWithMethod("HEAD");
}

std::uint64_t RQCloudFilesContainerRequest::containerCount() const {
    return responseHeaderInteger("X-Account-Container-Count");
}

std::uint64_t RQCloudFilesContainerRequest::bytesUsed() const { return responseHeaderInteger("X-Account-Bytes-Used"); }

std::shared_ptr<RQCloudFilesContainerRequest> RQCloudFilesContainerRequest::listRequest() {
    return storageRequestWithMethodQueryString("GET", "?format=xml");
}

std::shared_ptr<RQCloudFilesContainerRequest> RQCloudFilesContainerRequest::listRequestWithLimitMarker(
    std::uint32_t limit, const std::string& marker) {
    return storageRequestWithMethodQueryString("GET", listingQuery(limit, marker));
}

std::shared_ptr<RQCloudFilesContainerRequest> RQCloudFilesContainerRequest::createContainerRequest(
    const std::string& containerName) {
    return storageRequestWithMethodContainerNameQueryString("PUT", containerName, "");
}

std::shared_ptr<RQCloudFilesContainerRequest> RQCloudFilesContainerRequest::deleteContainerRequest(
    const std::string& containerName) {
    return storageRequestWithMethodContainerNameQueryString("DELETE", containerName, "");
}

}  // namespace clipora
