#include "share/Sharers/SXPhotoAlbum.h"

#include "platform/media/PhotoAlbum.h"

namespace clipora {

bool SXPhotoAlbum::send() {
    if (item()->shareType() == SXItem::SXShareTypeImage && item()->image()) {
        platform::PhotoAlbum::writeImageToSavedPhotosAlbum(item()->image());
    }
    finishWithMessage("Saved!");
    return true;
}

}  // namespace clipora
