#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/foundation/Rect.h"
#include "platform/foundation/Value.h"

namespace clipora::platform {

// A raster of pixels: the "graphics image" under an Image and the surface a
// GraphicsContext draws on. Storage is always 8 bits per component, four
// components per pixel in the order red, green, blue, alpha, NOT premultiplied,
// rows packed top row first (row 0 is the top of the picture). The colour space
// and alpha info describe how the pixels are meant: a grey bitmap keeps
// red = green = blue, a bitmap without alpha keeps alpha at 255.
//
// A Bitmap wrapped by an Image is never changed again (images share it as
// std::shared_ptr<const Bitmap>); contexts hand out copies.
class Bitmap {
public:
    enum class ColorSpace { RGB, Gray };
    // The platform's alpha-info values.
    enum class AlphaInfo {
        None = 0,
        PremultipliedLast = 1,
        PremultipliedFirst = 2,
        Last = 3,
        First = 4,
        NoneSkipLast = 5,
        NoneSkipFirst = 6,
        Only = 7,
    };

    struct Pixel {
        std::uint8_t r = 0, g = 0, b = 0, a = 0;
        friend bool operator==(const Pixel&, const Pixel&) = default;
    };

    // Largest width or height accepted, and largest pixel count, for decoding
    // and for new rasters: protects against absurd sizes in foreign files.
    static constexpr int kMaxDimension = 16384;
    static constexpr std::size_t kMaxPixels = std::size_t{64} * 1024 * 1024;

    // A width x height raster cleared to transparent black (opaque black when
    // the alpha info says there is no alpha). Throws InvalidArgumentException
    // for a size that is not positive or exceeds the limits.
    Bitmap(int width, int height, ColorSpace space = ColorSpace::RGB, AlphaInfo alpha = AlphaInfo::PremultipliedLast);
    static std::shared_ptr<Bitmap> make(int width, int height, ColorSpace space = ColorSpace::RGB,
                                        AlphaInfo alpha = AlphaInfo::PremultipliedLast);

    // Decodes PNG or JPEG bytes. Null for other formats, damaged data or
    // oversized pictures. `exifOrientation` (optional) receives the JPEG's
    // EXIF orientation tag (1-8), 1 when there is none.
    static std::shared_ptr<Bitmap> decode(const Data& bytes, int* exifOrientation = nullptr);
    // Whether the bytes start like a PNG / JPEG file.
    static bool looksLikePNG(const Data& bytes);
    static bool looksLikeJPEG(const Data& bytes);

    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerComponent() const { return 8; }
    int bitsPerPixel() const { return 32; }
    std::size_t bytesPerRow() const { return static_cast<std::size_t>(width_) * 4; }
    ColorSpace colorSpace() const { return space_; }
    AlphaInfo alphaInfo() const { return alpha_; }
    // The platform's bitmap-info word: the alpha info (byte order default).
    std::uint32_t bitmapInfo() const { return static_cast<std::uint32_t>(alpha_); }
    bool hasAlpha() const;

    const std::uint8_t* data() const { return pixels_.data(); }
    std::uint8_t* mutableData() { return pixels_.data(); }
    // Pixel (x, y), y counted from the top row. Out of range: a zero pixel.
    Pixel pixel(int x, int y) const;
    // Writes a pixel, keeping the bitmap's colour space and alpha rules.
    void setPixel(int x, int y, Pixel p);
    void fill(Pixel p);

    // The part inside `rect` (pixel units, origin at the top-left corner),
    // made integral and cut to the bitmap. Null when nothing is left.
    std::shared_ptr<Bitmap> croppedToRect(const Rect& rect) const;
    // Resampled to width x height: area averaging when shrinking, bilinear
    // when enlarging, alpha-weighted. Null for a size that is not positive or
    // is over the limits.
    std::shared_ptr<Bitmap> scaledToSize(int width, int height) const;
    // The same pixels flipped top to bottom.
    std::shared_ptr<Bitmap> flippedVertically() const;
    std::shared_ptr<Bitmap> copy() const;

    // Encodings of the pixels (an opaque bitmap is written without alpha).
    // Empty on failure. JPEG quality runs from 0 to 1 (clamped; 0 still gives
    // the lowest usable quality).
    Data pngData() const;
    Data jpegData(float quality) const;

private:
    int width_;
    int height_;
    ColorSpace space_;
    AlphaInfo alpha_;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace clipora::platform
