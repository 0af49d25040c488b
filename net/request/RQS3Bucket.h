#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Date.h"

namespace clipora {

// A bucket of the storage service's account listing.
struct RQS3Bucket {
    std::string name;
    std::optional<platform::Date> creationDate;
    std::string ownerID;
    std::string ownerName;

    static RQS3Bucket bucketWithOwnerIDOwnerName(std::string ownerID, std::string ownerName) {
        RQS3Bucket bucket;
        bucket.ownerID = std::move(ownerID);
        bucket.ownerName = std::move(ownerName);
        return bucket;
    }
    // "Name: %@ creationDate: %@ ownerID: %@ ownerName: %@".
    std::string description() const;
};

}  // namespace clipora
