#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "social/graph/Photo.h"

namespace clipora {

class NewProfilePhotos;

// Told when a NewProfilePhotos run ends: the friends' new profile pictures,
// their photos of the last day and of the whole period that drew comments
// or likes (both ranked), or three absent lists after a failure.
class NewProfilePhotosDelegate {
public:
    using Photos = std::optional<std::vector<std::shared_ptr<Photo>>>;

    virtual ~NewProfilePhotosDelegate() = default;
    virtual void gotProfilePhotosProfilePhotosFromOneDayFromOneWeek(
        const std::shared_ptr<NewProfilePhotos>& newProfilePhotos, const Photos& profilePhotos,
        const Photos& fromOneDay, const Photos& fromOneWeek) = 0;
};

}  // namespace clipora
