#include "platform/foundation/Rect.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace clipora::platform {

Rect Rect::standardized() const {
    Rect r = *this;
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

float Rect::minX() const { return standardized().origin.x; }
float Rect::minY() const { return standardized().origin.y; }
float Rect::maxX() const {
    Rect r = standardized();
    return r.origin.x + r.size.width;
}
float Rect::maxY() const {
    Rect r = standardized();
    return r.origin.y + r.size.height;
}
float Rect::midX() const {
    Rect r = standardized();
    return r.origin.x + r.size.width / 2;
}
float Rect::midY() const {
    Rect r = standardized();
    return r.origin.y + r.size.height / 2;
}
float Rect::width() const { return std::fabs(size.width); }
float Rect::height() const { return std::fabs(size.height); }

bool Rect::isEmpty() const { return size.width == 0 || size.height == 0; }

bool Rect::contains(Point p) const {
    return !isEmpty() && p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& other) const {
    return !isEmpty() && other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() &&
           other.maxY() <= maxY();
}

bool Rect::intersects(const Rect& other) const {
    if (isEmpty() || other.isEmpty()) return false;
    return minX() < other.maxX() && other.minX() < maxX() && minY() < other.maxY() && other.minY() < maxY();
}

Rect Rect::intersection(const Rect& other) const {
    if (!intersects(other)) return {};
    float x0 = std::max(minX(), other.minX());
    float y0 = std::max(minY(), other.minY());
    float x1 = std::min(maxX(), other.maxX());
    float y1 = std::min(maxY(), other.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::unionWith(const Rect& other) const {
    if (isEmpty()) return other.standardized();
    if (other.isEmpty()) return standardized();
    float x0 = std::min(minX(), other.minX());
    float y0 = std::min(minY(), other.minY());
    float x1 = std::max(maxX(), other.maxX());
    float y1 = std::max(maxY(), other.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::offsetBy(float dx, float dy) const { return {origin.x + dx, origin.y + dy, size.width, size.height}; }

Rect Rect::insetBy(float dx, float dy) const {
    Rect r = standardized();
    r.origin.x += dx;
    r.origin.y += dy;
    r.size.width -= 2 * dx;
    r.size.height -= 2 * dy;
    if (r.size.width < 0 || r.size.height < 0) return {};
    return r;
}

Rect Rect::insetBy(const EdgeInsets& insets) const {
    Rect r = standardized();
    return {r.origin.x + insets.left, r.origin.y + insets.top, r.size.width - insets.left - insets.right,
            r.size.height - insets.top - insets.bottom};
}

Rect Rect::integral() const {
    if (isEmpty()) return {};
    float x0 = std::floor(minX());
    float y0 = std::floor(minY());
    float x1 = std::ceil(maxX());
    float y1 = std::ceil(maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::floorOriginCeilSize() const {
    Rect r = standardized();
    return {std::floor(r.origin.x), std::floor(r.origin.y), std::ceil(r.size.width), std::ceil(r.size.height)};
}

std::string Rect::description() const {
    std::ostringstream out;
    out << "{{" << origin.x << ", " << origin.y << "}, {" << size.width << ", " << size.height << "}}";
    return out.str();
}

}  // namespace clipora::platform
