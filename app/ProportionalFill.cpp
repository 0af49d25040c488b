#include "app/ProportionalFill.h"

#include <cmath>

#include "platform/uikit/Bitmap.h"
#include "platform/uikit/GraphicsContext.h"

namespace clipora {

using namespace platform;

namespace {

double roundHalfAway(double value) { return std::round(value); }

bool isEmpty(const std::shared_ptr<Image>& image) {
    if (!image || !image->bitmap()) return true;
    const Size size = image->size();
    return !(size.width > 0) || !(size.height > 0) || image->bitmap()->width() <= 0 || image->bitmap()->height() <= 0;
}

// The cut-out of the bitmap as an image with the source's orientation.
std::shared_ptr<Image> cutOut(const std::shared_ptr<Image>& image, Rect pixels) {
    auto cropped = image->bitmap()->croppedToRect(pixels);
    if (!cropped) return nullptr;
    return Image::imageWithBitmap(cropped, 1, image->imageOrientation());
}

}  // namespace

std::shared_ptr<Image> ProportionalFill::imageToFitSizeMethod(const std::shared_ptr<Image>& image, Size targetSize,
                                                              Method method) {
    return fit(image, targetSize, method, nullptr);
}

std::shared_ptr<Image> ProportionalFill::imageCroppedToRectMethod(const std::shared_ptr<Image>& image, Rect rect,
                                                                  Method method) {
    return fit(image, rect.size, method, &rect.origin);
}

std::shared_ptr<Image> ProportionalFill::imageCroppedToRect(const std::shared_ptr<Image>& image, Rect rect) {
    if (isEmpty(image)) return nullptr;
    return cutOut(image, rect);
}

std::shared_ptr<Image> ProportionalFill::fit(const std::shared_ptr<Image>& image, Size target, Method method,
                                             const Point* offset) {
    if (isEmpty(image)) return nullptr;
    const double tw = target.width;
    const double th = target.height;
    if (!(tw >= 1) || !(th >= 1)) return nullptr;

    const double s = image->scale() > 0 ? image->scale() : 1.0;
    const double sw = image->size().width * s;
    const double sh = image->size().height * s;
    const double ratio = sw / sh;
    const bool cropping = method != Scale;
    const bool scaleWidth = cropping ? (ratio <= tw / th) : !(ratio <= tw / th);

    double scaledWidth;
    double scaledHeight;
    if (scaleWidth) {
        scaledWidth = tw;
        scaledHeight = roundHalfAway(tw / ratio);
    } else {
        scaledWidth = roundHalfAway(th * ratio);
        scaledHeight = th;
    }
    if (!(scaledWidth >= 1) || !(scaledHeight >= 1)) return nullptr;
    const double factor = scaledHeight / sh;

    Rect source;
    Rect destination;
    if (!cropping) {
        source = Rect(0, 0, static_cast<float>(sw), static_cast<float>(sh));
        destination = Rect(0, 0, static_cast<float>(scaledWidth), static_cast<float>(scaledHeight));
    } else {
        double x = 0;
        double y = 0;
        if (offset) {
            x = offset->x;
            y = offset->y;
        } else if (method == CropCentre) {
            x = roundHalfAway((scaledWidth - tw) / 2);
            y = roundHalfAway((scaledHeight - th) / 2);
        } else if (method == CropStart) {
            y = scaleWidth ? 0 : roundHalfAway((scaledHeight - th) / 2);
        } else if (scaleWidth) {
            x = roundHalfAway((scaledWidth - tw) / 2);
            y = roundHalfAway(scaledHeight - th);
        } else {
            x = roundHalfAway(scaledWidth - tw);
            y = roundHalfAway((scaledHeight - th) / 2);
        }
        destination = Rect(0, 0, static_cast<float>(tw), static_cast<float>(th));
        source = Rect(static_cast<float>(x / factor), static_cast<float>(y / factor), static_cast<float>(tw / factor),
                      static_cast<float>(th / factor));
    }

    auto piece = cutOut(image, source);
    if (!piece) return nullptr;
    GraphicsContext::beginImageContextWithOptions(destination.size, false, 0);
    piece->drawInRect(destination);
    auto result = GraphicsContext::imageFromCurrentImageContext();
    GraphicsContext::endImageContext();
    if (result) return result;

    // No image context: scale the upright pixels ourselves into a fresh
    // RGBA raster of the destination's size.
    auto upright = piece->uprightBitmap();
    if (!upright) return nullptr;
    auto scaled =
        upright->scaledToSize(static_cast<int>(destination.size.width), static_cast<int>(destination.size.height));
    return scaled ? Image::imageWithBitmap(scaled, 1) : nullptr;
}

}  // namespace clipora
