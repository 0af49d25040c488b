#pragma once

#include <memory>

#include "platform/cfnetwork/URLResponse.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// A response with its body, as offered to a connection's delegate before it
// would be cached. No response cache exists in this layer: the offer only
// lets a delegate say "do not cache" the way it would on a device.
class CachedURLResponse {
public:
    // Published values of the platform's storage-policy enumeration.
    enum class StoragePolicy {
        Allowed = 0,
        AllowedInMemoryOnly = 1,
        NotAllowed = 2,
    };

    CachedURLResponse(std::shared_ptr<URLResponse> response, Data data,
                      StoragePolicy storagePolicy = StoragePolicy::Allowed)
        : response_(std::move(response)), data_(std::move(data)), storagePolicy_(storagePolicy) {}

    const std::shared_ptr<URLResponse>& response() const { return response_; }
    const Data& data() const { return data_; }
    StoragePolicy storagePolicy() const { return storagePolicy_; }

private:
    std::shared_ptr<URLResponse> response_;
    Data data_;
    StoragePolicy storagePolicy_;
};

}  // namespace clipora::platform
