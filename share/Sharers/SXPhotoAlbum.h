#pragma once

#include "share/Core/SXStrings.h"
#include "share/Sharers/SXLocalAction.h"

namespace clipora {

// Saves the picture to the photo album.
class SXPhotoAlbum : public SXLocalAction {
public:
    std::string sharerTitle() const override { return localizedShareString("Save to Photo Album"); }
    std::string sharerId() const override { return "SXPhotoAlbum"; }
    bool canShareImage() const override { return true; }
    bool send() override;
};

}  // namespace clipora
