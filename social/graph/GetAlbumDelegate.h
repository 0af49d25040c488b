#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "social/graph/Album.h"

namespace clipora {

class GetAlbum;

// Told once per GetAlbum run: the albums with their covers, most recently
// changed first, or absent after a failure (read the operation's success and
// error).
class GetAlbumDelegate {
public:
    virtual ~GetAlbumDelegate() = default;
    virtual void gotAlbumsResult(const std::shared_ptr<GetAlbum>& getAlbum,
                                 const std::optional<std::vector<std::shared_ptr<Album>>>& albums) = 0;
};

}  // namespace clipora
