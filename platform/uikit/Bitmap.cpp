#include "platform/uikit/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/foundation/InvalidArgumentException.h"

// The only translation unit that compiles the image codecs. Their symbols stay
// private to it, so a system copy of the same library linked elsewhere cannot
// clash with them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#pragma GCC diagnostic ignored "-Wshadow"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#define STB_IMAGE_RESIZE_STATIC
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>
#pragma GCC diagnostic pop

namespace clipora::platform {

namespace {

bool alphaInfoHasAlpha(Bitmap::AlphaInfo a) {
    switch (a) {
    case Bitmap::AlphaInfo::None:
    case Bitmap::AlphaInfo::NoneSkipLast:
    case Bitmap::AlphaInfo::NoneSkipFirst: return false;
    default: return true;
    }
}

void checkSize(int width, int height) {
    if (width <= 0 || height <= 0 || width > Bitmap::kMaxDimension || height > Bitmap::kMaxDimension ||
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > Bitmap::kMaxPixels) {
        throw InvalidArgumentException("bitmap size out of range: " + std::to_string(width) + " x " +
                                       std::to_string(height));
    }
}

std::uint8_t luminance(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    double l = 0.299 * r + 0.587 * g + 0.114 * b;
    return static_cast<std::uint8_t>(std::clamp(std::lround(l), 0L, 255L));
}

// Reads the orientation tag (0x0112) of a JPEG's EXIF block; 1 when absent or
// unreadable. Every offset is checked against the segment's bounds.
int readExifOrientation(const Data& d) {
    std::size_t pos = 2;  // after SOI
    while (pos + 4 <= d.size()) {
        if (d[pos] != 0xFF) return 1;
        std::uint8_t marker = d[pos + 1];
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return 1;  // image data starts: no EXIF before it
        std::size_t len = (static_cast<std::size_t>(d[pos + 2]) << 8) | d[pos + 3];
        if (len < 2 || pos + 2 + len > d.size()) return 1;
        std::size_t seg = pos + 4;
        std::size_t segEnd = pos + 2 + len;
        if (marker == 0xE1 && segEnd - seg >= 14 && std::memcmp(&d[seg], "Exif\0\0", 6) == 0) {
            std::size_t tiff = seg + 6;
            bool little;
            if (d[tiff] == 'I' && d[tiff + 1] == 'I')
                little = true;
            else if (d[tiff] == 'M' && d[tiff + 1] == 'M')
                little = false;
            else
                return 1;
            auto u16 = [&](std::size_t at) -> std::optional<unsigned> {
                if (at + 2 > segEnd) return std::nullopt;
                return little ? unsigned(d[at]) | unsigned(d[at + 1]) << 8 : unsigned(d[at]) << 8 | unsigned(d[at + 1]);
            };
            auto u32 = [&](std::size_t at) -> std::optional<std::uint32_t> {
                if (at + 4 > segEnd) return std::nullopt;
                std::uint32_t v = 0;
                for (int i = 0; i < 4; ++i) {
                    std::uint32_t byte = d[at + (little ? 3 - i : i)];
                    v = (v << 8) | byte;
                }
                return v;
            };
            auto ifdOffset = u32(tiff + 4);
            if (!ifdOffset) return 1;
            std::size_t ifd = tiff + *ifdOffset;
            auto count = u16(ifd);
            if (!count) return 1;
            for (unsigned i = 0; i < *count; ++i) {
                std::size_t entry = ifd + 2 + std::size_t{i} * 12;
                auto tag = u16(entry);
                if (!tag) return 1;
                if (*tag == 0x0112) {
                    auto value = u16(entry + 8);
                    if (value && *value >= 1 && *value <= 8) return static_cast<int>(*value);
                    return 1;
                }
            }
            return 1;
        }
        pos = segEnd;
    }
    return 1;
}

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<Data*>(context);
    auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

Bitmap::Bitmap(int width, int height, ColorSpace space, AlphaInfo alpha)
    : width_(width), height_(height), space_(space), alpha_(alpha) {
    checkSize(width, height);
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
    if (!hasAlpha()) fill(Pixel{0, 0, 0, 255});
}

std::shared_ptr<Bitmap> Bitmap::make(int width, int height, ColorSpace space, AlphaInfo alpha) {
    return std::make_shared<Bitmap>(width, height, space, alpha);
}

bool Bitmap::hasAlpha() const { return alphaInfoHasAlpha(alpha_); }

bool Bitmap::looksLikePNG(const Data& b) {
    static const std::uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return b.size() >= 8 && std::memcmp(b.data(), sig, 8) == 0;
}

bool Bitmap::looksLikeJPEG(const Data& b) { return b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF; }

std::shared_ptr<Bitmap> Bitmap::decode(const Data& bytes, int* exifOrientation) {
    if (exifOrientation) *exifOrientation = 1;
    bool png = looksLikePNG(bytes);
    bool jpeg = looksLikeJPEG(bytes);
    if ((!png && !jpeg) || bytes.size() > static_cast<std::size_t>(INT32_MAX)) return nullptr;
    int len = static_cast<int>(bytes.size());
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(bytes.data(), len, &w, &h, &comp)) return nullptr;
    if (w <= 0 || h <= 0 || w > kMaxDimension || h > kMaxDimension ||
        static_cast<std::size_t>(w) * static_cast<std::size_t>(h) > kMaxPixels) {
        return nullptr;
    }
    stbi_uc* raw = stbi_load_from_memory(bytes.data(), len, &w, &h, &comp, 4);
    if (!raw) return nullptr;
    ColorSpace space = (comp == 1 || comp == 2) ? ColorSpace::Gray : ColorSpace::RGB;
    AlphaInfo alpha = (comp == 2 || comp == 4) ? AlphaInfo::Last : AlphaInfo::NoneSkipLast;
    auto bitmap = std::make_shared<Bitmap>(w, h, space, alpha);
    std::memcpy(bitmap->pixels_.data(), raw, bitmap->pixels_.size());
    stbi_image_free(raw);
    if (jpeg && exifOrientation) *exifOrientation = readExifOrientation(bytes);
    return bitmap;
}

Bitmap::Pixel Bitmap::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const std::uint8_t* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

void Bitmap::setPixel(int x, int y, Pixel px) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    if (space_ == ColorSpace::Gray) px.r = px.g = px.b = luminance(px.r, px.g, px.b);
    if (!hasAlpha()) px.a = 255;
    std::uint8_t* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
    p[0] = px.r;
    p[1] = px.g;
    p[2] = px.b;
    p[3] = px.a;
}

void Bitmap::fill(Pixel px) {
    if (space_ == ColorSpace::Gray) px.r = px.g = px.b = luminance(px.r, px.g, px.b);
    if (!hasAlpha()) px.a = 255;
    for (std::size_t i = 0; i < pixels_.size(); i += 4) {
        pixels_[i] = px.r;
        pixels_[i + 1] = px.g;
        pixels_[i + 2] = px.b;
        pixels_[i + 3] = px.a;
    }
}

std::shared_ptr<Bitmap> Bitmap::croppedToRect(const Rect& rect) const {
    Rect r = rect.standardized();
    if (!std::isfinite(r.origin.x) || !std::isfinite(r.origin.y) || !std::isfinite(r.size.width) ||
        !std::isfinite(r.size.height)) {
        return nullptr;
    }
    r = r.integral().intersection(Rect(0, 0, static_cast<float>(width_), static_cast<float>(height_)));
    if (r.isEmpty()) return nullptr;
    int x0 = static_cast<int>(r.minX());
    int y0 = static_cast<int>(r.minY());
    int w = static_cast<int>(r.width());
    int h = static_cast<int>(r.height());
    auto out = std::make_shared<Bitmap>(w, h, space_, alpha_);
    for (int y = 0; y < h; ++y) {
        std::memcpy(&out->pixels_[static_cast<std::size_t>(y) * w * 4],
                    &pixels_[(static_cast<std::size_t>(y0 + y) * width_ + x0) * 4], static_cast<std::size_t>(w) * 4);
    }
    return out;
}

std::shared_ptr<Bitmap> Bitmap::scaledToSize(int width, int height) const {
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension ||
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > kMaxPixels) {
        return nullptr;
    }
    if (width == width_ && height == height_) return copy();
    auto out = std::make_shared<Bitmap>(width, height, space_, alpha_);
    auto filterFor = [](int from, int to) { return to < from ? STBIR_FILTER_BOX : STBIR_FILTER_TRIANGLE; };
    int ok = stbir_resize(pixels_.data(), width_, height_, 0, out->pixels_.data(), width, height, 0, STBIR_TYPE_UINT8,
                          4, 3, 0, STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP, filterFor(width_, width),
                          filterFor(height_, height), STBIR_COLORSPACE_LINEAR, nullptr);
    if (!ok) return nullptr;
    return out;
}

std::shared_ptr<Bitmap> Bitmap::flippedVertically() const {
    auto out = std::make_shared<Bitmap>(width_, height_, space_, alpha_);
    std::size_t row = bytesPerRow();
    for (int y = 0; y < height_; ++y) {
        std::memcpy(&out->pixels_[static_cast<std::size_t>(height_ - 1 - y) * row],
                    &pixels_[static_cast<std::size_t>(y) * row], row);
    }
    return out;
}

std::shared_ptr<Bitmap> Bitmap::copy() const { return std::make_shared<Bitmap>(*this); }

Data Bitmap::pngData() const {
    Data out;
    int ok;
    if (hasAlpha()) {
        ok = stbi_write_png_to_func(appendBytes, &out, width_, height_, 4, pixels_.data(),
                                    static_cast<int>(bytesPerRow()));
    } else {
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width_) * height_ * 3);
        for (std::size_t i = 0, j = 0; i < pixels_.size(); i += 4, j += 3) {
            rgb[j] = pixels_[i];
            rgb[j + 1] = pixels_[i + 1];
            rgb[j + 2] = pixels_[i + 2];
        }
        ok = stbi_write_png_to_func(appendBytes, &out, width_, height_, 3, rgb.data(), width_ * 3);
    }
    if (!ok) out.clear();
    return out;
}

Data Bitmap::jpegData(float quality) const {
    // JPEG has no alpha: transparent areas come out as if drawn over black,
    // as the pixels' colour components already say for premultiplied readers.
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width_) * height_ * 3);
    for (std::size_t i = 0, j = 0; i < pixels_.size(); i += 4, j += 3) {
        unsigned a = hasAlpha() ? pixels_[i + 3] : 255;
        rgb[j] = static_cast<std::uint8_t>((pixels_[i] * a + 127) / 255);
        rgb[j + 1] = static_cast<std::uint8_t>((pixels_[i + 1] * a + 127) / 255);
        rgb[j + 2] = static_cast<std::uint8_t>((pixels_[i + 2] * a + 127) / 255);
    }
    if (!std::isfinite(quality)) quality = 1;
    int q = static_cast<int>(std::lround(std::clamp(quality, 0.0f, 1.0f) * 100));
    q = std::clamp(q, 1, 100);
    Data out;
    if (!stbi_write_jpg_to_func(appendBytes, &out, width_, height_, 3, rgb.data(), q)) out.clear();
    return out;
}

}  // namespace clipora::platform
