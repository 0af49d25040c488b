#pragma once

#include <memory>

namespace clipora {

class TagPhoto;

// Told when a TagPhoto run ends (read the operation's success and error).
class TagPhotoDelegate {
public:
    virtual ~TagPhotoDelegate() = default;
    virtual void finishTaggingPhoto(const std::shared_ptr<TagPhoto>& tagPhoto) = 0;
};

}  // namespace clipora
