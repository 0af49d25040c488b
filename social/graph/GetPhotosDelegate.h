#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "social/graph/Photo.h"

namespace clipora {

class GetPhotos;

// Told when a GetPhotos run ends: the album's photos in reply order, or
// absent after a failure (read the operation's success and error).
class GetPhotosDelegate {
public:
    virtual ~GetPhotosDelegate() = default;
    virtual void finishGetPhotosPhotos(const std::shared_ptr<GetPhotos>& getPhotos,
                                       const std::optional<std::vector<std::shared_ptr<Photo>>>& photos) = 0;
};

}  // namespace clipora
