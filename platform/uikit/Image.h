#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Coding.h"
#include "platform/foundation/EdgeInsets.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Point.h"
#include "platform/foundation/Rect.h"
#include "platform/foundation/Size.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/Bitmap.h"

namespace clipora::platform {

// A picture with real pixels: an immutable Bitmap plus a scale (pixels per
// point) and an orientation that says how the stored pixels are turned for
// display. Decodes PNG and JPEG (a JPEG's EXIF orientation becomes the
// image's orientation), encodes PNG and JPEG, and draws into the current
// GraphicsContext. Stretchable and resizable images keep cap insets and draw
// as nine slices: corners at their size, edges and centre stretched.
class KeyedUnarchiver;

// Keyed archives hold an image as PNG data with its scale and caps (the
// orientation is drawn into the pixels).
class Image : public Object, public Coding, public std::enable_shared_from_this<Image> {
public:
    static constexpr const char* kClassName = "Image";

    // The platform's eight orientations. "Left" means the stored pixels show
    // the picture turned 90 degrees clockwise, so drawing turns them 90
    // degrees counter-clockwise; "Right" the other way; the mirrored ones
    // also flip left and right.
    enum class Orientation {
        Up = 0,
        Down = 1,
        Left = 2,
        Right = 3,
        UpMirrored = 4,
        DownMirrored = 5,
        LeftMirrored = 6,
        RightMirrored = 7,
    };

    // --- Making images ------------------------------------------------------
    // An image resource of the main bundle by file name ("top_bar.png",
    // "icon", "FBConnect.bundle/images/LoginNormal.png"). A name without an
    // extension means ".png". On a screen of scale 2 the "@2x" file is taken
    // when it exists (scale 2). Images are cached by name; null when absent
    // or undecodable.
    static std::shared_ptr<Image> imageNamed(const std::string& name);
    // Reads and decodes a file; a file name ending in "@2x" before its
    // extension gives scale 2. Null when unreadable or undecodable.
    static std::shared_ptr<Image> imageWithContentsOfFile(const std::string& path);
    // Decodes PNG or JPEG bytes; null for anything else.
    static std::shared_ptr<Image> imageWithData(const Data& data, float scale = 1);
    // Wraps a bitmap (the platform's image-from-graphics-image constructor).
    // A scale that is not positive means 1. Null for a null bitmap.
    static std::shared_ptr<Image> imageWithBitmap(std::shared_ptr<const Bitmap> bitmap, float scale = 1,
                                                  Orientation orientation = Orientation::Up);
    // Drops the cache of imageNamed() (tests; memory warnings).
    static void clearNamedImageCache();

    // Throws InvalidArgumentException for a null bitmap.
    Image(std::shared_ptr<const Bitmap> bitmap, float scale, Orientation orientation);

    // --- Properties -----------------------------------------------------------
    // Size in points: the bitmap's size divided by the scale, width and height
    // swapped for the four left/right orientations.
    Size size() const;
    float scale() const { return scale_; }
    Orientation imageOrientation() const { return orientation_; }
    // The underlying bitmap (bits per component, bytes per row, colour space
    // and bitmap info are the bitmap's).
    const std::shared_ptr<const Bitmap>& bitmap() const { return bitmap_; }

    // --- Caps -----------------------------------------------------------------
    // A copy that stretches only the column after `leftCapWidth` and the row
    // after `topCapHeight` (0 for either: that direction stretches whole).
    std::shared_ptr<Image> stretchableImageWithLeftCapWidthTopCapHeight(int leftCapWidth, int topCapHeight) const;
    // A copy that keeps the inset borders and stretches what lies between
    // them. Insets are in points.
    std::shared_ptr<Image> resizableImageWithCapInsets(const EdgeInsets& insets) const;
    int leftCapWidth() const { return leftCap_; }
    int topCapHeight() const { return topCap_; }
    const EdgeInsets& capInsets() const { return capInsets_; }
    bool isResizable() const { return resizable_; }

    // --- Drawing (into GraphicsContext::current(); nothing without one) -----
    // Orientation-aware: the picture's top lands at the rectangle's minimum-y
    // edge, upright in an image context.
    void drawInRect(const Rect& rect) const;
    void drawInRect(const Rect& rect, float alpha) const;
    void drawAtPoint(Point point) const;

    // --- Encoding -------------------------------------------------------------
    // The picture as PNG / JPEG (quality 0 to 1) bytes, drawn upright first
    // when the orientation is not Up, so that no reader loses the turn. Empty
    // on failure.
    Data pngRepresentation() const;
    Data jpegRepresentation(float quality) const;

    // The pixels turned upright (the bitmap itself for Up).
    std::shared_ptr<const Bitmap> uprightBitmap() const;

    // --- Archiving ---
    std::string classNameForCoder() const override { return kClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override;
    static std::shared_ptr<Image> initWithCoder(KeyedUnarchiver& coder);
    // Registers the class with the coding registry (also done at start-up).
    static void registerCoding();

    // "<Image WxH @Sx>".
    std::string description() const override;
    // Same pixels, scale, orientation and caps.
    bool isEqual(const Object& other) const override;

private:
    // Draws the whole picture (caps ignored) so that its displayed unit square
    // maps to `rect` in user space.
    void drawPlain(const Rect& rect, float alpha) const;
    void drawSlices(const Rect& rect, float alpha) const;

    std::shared_ptr<const Bitmap> bitmap_;
    float scale_;
    Orientation orientation_;
    int leftCap_ = 0;
    int topCap_ = 0;
    EdgeInsets capInsets_;
    bool resizable_ = false;
};

}  // namespace clipora::platform
