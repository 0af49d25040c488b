#pragma once

#include <memory>

#include "platform/foundation/Rect.h"
#include "platform/foundation/Size.h"
#include "platform/uikit/Image.h"

namespace clipora {

// Scales or crops an image to a target size while keeping its proportions
// (the video list's 57 x 57 thumbnails). Every operation answers null for a
// missing or empty image or an empty target, and always draws into an 8-bit
// RGBA raster of its own, whatever the source's pixel format.
class ProportionalFill {
public:
    enum Method : int {
        CropCentre = 0,  // crop to fill, centred
        CropStart = 1,   // crop to fill, keeping the top or left
        CropEnd = 2,     // crop to fill, keeping the bottom or right
        Scale = 3,       // scale to fit without cropping
    };

    ProportionalFill() = delete;

    static std::shared_ptr<platform::Image> imageToFitSizeMethod(const std::shared_ptr<platform::Image>& image,
                                                                 platform::Size targetSize, Method method);
    static std::shared_ptr<platform::Image> imageCroppedToFitSize(const std::shared_ptr<platform::Image>& image,
                                                                  platform::Size size) {
        return imageToFitSizeMethod(image, size, CropCentre);
    }
    static std::shared_ptr<platform::Image> imageScaledToFitSize(const std::shared_ptr<platform::Image>& image,
                                                                 platform::Size size) {
        return imageToFitSizeMethod(image, size, Scale);
    }
    // As imageToFitSizeMethod with the rectangle's size, except that the
    // crops (methods 0-2) start at the rectangle's origin in the scaled image.
    static std::shared_ptr<platform::Image> imageCroppedToRectMethod(const std::shared_ptr<platform::Image>& image,
                                                                     platform::Rect rect, Method method);
    // The part of the bitmap inside `rect` (pixels), with the image's
    // orientation.
    static std::shared_ptr<platform::Image> imageCroppedToRect(const std::shared_ptr<platform::Image>& image,
                                                               platform::Rect rect);

private:
    static std::shared_ptr<platform::Image> fit(const std::shared_ptr<platform::Image>& image, platform::Size target,
                                                Method method, const platform::Point* offset);
};

}  // namespace clipora
