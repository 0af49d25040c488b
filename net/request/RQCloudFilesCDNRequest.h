#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/request/RQCloudFilesContainer.h"
#include "net/request/RQCloudFilesRequest.h"

namespace clipora {

// Containers on the CDN-management endpoint: published (PUT), changed
// (POST: time to live, enabled or not), inspected (HEAD) and listed.
class RQCloudFilesCDNRequest : public RQCloudFilesRequest {
public:
    using RQCloudFilesRequest::RQCloudFilesRequest;

    // "<CDN-management URL><query>" (the query as given), or
    // "<CDN-management URL>/<container>" with containerName set; the method
    // and the token.
    static std::shared_ptr<RQCloudFilesCDNRequest> cdnRequestWithMethodQuery(const std::string& method,
                                                                             const std::string& query);
    static std::shared_ptr<RQCloudFilesCDNRequest> cdnRequestWithMethodContainerName(const std::string& method,
                                                                                     const std::string& containerName);

    // HEAD on the container; then cdnEnabled(), cdnURI() and cdnTTL().
    static std::shared_ptr<RQCloudFilesCDNRequest> containerInfoRequest(const std::string& containerName);
    bool cdnEnabled() const;
    std::string cdnURI() const;
    std::uint64_t cdnTTL() const;

    // The CDN container listing ("?format=xml"); with a limit (not 0), a
    // marker (not empty), and "&enabled_only=true" when only published
    // containers are wanted.
    static std::shared_ptr<RQCloudFilesCDNRequest> listRequest();
    static std::shared_ptr<RQCloudFilesCDNRequest> listRequestWithLimitMarkerEnabledOnly(std::uint32_t limit,
                                                                                         const std::string& marker,
                                                                                         bool enabledOnly);
    // The containers of a finished listing (empty before it finished).
    std::vector<RQCloudFilesContainer> containers() { return containersFromResponse(); }

    // Publishes the container, with a time to live in seconds.
    static std::shared_ptr<RQCloudFilesCDNRequest> putRequestWithContainer(const std::string& containerName);
    static std::shared_ptr<RQCloudFilesCDNRequest> putRequestWithContainerTtl(const std::string& containerName,
                                                                              std::uint32_t ttl);
    // Changes a published container: the time to live (when not 0) and
    // whether it is enabled.
    static std::shared_ptr<RQCloudFilesCDNRequest> postRequestWithContainer(const std::string& containerName);
    static std::shared_ptr<RQCloudFilesCDNRequest> postRequestWithContainerCdnEnabledTtl(
        const std::string& containerName, bool cdnEnabled, std::uint32_t ttl);

protected:
    std::shared_ptr<RQCloudFilesRequest> makeEmpty(std::optional<platform::URL> url) const override {
        return std::make_shared<RQCloudFilesCDNRequest>(std::move(url));
    }
};

}  // namespace clipora
