#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/Value.h"

namespace clipora {

class GetVideoUploadLimit;

// Told when a GetVideoUploadLimit run ends: the network's parsed reply, or
// absent after a failure.
class GetVideoUploadLimitDelegate {
public:
    virtual ~GetVideoUploadLimitDelegate() = default;
    virtual void finishGetVideoUploadLimitResult(const std::shared_ptr<GetVideoUploadLimit>& getVideoUploadLimit,
                                                 const std::optional<platform::Value>& result) = 0;
};

}  // namespace clipora
