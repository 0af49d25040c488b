#include "platform/uikit/AffineTransform.h"

#include <algorithm>
#include <cmath>

namespace clipora::platform {

AffineTransform AffineTransform::makeTranslation(float tx, float ty) { return {1, 0, 0, 1, tx, ty}; }

AffineTransform AffineTransform::makeScale(float sx, float sy) { return {sx, 0, 0, sy, 0, 0}; }

AffineTransform AffineTransform::makeRotation(float angle) {
    float s = std::sin(angle);
    float c = std::cos(angle);
    return {c, s, -s, c, 0, 0};
}

AffineTransform AffineTransform::concat(const AffineTransform& n) const {
    return {a * n.a + b * n.c, a * n.b + b * n.d,          c * n.a + d * n.c,
            c * n.b + d * n.d, tx * n.a + ty * n.c + n.tx, tx * n.b + ty * n.d + n.ty};
}

AffineTransform AffineTransform::translate(float x, float y) const { return makeTranslation(x, y).concat(*this); }

AffineTransform AffineTransform::scale(float sx, float sy) const { return makeScale(sx, sy).concat(*this); }

AffineTransform AffineTransform::rotate(float angle) const { return makeRotation(angle).concat(*this); }

std::optional<AffineTransform> AffineTransform::inverted() const {
    float det = a * d - b * c;
    if (det == 0 || !std::isfinite(det)) return std::nullopt;
    AffineTransform r;
    r.a = d / det;
    r.b = -b / det;
    r.c = -c / det;
    r.d = a / det;
    r.tx = (c * ty - d * tx) / det;
    r.ty = (b * tx - a * ty) / det;
    return r;
}

Point AffineTransform::apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }

Size AffineTransform::apply(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }

Rect AffineTransform::apply(const Rect& r) const {
    Rect s = r.standardized();
    Point corners[4] = {apply(Point{s.minX(), s.minY()}), apply(Point{s.maxX(), s.minY()}),
                        apply(Point{s.minX(), s.maxY()}), apply(Point{s.maxX(), s.maxY()})};
    float x0 = corners[0].x, x1 = corners[0].x, y0 = corners[0].y, y1 = corners[0].y;
    for (const Point& p : corners) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace clipora::platform
