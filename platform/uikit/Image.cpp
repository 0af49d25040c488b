#include "platform/uikit/Image.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/CodingRegistry.h"
#include "platform/foundation/InvalidArgumentException.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/Screen.h"

namespace clipora::platform {

namespace {

// Maps the stored pixels' unit square (u right, v down) to the displayed
// picture's unit square.
AffineTransform orientationTransform(Image::Orientation o) {
    switch (o) {
    case Image::Orientation::Up: return {1, 0, 0, 1, 0, 0};
    case Image::Orientation::Down: return {-1, 0, 0, -1, 1, 1};
    case Image::Orientation::Left: return {0, -1, 1, 0, 0, 1};
    case Image::Orientation::Right: return {0, 1, -1, 0, 1, 0};
    case Image::Orientation::UpMirrored: return {-1, 0, 0, 1, 1, 0};
    case Image::Orientation::DownMirrored: return {1, 0, 0, -1, 0, 1};
    case Image::Orientation::LeftMirrored: return {0, 1, 1, 0, 0, 0};
    case Image::Orientation::RightMirrored: return {0, -1, -1, 0, 1, 1};
    }
    return {};
}

bool swapsSides(Image::Orientation o) {
    return o == Image::Orientation::Left || o == Image::Orientation::Right || o == Image::Orientation::LeftMirrored ||
           o == Image::Orientation::RightMirrored;
}

Image::Orientation fromExif(int exif) {
    switch (exif) {
    case 2: return Image::Orientation::UpMirrored;
    case 3: return Image::Orientation::Down;
    case 4: return Image::Orientation::DownMirrored;
    case 5: return Image::Orientation::LeftMirrored;
    case 6: return Image::Orientation::Right;
    case 7: return Image::Orientation::RightMirrored;
    case 8: return Image::Orientation::Left;
    default: return Image::Orientation::Up;
    }
}

std::optional<Data> readFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    Data bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

struct NamedCache {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<Image>> images;
};

NamedCache& namedCache() {
    static NamedCache cache;
    return cache;
}

// Registered at start-up so that archives holding images read back wherever
// this class is linked in.
const bool gRegistered = [] {
    Image::registerCoding();
    return true;
}();

std::shared_ptr<Image> withScale(const std::shared_ptr<Image>& image, float scale) {
    if (!image) return nullptr;
    return Image::imageWithBitmap(image->bitmap(), scale, image->imageOrientation());
}

}  // namespace

// ---------------------------------------------------------------------------
// Making images

Image::Image(std::shared_ptr<const Bitmap> bitmap, float scale, Orientation orientation)
    : bitmap_(std::move(bitmap)), scale_(scale > 0 && std::isfinite(scale) ? scale : 1.0f), orientation_(orientation) {
    if (!bitmap_) throw InvalidArgumentException("An image needs a bitmap.");
}

std::shared_ptr<Image> Image::imageWithBitmap(std::shared_ptr<const Bitmap> bitmap, float scale,
                                              Orientation orientation) {
    if (!bitmap) return nullptr;
    return std::make_shared<Image>(std::move(bitmap), scale, orientation);
}

std::shared_ptr<Image> Image::imageWithData(const Data& data, float scale) {
    int exif = 1;
    auto bitmap = Bitmap::decode(data, &exif);
    if (!bitmap) return nullptr;
    return imageWithBitmap(std::move(bitmap), scale, fromExif(exif));
}

std::shared_ptr<Image> Image::imageWithContentsOfFile(const std::string& path) {
    auto bytes = readFile(path);
    if (!bytes) return nullptr;
    std::string stem = std::filesystem::path(path).stem().string();
    float scale = stem.size() > 3 && stem.compare(stem.size() - 3, 3, "@2x") == 0 ? 2.0f : 1.0f;
    return imageWithData(*bytes, scale);
}

std::shared_ptr<Image> Image::imageNamed(const std::string& name) {
    if (name.empty()) return nullptr;
    const float screenScale = Screen::mainScreen()->scale();
    std::filesystem::path relative(name);
    std::string extension = relative.extension().string();
    std::string type = extension.empty() ? "png" : extension.substr(1);
    std::filesystem::path base = relative.parent_path() / relative.stem();
    auto bundle = Bundle::mainBundle();
    const std::string key = bundle->bundlePath() + "|" + base.string() + "." + type + "|" + std::to_string(screenScale);
    {
        std::lock_guard lock(namedCache().mutex);
        auto it = namedCache().images.find(key);
        if (it != namedCache().images.end()) return it->second;
    }
    std::shared_ptr<Image> image;
    if (screenScale >= 2) {
        auto path = bundle->pathForResource(base.string() + "@2x", type);
        if (path) image = withScale(imageWithContentsOfFile(*path), 2);
    }
    if (!image) {
        auto path = bundle->pathForResource(base.string(), type);
        if (path) image = imageWithContentsOfFile(*path);  // "x@2x.png" asked by name keeps scale 2
    }
    if (image) {
        std::lock_guard lock(namedCache().mutex);
        namedCache().images[key] = image;
    }
    return image;
}

void Image::clearNamedImageCache() {
    std::lock_guard lock(namedCache().mutex);
    namedCache().images.clear();
}

// ---------------------------------------------------------------------------
// Properties and caps

Size Image::size() const {
    float w = bitmap_->width() / scale_;
    float h = bitmap_->height() / scale_;
    return swapsSides(orientation_) ? Size{h, w} : Size{w, h};
}

std::shared_ptr<Image> Image::stretchableImageWithLeftCapWidthTopCapHeight(int leftCapWidth, int topCapHeight) const {
    auto copy = std::make_shared<Image>(*this);
    Size s = size();
    copy->leftCap_ = std::max(0, leftCapWidth);
    copy->topCap_ = std::max(0, topCapHeight);
    // A cap of n keeps n points on that side, stretches the next one and
    // keeps the rest on the far side; 0 stretches the whole direction.
    EdgeInsets insets;
    if (copy->leftCap_ > 0) {
        insets.left = static_cast<float>(copy->leftCap_);
        insets.right = std::max(0.0f, s.width - insets.left - 1);
    }
    if (copy->topCap_ > 0) {
        insets.top = static_cast<float>(copy->topCap_);
        insets.bottom = std::max(0.0f, s.height - insets.top - 1);
    }
    copy->capInsets_ = insets;
    copy->resizable_ = copy->leftCap_ > 0 || copy->topCap_ > 0;
    return copy;
}

std::shared_ptr<Image> Image::resizableImageWithCapInsets(const EdgeInsets& insets) const {
    auto copy = std::make_shared<Image>(*this);
    auto clean = [](float v) { return std::isfinite(v) ? std::max(0.0f, v) : 0.0f; };
    copy->capInsets_ = {clean(insets.top), clean(insets.left), clean(insets.bottom), clean(insets.right)};
    copy->leftCap_ = static_cast<int>(copy->capInsets_.left);
    copy->topCap_ = static_cast<int>(copy->capInsets_.top);
    copy->resizable_ = true;
    return copy;
}

// ---------------------------------------------------------------------------
// Drawing

void Image::drawAtPoint(Point point) const {
    Size s = size();
    drawInRect(Rect(point.x, point.y, s.width, s.height), 1.0f);
}

void Image::drawInRect(const Rect& rect) const { drawInRect(rect, 1.0f); }

void Image::drawInRect(const Rect& rect, float alpha) const {
    if (resizable_ && capInsets_ != EdgeInsets::zero())
        drawSlices(rect, alpha);
    else
        drawPlain(rect, alpha);
}

void Image::drawPlain(const Rect& rect, float alpha) const {
    auto context = GraphicsContext::current();
    if (!context) return;
    Rect r = rect.standardized();
    AffineTransform displayToUser{r.width(), 0, 0, r.height(), r.minX(), r.minY()};
    AffineTransform unitToUser = orientationTransform(orientation_).concat(displayToUser);
    context->saveGState();
    context->setAlpha(context->alpha() * alpha);
    context->drawBitmapPart(
        *bitmap_, Rect(0, 0, static_cast<float>(bitmap_->width()), static_cast<float>(bitmap_->height())), unitToUser);
    context->restoreGState();
}

void Image::drawSlices(const Rect& rect, float alpha) const {
    auto context = GraphicsContext::current();
    if (!context) return;
    auto upright = uprightBitmap();
    Rect r = rect.standardized();
    Size s = size();
    EdgeInsets in = capInsets_;
    // Caps wider than the target shrink in proportion so the corners meet.
    auto fit = [](float& a, float& b, float room) {
        if (a + b > room && a + b > 0) {
            float k = room / (a + b);
            a *= k;
            b *= k;
        }
    };
    EdgeInsets dst = in;
    fit(dst.left, dst.right, r.width());
    fit(dst.top, dst.bottom, r.height());
    float srcX[4] = {0, in.left, std::max(in.left, s.width - in.right), s.width};
    float srcY[4] = {0, in.top, std::max(in.top, s.height - in.bottom), s.height};
    float dstX[4] = {r.minX(), r.minX() + dst.left, std::max(r.minX() + dst.left, r.maxX() - dst.right), r.maxX()};
    float dstY[4] = {r.minY(), r.minY() + dst.top, std::max(r.minY() + dst.top, r.maxY() - dst.bottom), r.maxY()};
    context->saveGState();
    context->setAlpha(context->alpha() * alpha);
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            float sw = srcX[i + 1] - srcX[i], sh = srcY[j + 1] - srcY[j];
            float dw = dstX[i + 1] - dstX[i], dh = dstY[j + 1] - dstY[j];
            if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) continue;
            Rect part(srcX[i] * scale_, srcY[j] * scale_, sw * scale_, sh * scale_);
            context->drawBitmapPart(*upright, part, AffineTransform{dw, 0, 0, dh, dstX[i], dstY[j]});
        }
    }
    context->restoreGState();
}

std::shared_ptr<const Bitmap> Image::uprightBitmap() const {
    if (orientation_ == Orientation::Up) return bitmap_;
    bool swap = swapsSides(orientation_);
    int w = swap ? bitmap_->height() : bitmap_->width();
    int h = swap ? bitmap_->width() : bitmap_->height();
    auto out = std::make_shared<Bitmap>(w, h, bitmap_->colorSpace(), bitmap_->alphaInfo());
    // Every displayed pixel takes exactly one stored pixel: no resampling.
    AffineTransform toStored = *orientationTransform(orientation_).inverted();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Point u = toStored.apply(Point{(x + 0.5f) / w, (y + 0.5f) / h});
            int sx = std::clamp(static_cast<int>(std::floor(u.x * bitmap_->width())), 0, bitmap_->width() - 1);
            int sy = std::clamp(static_cast<int>(std::floor(u.y * bitmap_->height())), 0, bitmap_->height() - 1);
            out->setPixel(x, y, bitmap_->pixel(sx, sy));
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Encoding and identity

Data Image::pngRepresentation() const { return uprightBitmap()->pngData(); }

Data Image::jpegRepresentation(float quality) const { return uprightBitmap()->jpegData(quality); }

void Image::encodeWithCoder(KeyedArchiver& coder) const {
    coder.encodeObject(Value(pngRepresentation()), "PNGData");
    coder.encodeFloat(scale_, "scale");
    if (resizable_) {
        coder.encodeBool(true, "resizable");
        coder.encodeInt(leftCap_, "leftCapWidth");
        coder.encodeInt(topCap_, "topCapHeight");
        coder.encodeFloat(capInsets_.top, "capTop");
        coder.encodeFloat(capInsets_.left, "capLeft");
        coder.encodeFloat(capInsets_.bottom, "capBottom");
        coder.encodeFloat(capInsets_.right, "capRight");
    }
}

std::shared_ptr<Image> Image::initWithCoder(KeyedUnarchiver& coder) {
    auto png = coder.decodeData("PNGData");
    if (!png) return nullptr;
    auto image = imageWithData(*png, coder.decodeFloat("scale"));
    if (!image) return nullptr;
    if (coder.decodeBool("resizable")) {
        image->resizable_ = true;
        image->leftCap_ = std::max(0, coder.decodeInt("leftCapWidth"));
        image->topCap_ = std::max(0, coder.decodeInt("topCapHeight"));
        auto clean = [](float v) { return std::isfinite(v) ? std::max(0.0f, v) : 0.0f; };
        image->capInsets_ = {clean(coder.decodeFloat("capTop")), clean(coder.decodeFloat("capLeft")),
                             clean(coder.decodeFloat("capBottom")), clean(coder.decodeFloat("capRight"))};
    }
    return image;
}

void Image::registerCoding() { CodingRegistry::registerClass<Image>(kClassName); }

std::string Image::description() const {
    Size s = size();
    std::ostringstream out;
    out << "<Image " << s.width << "x" << s.height << " @" << scale_ << "x>";
    return out.str();
}

bool Image::isEqual(const Object& other) const {
    auto* o = dynamic_cast<const Image*>(&other);
    if (!o) return false;
    if (o == this) return true;
    if (scale_ != o->scale_ || orientation_ != o->orientation_ || capInsets_ != o->capInsets_ ||
        resizable_ != o->resizable_ || leftCap_ != o->leftCap_ || topCap_ != o->topCap_) {
        return false;
    }
    const Bitmap& a = *bitmap_;
    const Bitmap& b = *o->bitmap_;
    if (&a == &b) return true;
    if (a.width() != b.width() || a.height() != b.height()) return false;
    return std::equal(a.data(), a.data() + a.bytesPerRow() * a.height(), b.data());
}

}  // namespace clipora::platform
