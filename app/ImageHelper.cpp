#include "app/ImageHelper.h"

#include <algorithm>
#include <numbers>

#include "platform/uikit/Bitmap.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/ImageView.h"

namespace clipora {

using namespace platform;

namespace {

using Orientation = Image::Orientation;

bool isEmpty(const std::shared_ptr<Image>& image) {
    if (!image || !image->bitmap()) return true;
    const Size size = image->size();
    return !(size.width > 0) || !(size.height > 0);
}

bool isEmpty(Size size) { return !(size.width >= 1) || !(size.height >= 1); }

// A bitmap context in the one format every drawing here uses: 8-bit RGBA,
// premultiplied, its stride chosen by the library. The source's own layout
// never decides the raster's.
std::shared_ptr<GraphicsContext> rgbaContext(float width, float height) {
    if (!(width >= 1) || !(height >= 1)) return nullptr;
    return GraphicsContext::makeBitmapContext(static_cast<int>(width), static_cast<int>(height), 8, 0,
                                              Bitmap::ColorSpace::RGB, Bitmap::AlphaInfo::PremultipliedLast);
}

std::shared_ptr<GraphicsContext> greyContext(const Image& image) {
    return GraphicsContext::makeBitmapContext(static_cast<int>(image.size().width),
                                              static_cast<int>(image.size().height), 8, 0, Bitmap::ColorSpace::Gray,
                                              Bitmap::AlphaInfo::None);
}

// Runs `draw` in a new image context of `size` (one pixel per point) and
// answers what it drew.
template <class Draw>
std::shared_ptr<Image> inImageContext(Size size, Draw&& draw) {
    if (isEmpty(size)) return nullptr;
    GraphicsContext::beginImageContextWithOptions(size, false, 1);
    std::shared_ptr<Image> result;
    if (auto context = GraphicsContext::current()) {
        draw(*context);
        result = GraphicsContext::imageFromCurrentImageContext();
    }
    GraphicsContext::endImageContext();
    return result;
}

void renderView(GraphicsContext& context, const View& view) {
    if (view.isHidden()) return;
    const Rect bounds(0, 0, view.bounds().size.width, view.bounds().size.height);
    if (const auto& colour = view.backgroundColor()) {
        context.setFillColor(*colour);
        context.fillRect(bounds);
    }
    if (const auto* imageView = dynamic_cast<const ImageView*>(&view); imageView && imageView->image())
        imageView->image()->drawInRect(bounds);
    for (const auto& subview : view.subviews()) {
        if (!subview) continue;
        context.saveGState();
        const Rect frame = subview->frame();
        context.translateCTM(frame.origin.x, frame.origin.y);
        context.clipToRect(Rect(0, 0, frame.size.width, frame.size.height));
        renderView(context, *subview);
        context.restoreGState();
    }
}

Size viewSize(const std::shared_ptr<View>& view) { return view ? view->frame().size : Size{}; }

}  // namespace

std::shared_ptr<Image> ImageHelper::imageFromViewCustomSize(const std::shared_ptr<View>& view, Size size) {
    if (!view) return nullptr;
    return inImageContext(size, [&](GraphicsContext& context) { renderView(context, *view); });
}

std::shared_ptr<Image> ImageHelper::imageFromView(const std::shared_ptr<View>& view) {
    return imageFromViewCustomSize(view, viewSize(view));
}

std::shared_ptr<Image> ImageHelper::transformWidthWidthHeightRotate(const std::shared_ptr<Image>& image, float width,
                                                                    float height, bool rotate) {
    if (isEmpty(image)) return nullptr;
    const Orientation orientation = image->imageOrientation();
    const bool sideways = rotate && (orientation == Orientation::Left || orientation == Orientation::Right);
    const float dw = sideways ? height : width;
    const float dh = sideways ? width : height;
    auto context = rgbaContext(width, height);
    if (!context) return nullptr;
    if (rotate) {
        const float pi = std::numbers::pi_v<float>;
        if (orientation == Orientation::Down) {
            context->translateCTM(dw, dh);
            context->rotateCTM(pi);
        } else if (orientation == Orientation::Left) {
            context->translateCTM(dh, 0);
            context->rotateCTM(pi / 2);
        } else if (orientation == Orientation::Right) {
            context->translateCTM(0, dw);
            context->rotateCTM(-pi / 2);
        }
    }
    context->drawImage(Rect(0, 0, dw, dh), *image->bitmap());
    return context->makeImage();
}

std::shared_ptr<Image> ImageHelper::scaleAndRotateImageMaxSize(const std::shared_ptr<Image>& image, int maximum) {
    if (isEmpty(image)) return nullptr;
    const float w = image->size().width;
    const float h = image->size().height;
    const float m = static_cast<float>(maximum);
    if (m > h && m > w) return image;
    float newWidth;
    float newHeight;
    if (h <= w) {
        newWidth = m;
        newHeight = m * h / w;
    } else {
        newWidth = m * w / h;
        newHeight = m;
    }
    return transformWidthWidthHeightRotate(image, static_cast<float>(static_cast<int>(newWidth)),
                                           static_cast<float>(static_cast<int>(newHeight)), true);
}

Rect ImageHelper::fillSizeInSize(Size size, Size target) {
    if (!(size.width > 0) || !(size.height > 0)) return Rect(target.width / 2, target.height / 2, 0, 0);
    const float s = std::max(target.width / size.width, target.height / size.height);
    const float w = size.width * s;
    const float h = size.height * s;
    return Rect((target.width - w) / 2, (target.height - h) / 2, w, h);
}

Size ImageHelper::fitSizeInSize(Size size, Size target) {
    float w = size.width;
    float h = size.height;
    if (h != 0 && h > target.height) {
        w *= target.height / h;
        h = target.height;
    }
    if (w != 0 && w >= target.width) {
        h *= target.width / w;
        w = target.width;
    }
    return Size{w, h};
}

std::shared_ptr<Image> ImageHelper::doUnrotateImage(const std::shared_ptr<Image>& image) {
    if (isEmpty(image)) return nullptr;
    // Orientation-aware drawing already turns and mirrors the stored pixels
    // upright; turning the context as well would turn the picture twice.
    // The canvas is the picture's upright size (width and height swapped
    // for the four sideways orientations).
    const Size canvas = image->size();
    return inImageContext(canvas,
                          [&](GraphicsContext&) { image->drawInRect(Rect(0, 0, canvas.width, canvas.height)); });
}

std::shared_ptr<Image> ImageHelper::unrotateImage(const std::shared_ptr<Image>& image) {
    if (image && image->imageOrientation() == Orientation::Up) return image;
    return doUnrotateImage(image);
}

std::shared_ptr<Image> ImageHelper::imageFitInSize(const std::shared_ptr<Image>& image, Size size) {
    if (isEmpty(image)) return nullptr;
    const Size fitted = fitSizeInSize(image->size(), size);
    return inImageContext(size, [&](GraphicsContext&) {
        image->drawInRect(
            Rect((size.width - fitted.width) / 2, (size.height - fitted.height) / 2, fitted.width, fitted.height));
    });
}

std::shared_ptr<Image> ImageHelper::imageFitInView(const std::shared_ptr<Image>& image,
                                                   const std::shared_ptr<View>& view) {
    return imageFitInSize(image, viewSize(view));
}

std::shared_ptr<Image> ImageHelper::imageCenterInSize(const std::shared_ptr<Image>& image, Size size) {
    if (isEmpty(image)) return nullptr;
    const Size own = image->size();
    return inImageContext(size, [&](GraphicsContext&) {
        image->drawInRect(Rect((size.width - own.width) / 2, (size.height - own.height) / 2, own.width, own.height));
    });
}

std::shared_ptr<Image> ImageHelper::imageCenterInView(const std::shared_ptr<Image>& image,
                                                      const std::shared_ptr<View>& view) {
    return imageCenterInSize(image, viewSize(view));
}

std::shared_ptr<Image> ImageHelper::imageFillSize(const std::shared_ptr<Image>& image, Size size) {
    if (isEmpty(image)) return nullptr;
    auto context = rgbaContext(size.width, size.height);
    if (!context) return nullptr;
    context->drawImage(fillSizeInSize(image->size(), size), *image->bitmap());
    return context->makeImage();
}

std::shared_ptr<Image> ImageHelper::imageFillView(const std::shared_ptr<Image>& image,
                                                  const std::shared_ptr<View>& view) {
    return imageFillSize(image, viewSize(view));
}

std::shared_ptr<Image> ImageHelper::grayscaleImage(const std::shared_ptr<Image>& image) {
    if (isEmpty(image)) return nullptr;
    auto context = greyContext(*image);
    if (!context) return nullptr;
    context->drawImage(Rect(0, 0, image->size().width, image->size().height), *image->bitmap());
    return context->makeImage();
}

std::shared_ptr<Image> ImageHelper::frameImageWithMask(const std::shared_ptr<Image>& image,
                                                       const std::shared_ptr<Image>& mask) {
    if (isEmpty(image) || isEmpty(mask)) return nullptr;
    const Size maskSize = mask->size();
    auto greyMask = greyContext(*mask);
    if (!greyMask) return nullptr;
    greyMask->scaleCTM(1, -1);
    greyMask->translateCTM(0, -maskSize.height);
    greyMask->drawImage(Rect(0, 0, maskSize.width, maskSize.height), *mask->bitmap());
    auto maskBitmap = greyMask->makeBitmap();
    return inImageContext(maskSize, [&](GraphicsContext& context) {
        context.clipToMask(Rect(0, 0, maskSize.width, maskSize.height), *maskBitmap);
        image->drawInRect(fillSizeInSize(image->size(), maskSize));
    });
}

std::shared_ptr<Image> ImageHelper::imageByCroppingToRect(const std::shared_ptr<Image>& image, Rect rect) {
    if (isEmpty(image)) return nullptr;
    const Size size = rect.size;
    const float w = image->size().width;
    const float h = image->size().height;
    return inImageContext(size, [&](GraphicsContext& context) {
        context.clipToRect(Rect(0, 0, size.width, size.height));
        // The low-level call puts a picture's top row at the rectangle's
        // maximum-y edge; flipping the axis first keeps the crop upright.
        context.translateCTM(0, size.height);
        context.scaleCTM(1, -1);
        context.drawImage(Rect(-rect.origin.x, size.height + rect.origin.y - h, w, h), *image->bitmap());
    });
}

}  // namespace clipora
