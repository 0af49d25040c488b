#pragma once

#include <string>

#include "platform/foundation/EdgeInsets.h"
#include "platform/foundation/Point.h"
#include "platform/foundation/Size.h"

namespace clipora::platform {

// A rectangle: origin and size in points. A rectangle with a negative width or
// height is read as its standardized form by every query (minX, contains, ...).
struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(Point o, Size s) : origin(o), size(s) {}
    Rect(float x, float y, float width, float height) : origin{x, y}, size{width, height} {}

    static Rect zero() { return {}; }

    float minX() const;
    float midX() const;
    float maxX() const;
    float minY() const;
    float midY() const;
    float maxY() const;
    float width() const;   // absolute
    float height() const;  // absolute
    Point center() const { return {midX(), midY()}; }

    bool isEmpty() const;  // zero or negative area
    // The same rectangle with a non-negative width and height.
    Rect standardized() const;
    // Half-open containment: the minimum edges are inside, the maximum edges are not.
    bool contains(Point p) const;
    bool contains(const Rect& other) const;
    bool intersects(const Rect& other) const;
    // The overlap; a zero rectangle when the two do not overlap.
    Rect intersection(const Rect& other) const;
    Rect unionWith(const Rect& other) const;
    Rect offsetBy(float dx, float dy) const;
    // Shrinks by dx on the left and right and by dy on the top and bottom
    // (negative values grow it).
    Rect insetBy(float dx, float dy) const;
    Rect insetBy(const EdgeInsets& insets) const;
    // The smallest rectangle with integral edges that contains this one.
    Rect integral() const;
    // Origin rounded down, size rounded up.
    Rect floorOriginCeilSize() const;

    // "{{x, y}, {w, h}}", the platform's text form.
    std::string description() const;

    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace clipora::platform
