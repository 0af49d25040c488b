#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/Value.h"

namespace clipora {

class GetAlbumCover;

// Told when a GetAlbumCover run ends: the cover rows ("pid", "src_small"),
// or absent after a failure.
class GetAlbumCoverDelegate {
public:
    virtual ~GetAlbumCoverDelegate() = default;
    virtual void gotAlbumCoverResult(const std::shared_ptr<GetAlbumCover>& getAlbumCover,
                                     const std::optional<platform::Value::Array>& rows) = 0;
};

}  // namespace clipora
