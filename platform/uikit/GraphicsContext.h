#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/foundation/Point.h"
#include "platform/foundation/Rect.h"
#include "platform/foundation/Size.h"
#include "platform/uikit/AffineTransform.h"
#include "platform/uikit/Bitmap.h"
#include "platform/uikit/Color.h"

namespace clipora::platform {

class Image;

// A 2-D drawing surface over a Bitmap, with a current transform (CTM), a clip,
// fill and stroke colours, a line width, a global alpha and a path.
//
// Coordinate conventions (the two kinds of context differ on purpose, as the
// drawing code written for the platform expects):
//  - A bitmap context (makeBitmapContext) has its origin at the BOTTOM-left
//    corner, y growing upwards, one unit per pixel.
//  - An image context (beginImageContextWithOptions) has its origin at the
//    TOP-left corner, y growing downwards, one unit per point (= `scale`
//    pixels).
// Two ways to draw a picture:
//  - drawImage() is the low-level call: the bitmap's top row goes to the
//    rectangle's maximum-y edge, so the picture is upright in a bitmap context
//    and upside down in an image context unless the CTM is flipped first.
//  - Image::drawInRect() is orientation-aware and puts the picture's top at
//    the rectangle's minimum-y edge: upright in an image context.
// clipToMask() places its mask the way drawImage() places a picture.
//
// Edges are anti-aliased (4 x 4 samples per pixel); painting is "source over".
// A context is used by one thread at a time; the image-context stack is per
// thread.
class GraphicsContext : public std::enable_shared_from_this<GraphicsContext> {
public:
    // Gradient drawing options.
    static constexpr int kGradientDrawsBeforeStartLocation = 1;
    static constexpr int kGradientDrawsAfterEndLocation = 2;

    enum class FillRule { NonZero, EvenOdd };

    struct GradientStop {
        float location = 0;  // 0 to 1
        Color color;
    };
    // Colour stops in increasing location order.
    struct Gradient {
        std::vector<GradientStop> stops;
        static Gradient twoStops(const Color& start, const Color& end) { return {{{0, start}, {1, end}}}; }
    };

    // --- Bitmap contexts -------------------------------------------------
    // A width x height bitmap context (origin bottom-left). Null, as on the
    // platform, when the size is not positive or too large, when the bits per
    // component are not 8, or when bytesPerRow is neither 0 (chosen by the
    // library) nor at least width x the bytes of one pixel of the format
    // (1 for grey without alpha, 2 for grey with alpha, 4 for RGB).
    static std::shared_ptr<GraphicsContext> makeBitmapContext(int width, int height, int bitsPerComponent,
                                                              std::size_t bytesPerRow, Bitmap::ColorSpace space,
                                                              Bitmap::AlphaInfo alpha);

    // --- Image contexts (per-thread stack) -------------------------------
    // Pushes a new image context of `size` points (origin top-left). A scale of
    // 0 means the main screen's scale (Screen::mainScreen()). Not opaque: cleared to transparent;
    // opaque: opaque black, and its images carry no alpha. An empty or
    // invalid size pushes an empty entry: current() is then null and
    // imageFromCurrentImageContext() answers null until endImageContext().
    static void beginImageContext(Size size);
    static void beginImageContextWithOptions(Size size, bool opaque, float scale);
    // The picture drawn so far in the topmost image context, as an Image of
    // the context's scale; null when the top of the stack is not an image
    // context.
    static std::shared_ptr<Image> imageFromCurrentImageContext();
    // Pops the topmost image context (no effect when there is none).
    static void endImageContext();
    // The calling thread's current context (top of its stack), or null.
    static std::shared_ptr<GraphicsContext> current();
    // Makes any context current for drawing calls that use current(), until
    // popContext().
    static void pushContext(std::shared_ptr<GraphicsContext> context);
    static void popContext();

    // --- The surface ------------------------------------------------------
    int pixelWidth() const { return bitmap_.width(); }
    int pixelHeight() const { return bitmap_.height(); }
    float scale() const { return scale_; }
    // True for an image context (origin top-left).
    bool isImageContext() const { return topLeftOrigin_; }
    const Bitmap& bitmap() const { return bitmap_; }
    // A snapshot of the pixels (the context can go on drawing).
    std::shared_ptr<Bitmap> makeBitmap() const;
    // The snapshot as an Image of the context's scale, orientation up.
    std::shared_ptr<Image> makeImage() const;

    // --- State --------------------------------------------------------------
    void saveGState();
    void restoreGState();  // no effect without a matching save

    // User space to device pixels (device y counted down from the bitmap's
    // top row).
    AffineTransform ctm() const { return state_.ctm; }
    void translateCTM(float tx, float ty);
    void scaleCTM(float sx, float sy);
    // Counter-clockwise in a y-up space (so clockwise as seen in an image
    // context).
    void rotateCTM(float angle);
    void concatCTM(const AffineTransform& transform);

    void setFillColor(const Color& color);  // a pattern colour tiles its image
    void setStrokeColor(const Color& color);
    void setLineWidth(float width);
    void setAlpha(float alpha);
    const Color& fillColor() const { return state_.fill; }
    const Color& strokeColor() const { return state_.stroke; }
    float lineWidth() const { return state_.lineWidth; }
    float alpha() const { return state_.alpha; }

    // --- Painting -----------------------------------------------------------
    void fillRect(const Rect& rect);
    // Sets the pixels under the rectangle to transparent (black in a context
    // without alpha), ignoring colour and alpha but not the clip.
    void clearRect(const Rect& rect);
    void strokeRect(const Rect& rect);
    // Straight lines of the current line width with butt ends.
    void strokeLineSegments(const std::vector<Point>& pointPairs);
    void strokeLine(Point from, Point to) { strokeLineSegments({from, to}); }
    void fillEllipseInRect(const Rect& rect);

    // --- Path (built in user space, kept in device space as on the platform:
    // later CTM changes do not move points already added) --------------------
    void beginPath();
    void moveToPoint(Point p);
    void addLineToPoint(Point p);
    // An arc of a circle from startAngle to endAngle (radians, measured as
    // the CTM's rotate()), clockwise when `clockwise` is true in a y-up space.
    // A line joins the current point to the arc's start.
    void addArc(Point center, float radius, float startAngle, float endAngle, bool clockwise);
    // An arc tangent to the lines current point -> p1 and p1 -> p2.
    void addArcToPoint(Point p1, Point p2, float radius);
    void addRect(const Rect& rect);
    void addRoundedRect(const Rect& rect, float cornerRadius);
    void addEllipseInRect(const Rect& rect);
    void closePath();
    bool isPathEmpty() const;
    // Fill or stroke the path, then clear it.
    void fillPath(FillRule rule = FillRule::NonZero);
    void strokePath();
    // Intersects the clip with the path's inside, then clears the path.
    void clipToPath(FillRule rule = FillRule::NonZero);

    // --- Clip ---------------------------------------------------------------
    void clipToRect(const Rect& rect);
    // Intersects the clip with a mask laid over `rect` (placed as drawImage()
    // places pictures). A mask pixel lets through its luminance times its alpha
    // (white opaque shows, black or transparent hides); outside `rect` nothing
    // shows.
    void clipToMask(const Rect& rect, const Bitmap& mask);
    // The clip's bounding box in user space.
    Rect clipBoundingBox() const;

    // --- Pictures and gradients ------------------------------------------------
    // The low-level picture call (see the class comment for its orientation).
    void drawImage(const Rect& rect, const Bitmap& bitmap);
    // Draws the part `sourcePixels` (pixel units, top-left origin) of a bitmap
    // so that the unit square (u right, v down over that part) lands where
    // `unitToUser` maps it. The building block of both picture calls.
    void drawBitmapPart(const Bitmap& bitmap, const Rect& sourcePixels, const AffineTransform& unitToUser);
    // Paints a gradient between two circles over the whole clip. Without
    // kGradientDrawsAfterEndLocation (or ...BeforeStart...) nothing is painted
    // past the end (before the start) circle; with it the end (start) colour
    // extends.
    void drawRadialGradient(const Gradient& gradient, Point startCenter, float startRadius, Point endCenter,
                            float endRadius, int options);
    void drawLinearGradient(const Gradient& gradient, Point start, Point end, int options);

private:
    struct PremultipliedColor {
        float r = 0, g = 0, b = 0, a = 0;
    };
    using Shader = std::function<PremultipliedColor(float deviceX, float deviceY)>;
    struct Edge {
        float x0, y0, x1, y1;
    };
    struct Coverage {
        int x0 = 0, y0 = 0, width = 0, height = 0;
        std::vector<float> values;  // row-major, width x height
        bool empty() const { return width <= 0 || height <= 0; }
    };
    struct State {
        AffineTransform ctm;
        Color fill = Color::blackColor();
        Color stroke = Color::blackColor();
        float lineWidth = 1;
        float alpha = 1;
        std::shared_ptr<const std::vector<float>> clip;  // per device pixel, null = no clip
    };

    GraphicsContext(Bitmap bitmap, float scale, bool topLeftOrigin);

    Coverage rasterize(const std::vector<std::vector<Point>>& polygons, FillRule rule) const;
    void composite(const Coverage& coverage, const Shader& shader, bool replace = false);
    void intersectClip(const Coverage& coverage);
    Shader shaderForColor(const Color& color) const;
    std::vector<std::vector<Point>> rectPolygon(const Rect& rect) const;
    std::vector<std::vector<Point>> strokePolygons(const std::vector<std::vector<Point>>& polylines,
                                                   const std::vector<bool>& closed) const;
    PremultipliedColor gradientColor(const Gradient& gradient, float t) const;
    Coverage fullCoverage() const;
    void appendArcPoints(Point center, float radius, float startAngle, float endAngle, bool clockwise);
    void addDevicePoint(Point devicePoint, bool startNew);

    Bitmap bitmap_;
    float scale_;
    bool topLeftOrigin_;
    State state_;
    std::vector<State> saved_;
    // Path in device space: subpaths with a closed flag.
    std::vector<std::vector<Point>> path_;
    std::vector<bool> pathClosed_;
    bool hasCurrentPoint_ = false;
    Point currentUserPoint_;
};

}  // namespace clipora::platform
