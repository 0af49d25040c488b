#pragma once

#include <optional>

#include "platform/foundation/Point.h"
#include "platform/foundation/Rect.h"
#include "platform/foundation/Size.h"

namespace clipora::platform {

// A 2-D affine transform [a b 0; c d 0; tx ty 1]: a point (x, y) maps to
// (a*x + c*y + tx, b*x + d*y + ty).
struct AffineTransform {
    float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }
    static AffineTransform makeTranslation(float tx, float ty);
    static AffineTransform makeScale(float sx, float sy);
    // Counter-clockwise in a y-up space; clockwise on screen, where y points down.
    static AffineTransform makeRotation(float angle);

    bool isIdentity() const { return *this == identity(); }
    // This transform followed by `next`.
    AffineTransform concat(const AffineTransform& next) const;
    // A translation, scale or rotation applied before this transform.
    AffineTransform translate(float tx, float ty) const;
    AffineTransform scale(float sx, float sy) const;
    AffineTransform rotate(float angle) const;
    // None when the transform is not invertible.
    std::optional<AffineTransform> inverted() const;

    Point apply(Point p) const;
    // The size transformed without the translation (may come out negative).
    Size apply(Size s) const;
    // The bounding box of the transformed rectangle.
    Rect apply(const Rect& r) const;

    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

}  // namespace clipora::platform
