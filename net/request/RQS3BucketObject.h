#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"

namespace clipora {

class RQS3ObjectRequest;

// An object of a bucket listing.
struct RQS3BucketObject {
    std::string bucket;
    std::string key;
    std::optional<platform::Date> lastModified;
    std::string ETag;
    std::uint64_t size = 0;
    std::string ownerID;
    std::string ownerName;

    static RQS3BucketObject objectWithBucket(std::string bucket) {
        RQS3BucketObject object;
        object.bucket = std::move(bucket);
        return object;
    }
    std::shared_ptr<RQS3ObjectRequest> GETRequest() const;
    std::shared_ptr<RQS3ObjectRequest> PUTRequestWithFile(const std::string& path) const;
    std::shared_ptr<RQS3ObjectRequest> DELETERequest() const;
    // "Key: %@ lastModified: %@ ETag: %@ size: %llu ownerID: %@ ownerName: %@".
    std::string description() const;
};

}  // namespace clipora
