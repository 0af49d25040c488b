#pragma once

#include <memory>

#include "platform/foundation/Rect.h"
#include "platform/foundation/Size.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/View.h"

namespace clipora {

// Sizing, placing, cropping, masking, turning and greying of images, on the
// platform's 2-D graphics. Everything runs on the caller's thread with one
// context per call, so the operations may run off the main thread.
//
// Every operation that makes an image answers null for a missing or empty
// source or an empty target, and draws into an 8-bit RGBA raster of its own
// (the library chooses its stride), whatever the source's pixel format.
class ImageHelper {
public:
    ImageHelper() = delete;

    // The view (background colours, pictures of image views, subviews in
    // order) drawn into an image of `size`.
    static std::shared_ptr<platform::Image> imageFromViewCustomSize(const std::shared_ptr<platform::View>& view,
                                                                    platform::Size size);
    static std::shared_ptr<platform::Image> imageFromView(const std::shared_ptr<platform::View>& view);

    // Redrawn at width x height; with `rotate`, turned upright for the
    // down, left and right orientations.
    static std::shared_ptr<platform::Image> transformWidthWidthHeightRotate(
        const std::shared_ptr<platform::Image>& image, float width, float height, bool rotate);
    // Scaled to fit `maximum` on its longer side (never enlarged: an image
    // already inside comes back as it is).
    static std::shared_ptr<platform::Image> scaleAndRotateImageMaxSize(const std::shared_ptr<platform::Image>& image,
                                                                       int maximum);

    // `size` scaled to cover `target`, centred. An empty `size` gives an
    // empty rectangle at the target's centre.
    static platform::Rect fillSizeInSize(platform::Size size, platform::Size target);
    // `size` scaled down to fit inside `target` (never enlarged).
    static platform::Size fitSizeInSize(platform::Size size, platform::Size target);

    static std::shared_ptr<platform::Image> doUnrotateImage(const std::shared_ptr<platform::Image>& image);
    // The very same image when it is upright.
    static std::shared_ptr<platform::Image> unrotateImage(const std::shared_ptr<platform::Image>& image);

    static std::shared_ptr<platform::Image> imageFitInSize(const std::shared_ptr<platform::Image>& image,
                                                           platform::Size size);
    static std::shared_ptr<platform::Image> imageFitInView(const std::shared_ptr<platform::Image>& image,
                                                           const std::shared_ptr<platform::View>& view);
    static std::shared_ptr<platform::Image> imageCenterInSize(const std::shared_ptr<platform::Image>& image,
                                                              platform::Size size);
    static std::shared_ptr<platform::Image> imageCenterInView(const std::shared_ptr<platform::Image>& image,
                                                              const std::shared_ptr<platform::View>& view);
    // The target covered by the scaled image, centred; what lies outside is
    // cut off.
    static std::shared_ptr<platform::Image> imageFillSize(const std::shared_ptr<platform::Image>& image,
                                                          platform::Size size);
    static std::shared_ptr<platform::Image> imageFillView(const std::shared_ptr<platform::Image>& image,
                                                          const std::shared_ptr<platform::View>& view);

    // A grey copy without transparency.
    static std::shared_ptr<platform::Image> grayscaleImage(const std::shared_ptr<platform::Image>& image);
    // The image filling the mask's size, shown where the mask is light.
    static std::shared_ptr<platform::Image> frameImageWithMask(const std::shared_ptr<platform::Image>& image,
                                                               const std::shared_ptr<platform::Image>& mask);
    // The part of the image under `rect` (points, origin top-left), upright.
    static std::shared_ptr<platform::Image> imageByCroppingToRect(const std::shared_ptr<platform::Image>& image,
                                                                  platform::Rect rect);
};

}  // namespace clipora
