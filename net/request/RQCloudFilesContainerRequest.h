#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/request/RQCloudFilesContainer.h"
#include "net/request/RQCloudFilesRequest.h"

namespace clipora {

// The account and its containers on the storage endpoint: account facts
// (HEAD), the container listing, and creating and deleting containers.
class RQCloudFilesContainerRequest : public RQCloudFilesRequest {
public:
    using RQCloudFilesRequest::RQCloudFilesRequest;

    // "<storage URL>[/<container>]<query>" with the method and the token;
    // the query is taken as given.
    static std::shared_ptr<RQCloudFilesContainerRequest> storageRequestWithMethodContainerNameQueryString(
        const std::string& method, const std::optional<std::string>& containerName, const std::string& queryString);
    static std::shared_ptr<RQCloudFilesContainerRequest> storageRequestWithMethodQueryString(
        const std::string& method, const std::string& queryString);
    static std::shared_ptr<RQCloudFilesContainerRequest> storageRequestWithMethod(const std::string& method);

    // HEAD on the account; then containerCount() and bytesUsed().
    static std::shared_ptr<RQCloudFilesContainerRequest> accountInfoRequest();
    std::uint64_t containerCount() const;
    std::uint64_t bytesUsed() const;

    // The container listing ("?format=xml"); a limit of 0 asks for the
    // service's default, an empty marker starts at the beginning.
    static std::shared_ptr<RQCloudFilesContainerRequest> listRequest();
    static std::shared_ptr<RQCloudFilesContainerRequest> listRequestWithLimitMarker(std::uint32_t limit,
                                                                                    const std::string& marker);
    // The containers of a finished listing (empty before it finished).
    std::vector<RQCloudFilesContainer> containers() { return containersFromResponse(); }

    static std::shared_ptr<RQCloudFilesContainerRequest> createContainerRequest(const std::string& containerName);
    static std::shared_ptr<RQCloudFilesContainerRequest> deleteContainerRequest(const std::string& containerName);

protected:
    std::shared_ptr<RQCloudFilesRequest> makeEmpty(std::optional<platform::URL> url) const override {
        return std::make_shared<RQCloudFilesContainerRequest>(std::move(url));
    }
};

}  // namespace clipora
