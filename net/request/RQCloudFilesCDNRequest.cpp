#include "net/request/RQCloudFilesCDNRequest.h"

#include "platform/foundation/Text.h"

namespace clipora {

using namespace platform;

std::shared_ptr<RQCloudFilesCDNRequest> RQCloudFilesCDNRequest::cdnRequestWithMethodQuery(const std::string& method,
                                                                                          const std::string& query) {
    return requestWithMethodAddress<RQCloudFilesCDNRequest>(method, cdnManagementURL().value_or("") + query);
}

std::shared_ptr<RQCloudFilesCDNRequest> RQCloudFilesCDNRequest::cdnRequestWithMethodContainerName(
    const std::string& method, const std::string& containerName) {
    auto request = requestWithMethodAddress<RQCloudFilesCDNRequest>(
        method, addressInContainer(cdnManagementURL().value_or(""), containerName));
    request->setContainerName(containerName);
    request->refuseBeforeSending(refusalOfPath(containerName));
    return request;
}

std::shared_ptr<RQCloudFilesCDNRequest> RQCloudFilesCDNRequest::containerInfoRequest(const std::string& containerName) {
    return cdnRequestWithMethodContainerName("HEAD", containerName);
}

bool RQCloudFilesCDNRequest::cdnEnabled() const {
    const auto headers = responseHeaders();
    return headers && Text::boolValue(headers->value("X-Cdn-Enabled").value_or(""));
}

std::string RQCloudFilesCDNRequest::cdnURI() const {
    const auto headers = responseHeaders();
    return headers ? headers->value("X-Cdn-Uri").value_or("") : std::string();
}

std::uint64_t RQCloudFilesCDNRequest::cdnTTL() const { return responseHeaderInteger("X-Ttl"); }

std::shared_ptr<RQCloudFilesCDNRequest> RQCloudFilesCDNRequest::listRequest() {
    return cdnRequestWithMethodQuery("GET", "?format=xml");
}

std::shared_ptr<RQCloudFilesCDNRequest> RQCloudFilesCDNRequest::listRequestWithLimitMarkerEnabledOnly(
    std::uint32_t limit, const std::string& marker, bool enabledOnly) {
    std::string query = listingQuery(limit, marker);
    if (enabledOnly) query += "&enabled_only=true";
    return cdnRequestWithMethodQuery("GET", query);
}

std::shared_ptr<RQCloudFilesCDNRequest> RQCloudFilesCDNRequest::putRequestWithContainer(
    const std::string& containerName) {
    return cdnRequestWithMethodContainerName("PUT", containerName);
}

std::shared_ptr<RQCloudFilesCDNRequest> RQCloudFilesCDNRequest::putRequestWithContainerTtl(
    const std::string& containerName, std::uint32_t ttl) {
    auto request = putRequestWithContainer(containerName);
    request->addRequestHeaderValue("X-Ttl", std::to_string(ttl));
    return request;
}

std::shared_ptr<RQCloudFilesCDNRequest> RQCloudFilesCDNRequest::postRequestWithContainer(
    const std::string& containerName) {
    return cdnRequestWithMethodContainerName("POST", containerName);
}

std::shared_ptr<RQCloudFilesCDNRequest> RQCloudFilesCDNRequest::postRequestWithContainerCdnEnabledTtl(
    const std::string& containerName, bool cdnEnabled, std::uint32_t ttl) {
    auto request = postRequestWithContainer(containerName);
    if (ttl != 0) request->addRequestHeaderValue("X-Ttl", std::to_string(ttl));
    request->addRequestHeaderValue("X-Cdn-Enabled", cdnEnabled ? "True" : "False");
    return request;
}

}  // namespace clipora
