#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/Value.h"

namespace clipora {

class CreateAlbum;

// Told when a CreateAlbum run ends: the network's parsed reply, or absent
// after a failure (read the operation's success and error).
class CreateAlbumDelegate {
public:
    virtual ~CreateAlbumDelegate() = default;
    virtual void newAlbumResult(const std::shared_ptr<CreateAlbum>& createAlbum,
                                const std::optional<platform::Value>& result) = 0;
};

}  // namespace clipora
